// Start-up: the splash, the main window's captions and pages, and the state after loading.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <type_traits>

#include "files/config_file.h"
#include "model/defaults.h"
#include "ui/splash.h"
#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override { ClearSettings(); }
};

// Watches the splash while the window loads: the bar must be full when "Initialising ..."
// appears, and reach it in steps of five.
class SplashWatcher : public QObject {
  public:
    explicit SplashWatcher(Splash& s) : splash(s) {
        s.initLabel()->installEventFilter(this);
        connect(s.progressBar(), &QProgressBar::valueChanged, this,
                [this](int v) { values.push_back(v); });
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show) valueWhenInitShown = splash.progressBar()->value();
        return false;
    }
    Splash& splash;
    std::vector<int> values;
    int valueWhenInitShown = -1;
};

TEST_F(StartupTest, SplashReachesHundredBeforeInitialising) {
    Splash splash;
    splash.show();
    EXPECT_EQ(splash.findChild<QLabel*>("lblVersion")->text(), "Version 1.0.4");
    EXPECT_FALSE(splash.initLabel()->isVisible());
    SplashWatcher watch(splash);
    Harness h(&splash);
    EXPECT_EQ(watch.valueWhenInitShown, 100);
    ASSERT_EQ(watch.values.size(), 20u);
    for (std::size_t k = 0; k < watch.values.size(); ++k)
        EXPECT_EQ(watch.values[k], static_cast<int>(5 * (k + 1)));
}

TEST_F(StartupTest, CaptionsPagesAndInitialSelections) {
    Harness h;
    MainWindow& w = *h.window;
    EXPECT_EQ(w.windowTitle(), "ORV Pro Configuration 1.0");
    EXPECT_EQ(h.find<QGroupBox>("frmVersion")->title(), "v 1.0 (Build 4)");

    auto* tabs = h.find<QTabWidget>("SSTab1");
    const QStringList expected = {"Info",   "General", "Bank 1", "Bank 2",       "Bank 3",
                                  "Bank 4", "Comms",   "LAN",    "Pulse Timing", "Options"};
    ASSERT_EQ(tabs->count(), expected.size());
    for (int k = 0; k < tabs->count(); ++k) EXPECT_EQ(tabs->tabText(k), expected[k]);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_FALSE(tabs->isTabEnabled(7));
    // The LAN page cannot be selected.
    tabs->setCurrentIndex(7);
    EXPECT_NE(tabs->currentIndex(), 7);

    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(!h.find<QCheckBox>(QString("chkOptions_%1").arg(k))->isHidden(), k == 0) << k;
    EXPECT_EQ(h.find<QCheckBox>("chkOptions_0")->text(), "Suppress Reset Strings");
    EXPECT_TRUE(h.find<QRadioButton>("optMaster")->isChecked());
    EXPECT_EQ(h.find<QLabel>("lblRS485Address")->text(), "Limit");
    EXPECT_EQ(h.edit("txtRS485Address")->text(), "0");

    for (int b = 0; b < 4; ++b) {
        auto* channels = h.find<QTabWidget>(QString("Bank_%1").arg(b));
        auto* relays = h.find<QTabWidget>(QString("BankType14_%1").arg(b));
        ASSERT_EQ(channels->count(), 17);
        ASSERT_EQ(relays->count(), 9);
        EXPECT_EQ(channels->tabText(15), "16");
        EXPECT_EQ(relays->tabText(7), "8");
        EXPECT_FALSE(channels->isTabVisible(16));
        EXPECT_FALSE(channels->isTabEnabled(16));
        EXPECT_FALSE(relays->isTabVisible(8));
        EXPECT_EQ(channels->currentIndex(), 0);
        EXPECT_EQ(relays->currentIndex(), 0);
    }
    EXPECT_EQ(h.find<QLabel>("lblSize")->text(), "0.00%");
    EXPECT_EQ(h.find<QLabel>("lblConnected")->text(), "Disconnected");
    EXPECT_FALSE(h.find<QLabel>("lblBusy")->isVisibleTo(&w));
    EXPECT_FALSE(h.find<QProgressBar>("pb100")->isVisibleTo(&w));
    EXPECT_FALSE(w.connectTimer()->isActive());
    EXPECT_EQ(w.connectTimer()->interval(), 1500);
    EXPECT_EQ(w.size(), QSize(800, 600));
}

