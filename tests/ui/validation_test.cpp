// Key filters and leave checks in the real fields: typed keys, focus leaving with Tab, the
// message shown, the text afterwards and where the focus ends up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

class FieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        h = std::make_unique<Harness>();
        auto dialogs = std::make_unique<ScriptedDialogs>();
        this->dialogs = dialogs.get();
        h->window->setFileDialogProvider(std::move(dialogs));
        // Bank 1 carries input channels, bank 2 relays, so their fields can take the focus.
        h->window->moduleTypes() = {15, 14, 0, 0};
        h->window->ApplyModuleTypes();
        h->window->show();
        QApplication::setActiveWindow(h->window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(h->window.get()));
    }
    void TearDown() override { h->window->hide(); }

    // Opens the page of the field and puts the focus into it.
    QLineEdit* Focus(const QString& name, int page) {
        h->find<QTabWidget>("SSTab1")->setCurrentIndex(page);
        QLineEdit* e = h->edit(name);
        e->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), e) << name.toStdString();
        return e;
    }

    std::unique_ptr<Harness> h;
    ScriptedDialogs* dialogs = nullptr;
};

struct Typing {
    const char* field;
    int page;
    const char* keys;
    const char* result;
};

TEST_F(FieldTest, KeyFiltersActOnTypedKeys) {
    const Typing cases[] = {
        {"txtRIC_0", 2, "12a-3 .4", "1234"}, {"txtRlyRIC_67", 3, "x5y6", "56"},
        {"txtPulseTime_1", 8, "2+5", "25"},  {"txtRepTime_2", 1, "3,0", "30"},
        {"txtRS485Address", 6, "-12", "12"}, {"txtMsg_0", 2, "Hello, World!", "Hello, World!"},
    };
    for (const Typing& t : cases) {
        QLineEdit* e = Focus(t.field, t.page);
        e->clear();
        QTest::keyClicks(e, t.keys);
        EXPECT_EQ(e->text(), t.result) << t.field;
    }
    // Upper case for MAC components (on the unavailable page, so driven directly).
    QLineEdit* mac = h->edit("txtMAC_3");
    h->find<QTabWidget>("SSTab1")->setTabEnabled(7, true);  // the page is never offered
    mac->clear();
    QTest::keyClicks(mac, "a1g");
    EXPECT_EQ(mac->text(), "A1");
    EXPECT_EQ(h->window->record().txtMAC[3], "A1");
}

TEST_F(FieldTest, MessageFieldStopsAtSixtyNineCharactersButBackspaceWorks) {
    QLineEdit* e = Focus("txtMsg_5", 2);
    const QString full(69, 'M');
    e->setText(full);
    e->end(false);
    QTest::keyClick(e, Qt::Key_X);
    EXPECT_EQ(e->text(), full);
    QTest::keyClick(e, Qt::Key_Backspace);
    EXPECT_EQ(e->text().size(), 68);
    QTest::keyClick(e, Qt::Key_Z);
    EXPECT_EQ(e->text(), QString(68, 'M') + "z");
    EXPECT_EQ(h->window->record().txtMsg[5], std::string(68, 'M') + "z");
}

struct Leaving {
    const char* field;
    int page;
    const char* text;
    const char* after;
    const char* message;           // nullptr: no message, focus moves on
    const char* status = nullptr;  // the line beside the progress bar; nullptr: left empty
};