TEST_F(StartupTest, FieldsShowTheDefaultsAndListsHoldTheirItems) {
    Harness h;
    struct Expect {
        const char* name;
        const char* text;
    };
    const Expect texts[] = {
        {"txtRIC_0", "1000000"},
        {"txtRIC_255", "1000063"},
        {"txtMsg_0", "BANK 1 CHAN 1 RESET"},
        {"txtMsg_61", "BANK 1 CHAN 16 SLOW"},
        {"txtRlyRIC_0", "2000001"},
        {"txtRlyRIC_3", "0"},
        {"txtRlyRIC_254", "2000032"},
        {"txtRepTime_3", "300"},
        {"txtPulseTime_5", "750"},
        {"txtIP_0", "0"},
        {"txtMAC_0", "50"},
        {"txtMAC_2", "4A"},
        {"txtMAC_5", "00"},
        {"txtFastOne", "0"},
        {"txtFileName", ""},
        {"txtVer_0", ""},
    };
    for (const Expect& e : texts) EXPECT_EQ(h.edit(e.name)->text(), e.text) << e.name;

    struct Choice {
        const char* name;
        const char* text;
        int code;
        int count;
    };
    const Choice choices[] = {
        {"lstFunc_2", "C", 2, 4},
        {"lstType_0", "Alpha", 65, 2},
        {"lstBaud_0", "512", 78, 3},
        {"lstRepeat_3", "D", 3, 4},
        {"lstRlyBeep_95", "C", 2, 5},
        {"lstMod_0", "NOT FITTED", 0, 16},
        {"lstComPort", "COM1", 1, 16},
        {"lstBaudPC", "9600", 5, 10},
        {"lstPCFormat", "N,8,1", 6, 24},
        {"lstPortBaudrate_0", "9600", 5, 10},
        {"lstPortBaudrate_1", "115200", 9, 10},
        {"lstPortFormat_1", "N,8,1", 6, 24},
    };
    for (const Choice& c : choices) {
        QComboBox* box = h.combo(c.name);
        ASSERT_NE(box, nullptr) << c.name;
        EXPECT_EQ(box->currentText(), c.text) << c.name;
        EXPECT_EQ(box->currentData().toInt(), c.code) << c.name;
        EXPECT_EQ(box->count(), c.count) << c.name;
    }
    EXPECT_EQ(h.combo("lstRlyBeep_0")->itemText(4), "ALL");
    EXPECT_EQ(h.combo("lstMod_0")->itemText(7), "Type  7: Unknown");
    EXPECT_EQ(h.combo("lstMod_0")->toolTip(),
              "Module type - initialised on File Open, Connect or set manually");
    EXPECT_EQ(h.edit("txtRIC_9")->toolTip(), "Radio Identity Code (RIC) or CapCode");
    // The record behind the fields is exactly the start-up state a headless program builds.
    EXPECT_TRUE(h.window->record() == MakeStartupState().rec);
}

// Every entry of the field table has its control, named after the field, and the binding runs both
// ways: an edit reaches the record, and the record reaches the control on a refresh.
// Made with the window, or once it shows (the program's own start): each control is bound the
// same way.
TEST_F(StartupTest, EveryRecordFieldIsBoundToItsNamedControl) {
    for (const auto bank :
         {MainWindow::BankControls::kWithTheWindow, MainWindow::BankControls::kOnceShown}) {
        SCOPED_TRACE(bank == MainWindow::BankControls::kOnceShown ? "once shown"
                                                                  : "with the window");
        Harness h(nullptr, bank);
        h.window->MakeBankControls();
        MainWindow& w = *h.window;
        ConfigRecord& rec = w.record();
        const ConfigRecord before = rec;
        ForEachFieldControls(w.widgets(), [&](const auto& field, const auto& controls) {
            using Field = std::remove_cvref_t<decltype(field)>;
            const QString base = QString::fromLatin1(field.name.data(), field.name.size());
            for (std::size_t i = 0; i < Field::count; ++i) {
                const QString name = Field::family ? QString("%1_%2").arg(base).arg(i) : base;
                SCOPED_TRACE(name.toStdString());
                auto* control = controls[i];
                ASSERT_NE(control, nullptr);
                EXPECT_EQ(control->objectName(), name);
                auto& value = field.At(rec, i);
                if constexpr (Field::kind == FieldKind::kText) {
                    control->setText("e" + QString::number(i));
                    EXPECT_EQ(value, "e" + std::to_string(i));
                } else if constexpr (Field::kind == FieldKind::kChoice) {
                    control->setCurrentIndex(value == 1 ? 0 : 1);
                    EXPECT_EQ(value, control->currentIndex());
                } else if constexpr (Field::kind == FieldKind::kCheck) {
                    control->setChecked(!value);
                    EXPECT_EQ(value, control->isChecked());
                } else {
                    w.widgets().optSlave->setChecked(true);
                    EXPECT_FALSE(value);
                }
            }
        });
        rec = before;
        w.RefreshFields();
        ForEachFieldControls(w.widgets(), [&](const auto& field, const auto& controls) {
            using Field = std::remove_cvref_t<decltype(field)>;
            for (std::size_t i = 0; i < Field::count; ++i) {
                SCOPED_TRACE(std::string(field.name) + " " + std::to_string(i));
                const auto& value = field.At(rec, i);
                if constexpr (Field::kind == FieldKind::kText)
                    EXPECT_EQ(controls[i]->text().toStdString(), value);
                else if constexpr (Field::kind == FieldKind::kChoice)
                    EXPECT_EQ(controls[i]->currentIndex(), value);
                else
                    EXPECT_EQ(controls[i]->isChecked(), value);
            }
        });
    }
}

// What a control shows and where Tab takes it from, as one list for a whole window.
std::vector<std::string> ControlsAsShown(MainWindow& w) {
    std::vector<std::string> out;
    ForEachFieldControls(w.widgets(), [&](const auto& field, const auto& controls) {
        using Field = std::remove_cvref_t<decltype(field)>;
        for (std::size_t i = 0; i < Field::count; ++i) {
            auto* c = controls[i];
            std::string shown;
            if constexpr (Field::kind == FieldKind::kText)
                shown = c->text().toStdString();
            else if constexpr (Field::kind == FieldKind::kChoice)
                shown = std::to_string(c->currentIndex());
            else
                shown = c->isChecked() ? "checked" : "";
            out.push_back(c->objectName().toStdString() + "=" + shown +
                          (c->isHidden() ? " hidden" : "") + (c->isEnabled() ? "" : " disabled"));
        }
    });
    auto frames = [&](const auto& list) {
        for (const QGroupBox* f : list)
            out.push_back(f->objectName().toStdString() + " \"" + f->title().toStdString() + "\"" +
                          (f->isHidden() ? " hidden" : ""));
    };
    frames(w.widgets().frmChn);
    frames(w.widgets().frmRlyClose);
    frames(w.widgets().frmRlyOpen);
    frames(w.widgets().frmRlyToggle);
    out.push_back("Tab order:");
    for (QWidget* c = w.nextInFocusChain(); c != &w; c = c->nextInFocusChain())
        if (c->focusPolicy() & Qt::TabFocus)
            out.push_back(c->objectName().isEmpty() ? c->metaObject()->className()
                                                    : c->objectName().toStdString());
    return out;
}