TEST_F(FieldTest, LeaveChecksWarnReformatAndKeepTheFocus) {
    const std::string ric =
        " may not be a valid RIC. Valid RICs are in the range 0-2097151, and exclude the ranges "
        "2007664-2007671 and 2045056-2045063.";
    const Leaving cases[] = {
        {"txtRIC_0", 2, "", "0000000", nullptr},
        {"txtRIC_0", 2, "123", "0000123", nullptr},
        {"txtRIC_0", 2, "2007663", "2007663", nullptr},
        {"txtRIC_0", 2, "2007664", "2007664", "2007664"},
        {"txtRIC_0", 2, "2045063", "2045063", "2045063"},
        {"txtRIC_0", 2, "2097152", "2097152", "2097152"},
        {"txtRIC_0", 2, "12x", "12x", "12x"},
        {"txtRlyRIC_67", 3, "5", "0000005", nullptr},
        {"txtPulseTime_0", 8, "040", "40", nullptr},
        {"txtPulseTime_0", 8, "2501", "2501",
         "2501 may not be a valid time. Valid times are in "
         "the range 0-2500."},
        {"txtRepTime_1", 1, "030", "030", nullptr},
        // Between two of the unit's steps: the field shows the step and the status line says so.
        {"txtRepTime_1", 1, "035", "40", nullptr,
         "Repeat time B: 35 s is stored as 40 s (10 s steps)"},
        {"txtPulseTime_6", 8, "385", "380", nullptr,
         "Slow OFF Min: 385 ms is stored as 380 ms (10 ms steps)"},
        {"txtRepTime_1", 1, "2551", "2551",
         "2551 is not a valid repeat time. Valid times are "
         "in the range 0-2550."},
    };
    for (const Leaving& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " '" + c.text + "'");
        h->messages.clear();
        h->find<QLabel>("lblUnitCheck")->clear();
        QLineEdit* e = Focus(c.field, c.page);
        e->setText(c.text);
        QTest::keyClick(e, Qt::Key_Tab);
        QApplication::processEvents();
        EXPECT_EQ(e->text(), c.after);
        EXPECT_EQ(h->find<QLabel>("lblUnitCheck")->text(), c.status ? c.status : "");
        if (c.message) {
            ASSERT_EQ(h->messages.size(), 1u);
            QString expected = c.message;
            if (!expected.contains(' ')) expected += QString::fromStdString(ric);
            EXPECT_EQ(h->messages[0].text, expected);
            EXPECT_EQ(h->messages[0].title, "ORV Pro Configuration");
            EXPECT_EQ(h->messages[0].kind, MessageKind::kPlain);
            EXPECT_EQ(QApplication::focusWidget(), e);
        } else {
            EXPECT_TRUE(h->messages.empty());
            EXPECT_NE(QApplication::focusWidget(), e);
        }
        // The record holds what the field shows.
        const std::string shown = e->text().toStdString();
        const ConfigRecord& rec = h->window->record();
        const std::string name = c.field;
        const std::string& stored = name == "txtRIC_0"         ? rec.txtRIC[0]
                                    : name == "txtRlyRIC_67"   ? rec.txtRlyRIC[67]
                                    : name == "txtPulseTime_0" ? rec.txtPulseTime[0]
                                    : name == "txtPulseTime_6" ? rec.txtPulseTime[6]
                                                               : rec.txtRepTime[1];
        EXPECT_EQ(stored, shown);
        e->setText("0");  // leave it valid for the next case
        QTest::keyClick(e, Qt::Key_Tab);
    }
}

TEST_F(FieldTest, RefusedValueIsRefusedAgainOnTheNextAttempt) {
    QLineEdit* e = Focus("txtRIC_4", 2);
    e->setText("3000000");
    QTest::keyClick(e, Qt::Key_Tab);
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_EQ(h->messages.size(), 2u);
    EXPECT_EQ(QApplication::focusWidget(), e);
    e->setText("7");
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_EQ(h->messages.size(), 2u);
    EXPECT_NE(QApplication::focusWidget(), e);
    EXPECT_EQ(e->text(), "0000007");
}

TEST_F(FieldTest, RealMessageBoxHasOnlyOkNoIconAndTheTitle) {
    h->window->setMessageSink({});
    QLineEdit* e = Focus("txtRepTime_0", 1);
    e->setText("9999");
    QString title, text;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = box->buttons().size();
        icon = box->icon();
        box->accept();
    });
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_EQ(title, "ORV Pro Configuration");
    EXPECT_EQ(text, "9999 is not a valid repeat time. Valid times are in the range 0-2550.");
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    // The window's focus stays in the field (the application focus follows once the window is
    // active again, which the offscreen platform does in its own time).
    EXPECT_EQ(h->window->focusWidget(), e);
}