// The program's own start shows the window first and makes the bank pages' controls after its
// first paint; a file opened before then (named on the command line) shows in them once made,
// exactly as in a window made whole, with the same Tab order; and they take edits and undo.
TEST_F(StartupTest, BankControlsMadeOnceShownMatchThoseMadeWithTheWindow) {
    QTemporaryDir dir;
    StartupState state = MakeStartupState();
    ConfigRecord& rec = state.rec;
    ModuleTypes types{13, 14, 15, 0};
    rec.txtRIC[3] = "1234567";
    rec.txtMsg[4] = "PUMP 2 FAILED";
    rec.lstFunc[20] = 2;
    rec.txtRlyRIC[RelayRicIndex(4, kSlotCloseTMax)] = "25";
    Image image{};
    const QString file = dir.filePath("site.ORV");
    const WriteConfigResult written = WriteConfigFile(file.toStdString(), rec, types, image, "ORV");
    ASSERT_TRUE(written.ok) << written.error;

    Harness whole;
    whole.window->OpenFile(file);
    Harness later(nullptr, MainWindow::BankControls::kOnceShown);
    EXPECT_FALSE(later.window->BankControlsMade());
    EXPECT_EQ(later.edit("txtRIC_3"), nullptr);
    later.window->OpenFile(file);
    EXPECT_TRUE(later.messages.empty());

    // Made after the first paint, not before it.
    struct PaintSeen : QObject {
        MainWindow* w = nullptr;
        int paints = 0;
        bool madeAtFirstPaint = true;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint && paints++ == 0)
                madeAtFirstPaint = w->BankControlsMade();
            return false;
        }
    } seen;
    seen.w = later.window.get();
    later.window->installEventFilter(&seen);
    later.window->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return later.window->BankControlsMade(); }, 5000));
    EXPECT_GE(seen.paints, 1);
    EXPECT_FALSE(seen.madeAtFirstPaint);
    later.window->removeEventFilter(&seen);
    whole.window->show();
    QApplication::processEvents();

    EXPECT_EQ(later.edit("txtRIC_3")->text(), "1234567");
    EXPECT_EQ(ControlsAsShown(*later.window), ControlsAsShown(*whole.window));

    // An edit in a control made late is one undo step, as any other.
    for (Harness* h : {&whole, &later}) {
        SCOPED_TRACE(h == &later ? "once shown" : "with the window");
        QLineEdit* msg = h->edit("txtMsg_4");
        ASSERT_EQ(msg->text(), "PUMP 2 FAILED");
        msg->setFocus();
        msg->selectAll();
        QTest::keyClicks(msg, "PUMP 3");
        QTest::keyClick(msg, Qt::Key_Tab);
        EXPECT_EQ(h->window->record().txtMsg[4], "PUMP 3");
        h->window->findChild<QAction*>("MenuEditUndo")->trigger();
        EXPECT_EQ(h->window->record().txtMsg[4], "PUMP 2 FAILED");
        EXPECT_EQ(msg->text(), "PUMP 2 FAILED");
    }
}

TEST_F(StartupTest, MenuHasTheFileEntriesWithTheirShortcuts) {
    Harness h;
    struct Entry {
        const char* name;
        const char* text;
        const char* key;
    };
    const Entry entries[] = {
        {"MenuFileNew", "&New", "Ctrl+N"},   {"MenuFileOpen", "&Open", "Ctrl+O"},
        {"MenuFileSave", "&Save", "Ctrl+S"}, {"MenuFileSaveAs", "Save &As", "Ctrl+A"},
        {"Clear", "&Clear Form", ""},        {"MenuFileExit", "E&xit", "Ctrl+X"}};
    for (const Entry& e : entries) {
        QAction* a = h.window->action(e.name);
        ASSERT_NE(a, nullptr) << e.name;
        EXPECT_EQ(a->text(), e.text);
        EXPECT_EQ(a->shortcut(), QKeySequence(e.key)) << e.name;
    }
}

// The pages keep their design size: centred in a larger (maximised) window, scrolled to in a
// smaller one, never cut off.
TEST_F(StartupTest, LayoutFollowsTheWindowsSize) {
    Harness h;
    h.window->show();
    auto* central = h.find<QWidget>("central");
    auto* scroll = h.find<QScrollArea>("scrCentral");
    ASSERT_TRUE(central && scroll);
    // The design's width; its height is what the controls take, and fits the 800 x 600 window.
    EXPECT_EQ(central->width(), 800);
    EXPECT_LE(central->height(), 600 - h.window->menuBar()->height());
    const struct {
        QSize window;
        bool scrolls;
    } rows[] = {{{800, 600}, false}, {{1400, 1000}, false}, {{520, 380}, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.window.width());
        h.window->resize(r.window);
        QApplication::processEvents();
        const QWidget* view = scroll->viewport();
        EXPECT_EQ(scroll->horizontalScrollBar()->isVisible(), r.scrolls);
        EXPECT_EQ(scroll->verticalScrollBar()->isVisible(), r.scrolls);
        const QPoint at = central->mapTo(view, QPoint(0, 0));
        if (!r.scrolls) {
            EXPECT_EQ(at, QPoint((view->width() - central->width()) / 2,
                                 (view->height() - central->height()) / 2));
        }
        // Every button can be brought into view.
        for (const char* name : {"cmdConnect", "cmdSize", "cmdPut"}) {
            auto* button = h.find<QPushButton>(name);
            scroll->ensureWidgetVisible(button);
            QApplication::processEvents();
            const QRect shown(button->mapTo(view, QPoint(0, 0)), button->size());
            EXPECT_TRUE(view->rect().contains(shown)) << name;
        }
    }
}

}  // namespace
}  // namespace orv::ui::test