TEST_F(FieldTest, PastedMessageBecomesWhatTheUnitStoresAndTheUserIsTold) {
    const QString tail = QString(49, 'x');
    const struct {
        QString pasted;
        QString stored;
        std::vector<QString> told;
    } cases[] = {
        {QString::fromUtf8("Caf\u00e9 \u2013 Ward 2"),
         "Cafe - Ward 2",
         {QString::fromUtf8("\u00e9 became e"), QString::fromUtf8("\u2013 became -")}},
        {QString(69, 'A') + tail, QString(69, 'A'), {"cut to 69 characters", tail}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pasted.toStdString());
        h->messages.clear();
        QLineEdit* e = Focus("txtMsg_5", 2);
        e->clear();
        QApplication::clipboard()->setText(c.pasted);
        QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(e->text(), c.pasted);  // nothing cut in silence
        QTest::keyClick(e, Qt::Key_Tab);
        EXPECT_EQ(e->text(), c.stored);
        EXPECT_EQ(h->window->record().txtMsg[5], c.stored.toStdString());
        EXPECT_NE(QApplication::focusWidget(), e);
        ASSERT_EQ(h->messages.size(), 1u);
        EXPECT_TRUE(h->messages[0].text.contains("Bank 1, channel 2, SLOW"));
        for (const QString& t : c.told)
            EXPECT_TRUE(h->messages[0].text.contains(t)) << t.toStdString();
    }
    // What the unit can store passes without a word, a TAB from a file included.
    h->messages.clear();
    QLineEdit* e = Focus("txtMsg_6", 2);
    e->setText("PUMP\tROOM");
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_EQ(e->text(), "PUMP\tROOM");
    EXPECT_TRUE(h->messages.empty());
}

TEST_F(FieldTest, SizeSaysWhatItsBuildChanged) {
    // Values that reached the record without their leave check: a message with what the unit
    // cannot store, a time between two steps.
    h->edit("txtMsg_0")->setText(QString::fromLatin1("Caf\xe9"));
    h->edit("txtRepTime_1")->setText("45");
    ConfigRecord rec = h->window->record();
    Image image{};
    const BuildResult expected = BuildImage(rec, h->window->moduleTypes(), image);
    ASSERT_FALSE(expected.warnings.empty());
    ASSERT_EQ(expected.notes.size(), 1u);
    h->find<QPushButton>("cmdSize")->click();
    ASSERT_EQ(h->messages.size(), 1u);
    for (const std::string& w : expected.warnings)
        EXPECT_TRUE(h->messages[0].text.contains(FromMessageText(w))) << w;
    EXPECT_TRUE(h->messages[0].text.contains("Repeat time B: 45 s is stored as 40 s (10 s steps)"));
    EXPECT_EQ(h->edit("txtRepTime_1")->text(), "40");
}

TEST_F(FieldTest, EditingShortcutsWorkInTextFieldsDespiteTheMenuShortcuts) {
    QLineEdit* e = Focus("txtMsg_8", 2);
    e->setText("SITE ALARM");
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);  // select all, not Save As
    EXPECT_EQ(e->selectedText(), "SITE ALARM");
    EXPECT_TRUE(dialogs->saveRequests.empty());
    QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier);  // cut, not Exit
    EXPECT_EQ(e->text(), "");
    EXPECT_TRUE(h->window->isVisible());
    EXPECT_EQ(QApplication::clipboard()->text(), "SITE ALARM");
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);  // paste
    EXPECT_EQ(e->text(), "SITE ALARM");

    // Pasting into a digits field works too; the leave check answers for the text.
    QLineEdit* ric = Focus("txtRIC_1", 2);
    QApplication::clipboard()->setText("42");
    ric->selectAll();
    QTest::keyClick(ric, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ric->text(), "42");

    // With the focus outside a text field the shortcuts are the menu's.
    h->find<QTabWidget>("SSTab1")->setFocus();
    QTest::keyClick(h->window.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(dialogs->saveRequests.size(), 1u);
}

// A key a field does not take is swallowed, and the line beside the progress bar says why:
// "2.5" typed into TMax must not become 25 without a word.
TEST_F(FieldTest, KeysAFieldDoesNotTakeAreNamed) {
    struct Row {
        const char* field;
        int page;
        const char* keys;
        const char* result;
        const char* said;
    };
    const Row rows[] = {
        {"txtRlyRIC_67", 3, "2.5", "25", "'.' is not taken in TMax: whole seconds"},
        {"txtRlyRIC_71", 3, "1x", "1", "'x' is not taken in Repeat Filter: whole seconds"},
        {"txtRlyRIC_64", 3, "20-", "20", "'-' is not taken in a RIC: digits only (0-2097151)"},
        {"txtRIC_0", 2, "1 2", "12", "A space is not taken in a RIC: digits only (0-2097151)"},
        {"txtPulseTime_1", 8, "37.5", "375",
         "'.' is not taken in Fast ON Max: whole milliseconds, kept in 10 ms steps"},
        {"txtRepTime_2", 1, "1,5", "15",
         "',' is not taken in Repeat time C: whole seconds, kept in 10 s steps"},
        {"txtRS485Address", 6, "+3", "3", "'+' is not taken in the RS485 limit: digits only"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.field);
        h->window->Remark(QString());
        QLineEdit* e = Focus(row.field, row.page);
        e->clear();
        QTest::keyClicks(e, row.keys);
        EXPECT_EQ(e->text(), row.result);
        // The tip holds the whole remark; the line may elide it where fonts are wide.
        EXPECT_EQ(h->find<QLabel>("lblUnitCheck")->toolTip(), row.said);
    }
    // Enter is no typed character: nothing is said.
    QLineEdit* e = Focus("txtRIC_8", 2);
    h->window->Remark(QString());
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_FALSE(h->find<QLabel>("lblUnitCheck")->text().contains("not taken"));
    // A full message says it is full.
    e = Focus("txtMsg_1", 2);
    e->setText(QString(69, 'M'));
    QTest::keyClick(e, Qt::Key_Z);
    EXPECT_EQ(h->find<QLabel>("lblUnitCheck")->toolTip(),
              "The message is full: 69 characters at most");
}

// A pulse window whose Min is above its Max, or a relay range whose first RIC is above its last,
// is named on leaving the field and in Size, and never refused.
TEST_F(FieldTest, ImpossibleSettingsAreNamedNotRefused) {
    QLabel* line = h->find<QLabel>("lblUnitCheck");
    QLineEdit* e = Focus("txtPulseTime_0", 8);
    e->setText("500");
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_TRUE(h->messages.empty());
    EXPECT_NE(QApplication::focusWidget(), e);
    // The line's tip lists what was said, the latest last (the line may elide it).
    EXPECT_TRUE(line->toolTip().endsWith(
        "Fast ON Min 500 ms is above Fast ON Max 380 ms: no pulse can fall in that window."))
        << line->toolTip().toStdString();
    // Bank 2 holds relays: relay 1 of it is relay 8, its Close range slots 64 and 68.
    e = Focus("txtRlyRIC_64", 3);
    e->setText("2000020");
    QTest::keyClick(e, Qt::Key_Tab);
    e = Focus("txtRlyRIC_68", 3);
    e->setText("2000010");
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_TRUE(line->toolTip().endsWith(
        "Bank 2 relay 1 Close: first RIC 2000020 is above last RIC 2000010: the range holds no "
        "RIC."))
        << line->toolTip().toStdString();
    EXPECT_EQ(h->window->record().txtRlyRIC[68], "2000010");
    // Both again in Size's message, which stores them as they stand.
    h->messages.clear();
    h->find<QPushButton>("cmdSize")->click();
    ASSERT_EQ(h->messages.size(), 1u);
    EXPECT_TRUE(h->messages[0].text.startsWith(
        "These settings are stored as they stand, but cannot work as meant:\n"
        "- Fast ON Min 500 ms is above"))
        << h->messages[0].text.toStdString();
    EXPECT_TRUE(h->messages[0].text.contains("Bank 2 relay 1 Close: first RIC 2000020"));
    EXPECT_EQ(h->edit("txtPulseTime_0")->text(), "500");
    // Set right again, nothing is said.
    h->messages.clear();
    h->edit("txtPulseTime_0")->setText("120");
    h->edit("txtRlyRIC_68")->setText("2000030");
    h->find<QPushButton>("cmdSize")->click();
    EXPECT_TRUE(h->messages.empty()) << h->messages[0].text.toStdString();
}

}  // namespace
}  // namespace orv::ui::test
