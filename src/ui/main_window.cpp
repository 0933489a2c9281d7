#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSessionManager>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/log.h"
#include "files/config_file.h"
#include "model/defaults.h"
#include "model/identity.h"
#include "model/rules.h"
#include "ui/link_controller.h"
#include "ui/record_edits.h"
#include "ui/settings_store.h"
#include "validate/guarded_fields.h"

namespace orv::ui {
namespace {

// Where the file dialogs start while no file has been chosen: the folder the program was started
// from, as the editor has always done; on Windows the user's Documents, since an installed
// program's folder is not the user's to keep files in.
QString FirstFileFolder() {
#ifdef _WIN32
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty()) return QDir::toNativeSeparators(documents + QDir::separator());
#endif
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QDir::separator());
}

void SetLabelColour(QLabel* label, const QColor& colour) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
}

// A window made with BankControls::kOnceShown that was not painted by then makes them anyway.
constexpr std::chrono::milliseconds kBankControlsAtTheLatest{500};

// An unavailable tab can never become the current one, whoever asks: selecting it returns to
// the tab that was current before.
void KeepOffUnavailableTabs(QTabWidget* tabs) {
    auto previous = std::make_shared<int>(tabs->currentIndex());
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [tabs, previous](int index) {
        if (index >= 0 && !tabs->isTabEnabled(index)) {
            tabs->setCurrentIndex(*previous);
            return;
        }
        *previous = index;
    });
}

class NoProgress : public LoadProgress {
  public:
    void ResetProgress() override {}
    void Advance() override {}
    void ShowInitialising() override {}
};

}  // namespace

MainWindow::MainWindow(LoadProgress* progress, QWidget* parent, BankControls bankControls)
    : QMainWindow(parent), dialogs_(std::make_unique<QtFileDialogProvider>()) {
    NoProgress none;
    LoadProgress& p = progress ? *progress : none;
    setObjectName("frmMain");

    // The splash bar takes twenty steps of 5. Filling the lists is no separate work here (the
    // list models are shared), so several of its steps follow one another.
    LogLine("+++ Program started", true);
    p.ResetProgress();
    p.Advance();

    setWindowTitle(QString::fromStdString(MainWindowCaption()));
    // The pages keep their design size and place within it: a larger (maximised) window centres
    // them, a smaller one scrolls to them.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("scrCentral");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAlignment(Qt::AlignCenter);
    auto* central = new QWidget;
    central->setObjectName("central");
    setCentralWidget(scroll);
    BuildMenu();
    models_ = MakeListModels(this);

    // The stored position is used as it is; the size is always the design size.
    const SettingsStore store(FirstFileFolder());
    const StartupSettings settings = store.Read();
    move(settings.leftTwips / kTwipsPerPixel, settings.topTwips / kTwipsPerPixel);
    resize(12000 / kTwipsPerPixel, 9000 / kTwipsPerPixel);
    storedPath_ = settings.path;
    storedFileName_ = settings.fileName;

    w_.SSTab1 = new QTabWidget(central);
    w_.SSTab1->setObjectName("SSTab1");
    w_.SSTab1->setGeometry(6, 6, 788, 470);
    static const char* const kPages[] = {"Info",   "General", "Bank 1", "Bank 2",       "Bank 3",
                                         "Bank 4", "Comms",   "LAN",    "Pulse Timing", "Options"};
    std::array<QWidget*, 10> pages{};
    for (int k = 0; k < 10; ++k) {
        pages[k] = new QWidget;
        pages[k]->setObjectName(QString("page_%1").arg(k));
        w_.SSTab1->addTab(pages[k], kPages[k]);
    }
    BuildInfoPage(pages[kPageInfo], w_);

    // Only the first option is offered.
    BuildOptionsPage(pages[kPageOptions], w_);
    for (int k = 1; k < 8; ++k) w_.Field<&ConfigRecord::chkOptions>()[k]->setVisible(false);
    p.Advance();

    BuildGeneralPage(pages[kPageGeneral], w_, models_);

    // Info first; the LAN page exists but can never be selected.
    w_.SSTab1->setCurrentIndex(kPageInfo);
    w_.SSTab1->setTabEnabled(kPageLan, false);
    KeepOffUnavailableTabs(w_.SSTab1);
    for (int b = 0; b < kBanks; ++b) {
        BuildBankFrame(pages[kPageBank1 + b], b, w_);
        KeepOffUnavailableTabs(w_.Bank[b]);
        KeepOffUnavailableTabs(w_.BankType14[b]);
    }
    p.Advance();

    // Until the window has been laid out, `central` heads the chain of its controls: the last
    // one made so far ends it.
    beforeBankControls_ = central->previousInFocusChain();
    if (bankControls == BankControls::kWithTheWindow) {
        BuildChannelTabs(0, w_, models_);
        BuildChannelTabs(1, w_, models_);
        p.Advance();
        BuildChannelTabs(2, w_, models_);
        p.Advance();
        BuildChannelTabs(3, w_, models_);
        p.Advance();
        p.Advance();
        for (int b = 0; b < kBanks; ++b) {
            BuildRelayTabs(b, w_, models_);
            if (b < 3) p.Advance();
        }
        bankControlsMade_ = true;
    } else {
        for (int step = 0; step < 7; ++step) p.Advance();
    }
    for (int step = 0; step < 6; ++step) p.Advance();

    BuildDictionaryFrames(central, w_);
    BuildCommsPage(pages[kPageComms], w_, models_);
    p.Advance();
    // The PC port and rate come from the settings store.
    ApplyStartupValues(rec_);
    rec_.lstComPort = settings.comPort;
    rec_.lstBaudPC = settings.comRate;
    for (int step = 0; step < 3; ++step) p.Advance();

    BuildLanPage(pages[kPageLan], w_);
    BuildPulseTimingPage(pages[kPagePulseTiming], w_);
    BuildCommandArea(central, w_);
    QRect used;
    for (const QWidget* child : central->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        used |= child->geometry();  // hidden ones (the transfer's bar) too
    // The status line's row below the bar during a transfer, where a pending close is said.
    used |= w_.lblUnitCheck->geometry().translated(0, kStatusLineBelowBar);
    constexpr int kMargin = 6;  // as at the pages' left and top
    central->setFixedSize(used.right() + 1 + kMargin, used.bottom() + 1 + kMargin);
    scroll->setWidget(central);

    tmrConnect_ = new QTimer(this);
    tmrConnect_->setObjectName("tmrConnect");
    tmrConnect_->setInterval(1500);

    {
        std::size_t k = 0;
        ForEachFieldControls(w_, [&](const auto&, const auto& controls) {
            boundFields_[k++] = controls[0] != nullptr;
        });
    }
    BindFields(boundFields_);
    BindSideEffects();
    BindEditCommits(boundFields_);
    link_ = std::make_unique<LinkController>(*this, *this, rec_, moduleTypes_, image_);
    connect(link_.get(), &LinkController::InputRefused, this,
            [this](QEvent* event) { SayInputRefused(event); });
    connect(link_.get(), &LinkController::CloseDeferred, this, [this] { CloseWhenExchangeEnds(); });
    connect(link_.get(), &LinkController::StopKeyPressed, this, [this] { CancelTransfer(); });
    connect(w_.cmdCancel, &QPushButton::clicked, this, [this] { CancelTransfer(); });
    ConnectLinkButtons();
    SetDisconnectedState();

    // The defaults come last: they also arrange the bank pages, which must exist by now.
    p.ShowInitialising();
    SetDefaults();
    TakeBaseline();
    TakeFileBaseline();
    ShowComDevice();

    setAcceptDrops(true);  // a dropped .ORV file opens as File > Open
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { SessionEnding(); });
    // Once the window has been painted (event()); and soon in any case, should it not be.
    if (!bankControlsMade_)
        QTimer::singleShot(kBankControlsAtTheLatest, this, [this] { MakeBankControls(); });
}

void MainWindow::MakeBankControls() {
    if (bankControlsMade_) return;
    bankControlsMade_ = true;
    QWidget* lastBefore = previousInFocusChain();
    for (int b = 0; b < kBanks; ++b) BuildChannelTabs(b, w_, models_);
    for (int b = 0; b < kBanks; ++b) BuildRelayTabs(b, w_, models_);
    // Made on pages that may be showing: each frame shows with its page, as those made with
    // the window do (the bank arrangement below hides the ones a module type has no use for).
    for (QGroupBox* f : w_.frmChn) f->show();
    for (auto* frames : {&w_.frmRlyClose, &w_.frmRlyOpen, &w_.frmRlyToggle})
        for (QGroupBox* f : *frames) f->show();

    // Tab moves through them where it would had they been made with the window: after the bank
    // pages' tab bars, before the dictionary and the Comms page. Made now, they ended the chain.
    QWidget* after = beforeBankControls_;
    while (after->focusPolicy() == Qt::NoFocus && after != this)
        after = after->previousInFocusChain();
    std::vector<QWidget*> made;
    for (QWidget* w = lastBefore->nextInFocusChain(); w != this; w = w->nextInFocusChain())
        if (w->focusPolicy() != Qt::NoFocus) made.push_back(w);
    if (after != this)
        for (QWidget* w : made) {
            setTabOrder(after, w);
            after = w;
        }

    // The fields whose controls were still to come: bound and shown as the rest were.
    const std::bitset<kRecordFieldCount> fields = ~boundFields_;
    std::vector<FieldRef> refs;
    std::uint16_t k = 0;
    ForEachFieldControls(w_, [&](const auto& field, const auto&) {
        using Field = std::remove_cvref_t<decltype(field)>;
        if (fields[k])
            for (std::size_t i = 0; i < Field::count; ++i)
                refs.push_back({k, static_cast<std::uint16_t>(i)});
        ++k;
    });
    BindFields(fields);
    BindEditCommits(fields);
    boundFields_.set();
    ShowFields(refs);
    ApplyModuleTypes();
}

void MainWindow::SessionEnding() {
    // The worker of a running exchange reads and rebuilds the record and the image: keep them
    // once it has ended (RunLink), not half way.
    if (link_ && link_->ExchangeRunning()) {
        sessionEndPending_ = true;
        return;
    }
    // No message box while the session ends: nobody may be there to answer it. What was kept
    // becomes the baseline, so that closing afterwards does not keep it twice.
    const bool failureShown = std::exchange(historyFailureShown_, true);
    KeepBeforeReplacing(history_event::kBeforeExit);
    historyFailureShown_ = failureShown;
    TakeBaseline();
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::action(const char* name) const {
    return findChild<QAction*>(name);
}

void MainWindow::BuildMenu() {
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("mnuFile");
    auto add = [&](const char* name, const QString& text, const QKeySequence& key,
                   void (MainWindow::*slot)()) {
        QAction* a = file->addAction(text);
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
    };
    add("MenuFileNew", "&New", QKeySequence("Ctrl+N"), &MainWindow::MenuFileNew);
    add("MenuFileOpen", "&Open", QKeySequence("Ctrl+O"), &MainWindow::MenuFileOpen);
    add("MenuFileSave", "&Save", QKeySequence("Ctrl+S"), &MainWindow::MenuFileSave);
    add("MenuFileSaveAs", "Save &As", QKeySequence("Ctrl+A"), &MainWindow::MenuFileSaveAs);
    AddChannelTableFileItems(file);
    BuildPrintMenu(file);
    file->addSeparator();
    add("Clear", "&Clear Form", {}, &MainWindow::Clear);
    file->addSeparator();
    add("MenuFileExit", "E&xit", QKeySequence("Ctrl+X"), &MainWindow::MenuFileExit);
    BuildEditMenu();
    BuildUnitMenu();
}

// ---- Binding: every edit goes straight into the record.

void MainWindow::BindFields(const std::bitset<kRecordFieldCount>& fields) {
    // Each edit is also told to the undo stack, with the value it replaced.
    std::uint16_t k = 0;
    ForEachFieldControls(w_, [this, &k, &fields](const auto& field, const auto& controls) {
        using Field = std::remove_cvref_t<decltype(field)>;
        if (!fields[k++]) return;
        const std::uint16_t fieldIndex = k - 1;
        const std::optional<FieldGuard> guard = GuardOf(field.member);
        for (std::size_t i = 0; i < Field::count; ++i) {
            auto* control = controls[i];
            auto* value = &field.At(rec_, i);
            const FieldRef ref{fieldIndex, static_cast<std::uint16_t>(i)};
            if constexpr (Field::kind == FieldKind::kText) {
                connect(control, &QLineEdit::textChanged, this,
                        [this, value, ref](const QString& t) {
                            if (refreshing_) return;
                            const std::string before = std::exchange(*value, ToRecord(t));
                            edits_->TextTyped(ref, before);
                            ScheduleTitleUpdate();
                        });
                if (guard) Guard(control, *guard);
            } else if constexpr (Field::kind == FieldKind::kChoice) {
                connect(control, &QComboBox::currentIndexChanged, this,
                        [this, value, ref](int index) {
                            if (refreshing_) return;
                            edits_->ValueChosen(ref, std::exchange(*value, index));
                            ScheduleTitleUpdate();
                        });
            } else if constexpr (Field::kind == FieldKind::kCheck) {
                connect(control, &QCheckBox::toggled, this, [this, value, ref](bool on) {
                    if (refreshing_) return;
                    edits_->ValueChosen(ref, std::exchange(*value, on));
                    ScheduleTitleUpdate();
                });
            } else {
                // Choosing the other option unchecks this one, so one signal covers the pair.
                connect(control, &QRadioButton::toggled, this, [this, value, control, ref] {
                    if (refreshing_ || *value == control->isChecked()) return;
                    edits_->ValueChosen(ref, std::exchange(*value, control->isChecked()));
                    ScheduleTitleUpdate();
                });
            }
        }
    });
}

void MainWindow::BindSideEffects() {
    for (int b = 0; b < kBanks; ++b) {
        connect(w_.lstMod[b], &QComboBox::currentIndexChanged, this, [this, b](int index) {
            if (refreshing_ || index < 0) return;
            const int before = std::exchange(moduleTypes_[b], index);
            ApplyModuleTypes();
            edits_->ModuleTypeChosen(b, before);
            ScheduleTitleUpdate();
        });
    }
    connect(w_.Field<&ConfigRecord::optMaster>(), &QRadioButton::toggled, this, [this] {
        if (!refreshing_) UpdateRS485Label();
    });
    connect(w_.Field<&ConfigRecord::lstComPort>(), &QComboBox::currentIndexChanged, this,
            [this] { ShowComDevice(); });
    // The detected devices are looked up when the Comms page is opened, not at start-up.
    connect(w_.SSTab1, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == kPageComms) {
            BuildComDeviceChoices();
            ShowComDevice();
        }
    });
    connect(w_.cmdMapPort, &QPushButton::clicked, this, [this] { MapComDevice(); });
    connect(w_.cmdSize, &QPushButton::clicked, this, [this] { ReportImageSize(); });
}

void MainWindow::ConnectLinkButtons() {
    LinkController* link = link_.get();
    const std::pair<QPushButton*, void (UnitSession::*)()> clicks[] = {
        {w_.cmdConnect, &UnitSession::ConnectClick},
        {w_.cmdAutoBaud, &UnitSession::AutoBaudClick},
        {w_.cmdGet, &UnitSession::ReadClick},
        {w_.cmdPut, &UnitSession::WriteClick},
        {w_.cmdReset, &UnitSession::ResetClick},
        {w_.cmdMACwrite, &UnitSession::MacWriteClick},
        {w_.cmdMeasurePulse, &UnitSession::CalibrateClick},
    };
    for (const auto& [button, click] : clicks)
        connect(button, &QPushButton::clicked, this, [this, link, click] {
            if (link->ExchangeRunning()) return;
            if (click == &UnitSession::WriteClick && !ConfirmWriteOverModuleTypes()) return;
            link->session()->SetWriteChecks(CurrentWriteChecks());
            const bool wasConnected = connected_;
            const ConfigRecord before =
                click == &UnitSession::CalibrateClick ? rec_ : ConfigRecord{};
            if (!RunLink(click)) return;
            AfterLinkClick(click);
            if (click == &UnitSession::CalibrateClick)
                SayCalibration(before);
            else
                SayClickOutcome(click, wasConnected);
        });
    // The increment never touches the port.
    connect(w_.cmdMACincrement, &QPushButton::clicked, link,
            [link] { link->session()->MacIncrementClick(); });
    connect(tmrConnect_, &QTimer::timeout, link, [link] { link->Tick(); });
}

void MainWindow::RefreshFields() {
    refreshing_ = true;
    ForEachFieldControls(w_, [this](const auto& field, const auto& controls) {
        using Field = std::remove_cvref_t<decltype(field)>;
        if (controls[0] == nullptr) return;  // the bank controls, still to come
        for (std::size_t i = 0; i < Field::count; ++i) {
            ShowInControl<Field>(controls[i], field.At(rec_, i), w_.optSlave);
        }
    });
    // The record keeps the name as 8-bit bytes, which only say whether there is a file; the
    // field shows the name as the file system spells it (an en dash is no Latin-1 character).
    w_.Field<&ConfigRecord::txtFileName>()->setText(CurrentFileName());
    refreshing_ = false;
    UpdateRS485Label();
    ApplyModuleTypes();
    ScheduleTitleUpdate();
}

QString MainWindow::CurrentFileName() const {
    return rec_.txtFileName.empty() ? QString() : storedFileName_;
}

void MainWindow::UpdateRS485Label() {
    w_.lblRS485Address->setText(FromRecord(RS485Label(rec_.optMaster)));
}

void MainWindow::ApplyModuleTypes() {
    const bool wasRefreshing = refreshing_;
    refreshing_ = true;
    for (int b = 0; b < kBanks; ++b) {
        const int type = moduleTypes_[b];
        w_.lstMod[b]->setCurrentIndex(ModuleListPosition(type));  // no side effect while refreshing
        const BankTabSet set = TabSetFor(type);
        w_.Bank[b]->setVisible(set == BankTabSet::kChannels);
        w_.BankType14[b]->setVisible(set == BankTabSet::kRelays);
        if (set == BankTabSet::kChannels && bankControlsMade_) {
            for (int c = 0; c < kChannelsPerBank; ++c) {
                for (int s = 0; s < kStatesPerChannel; ++s) {
                    const ChannelFrameRule rule = ChannelFrameRuleFor(type, s);
                    QGroupBox* f = w_.frmChn[ChannelStateIndex(b, c, s)];
                    if (rule.caption) f->setTitle(FromRecord(*rule.caption));
                    // setHidden rather than setVisible: the frame is a child of a tab page that
                    // may not be shown yet, and only its own hidden flag matters here.
                    if (rule.visible) f->setHidden(!*rule.visible);
                }
            }
        }
        w_.frmBankType[b]->setTitle(FromRecord(BankFrameCaption(type)));
    }
    refreshing_ = wasRefreshing;
    ChannelTableFollows();
}

void MainWindow::SetDefaults() {
    orv::SetDefaults(rec_, moduleTypes_);
    RefreshFields();
}

void MainWindow::ReportImageSize() {
    BuildResult build;
    const SizeReport size = orv::ReportImageSize(rec_, moduleTypes_, image_, &build);
    ShowSize(size);
    RefreshFields();  // the build normalises messages and chooses a new dictionary
    QStringList notes;
    if (!size.fits) {
        notes << QString(
                     "The configuration needs %1 bytes more than the unit's configuration "
                     "area holds (%2).\nShorten or remove some messages before writing it "
                     "to the unit or saving it.")
                     .arg(size.overBy)
                     .arg(QString::fromStdString(size.percentText));
    }
    // What the build changed now shows in the fields; say what it was.
    std::vector<std::string> changed = build.warnings;
    changed.insert(changed.end(), build.notes.begin(), build.notes.end());
    if (!changed.empty())
        notes << WithList(
            "The size was measured with values changed to what the unit can "
            "store; the fields now show them:",
            changed);
    if (!build.cautions.empty())
        notes << WithList("These settings are stored as they stand, but cannot work as meant:",
                          build.cautions);
    Say(QString("Size: %1 of the configuration area at %2")
            .arg(QString::fromStdString(size.percentText),
                 QTime::currentTime().toString("HH:mm:ss")),
        !size.fits);
    if (!notes.isEmpty()) ShowMessage(notes.join("\n\n"), AppTitle(), MessageKind::kWarning);
}

// ---- Messages.

void MainWindow::ShowMessage(const QString& text, const QString& title, MessageKind kind) {
    if (messageSink_) {
        messageSink_(title, text, kind);
        return;
    }
    QMessageBox box(this);
    box.setObjectName("msgBox");
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.setIcon(kind == MessageKind::kCritical      ? QMessageBox::Critical
                : kind == MessageKind::kWarning     ? QMessageBox::Warning
                : kind == MessageKind::kInformation ? QMessageBox::Information
                                                    : QMessageBox::NoIcon);
    box.exec();
}

// ---- Status of the link.

void MainWindow::ShowBusy(bool busy) {
    w_.lblBusy->setVisible(busy);
    w_.lblBusy->repaint();
}

void MainWindow::ShowSize(const SizeReport& size) {
    // Beyond the configuration area the bar stays full; the label tells by how much.
    w_.pbSize->setValue(std::clamp(size.lastAddress, 0, kConfigAreaLast));
    w_.lblSize->setText(QString::fromStdString(size.percentText));
}

void MainWindow::ShowPcBaudRate(int position) {
    QComboBox* list = w_.Field<&ConfigRecord::lstBaudPC>();
    list->setCurrentIndex(position);
    list->repaint();
}

// ---- Connected state.

void MainWindow::SetConnectedState() {
    ShowLinkState(true);
}

void MainWindow::SetDisconnectedState() {
    ShowLinkState(false);
}

void MainWindow::ShowLinkState(bool connected) {
    if (connected && !connected_) unitCopies_.Connected();  // the unit may be another now
    // The connection check found the unit gone: said, since the buttons stop working.
    if (connected_ && !connected && !exchanging_ && tmrConnect_->isActive()) {
        ClearStatusLine();
        Say("Connection lost at " + QTime::currentTime().toString("HH:mm:ss") +
                ": the unit stopped answering",
            true);
    }
    connected_ = connected;
    w_.cmdConnect->setText(connected ? "Dis&connect" : "&Connect");
    w_.lblConnected->setText(connected ? "Connected" : "Disconnected");
    SetLabelColour(w_.lblConnected, connected ? QColor(0, 255, 0) : QColor(255, 0, 0));
    // The buttons that talk to the unit work only while it answers, and none while a click runs.
    for (QWidget* c :
         {static_cast<QWidget*>(w_.cmdGet), static_cast<QWidget*>(w_.cmdPut),
          static_cast<QWidget*>(w_.cmdReset), static_cast<QWidget*>(w_.cmdMACwrite),
          static_cast<QWidget*>(w_.cmdMeasurePulse), static_cast<QWidget*>(w_.cmdAutoBaud)})
        c->setEnabled((connected || c == w_.cmdAutoBaud) && !exchanging_);
    // The two checks around a Write may be set at any time; during a click the menu keeps this
    // for its end.
    action("MenuUnitCompare")->setEnabled(connected);
    if (connected)
        tmrConnect_->start();
    else
        tmrConnect_->stop();
}

void MainWindow::setFileDialogProvider(std::unique_ptr<FileDialogProvider> provider) {
    dialogs_ = std::move(provider);
}

// ---- Unload.

void MainWindow::MenuFileExit() {
    // During an exchange the close is taken and put off until it has ended.
    close();
}

bool MainWindow::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    // The platform window takes the caption when it is made; the title bar shows the file too.
    if (event->type() == QEvent::WinIdChange || event->type() == QEvent::Show) UpdateTitle();
    // The window has just been painted for the first time: the bank controls come next (once,
    // however many paints come before them).
    if (event->type() == QEvent::UpdateRequest && !bankControlsMade_ && !bankControlsComing_) {
        bankControlsComing_ = true;
        QTimer::singleShot(0, this, [this] { MakeBankControls(); });
    }
    return result;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
}

void MainWindow::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    if (link_) link_->Shutdown();
    KeepBeforeReplacing(history_event::kBeforeExit);
    ExitSettings e;
    e.minimized = isMinimized();
    e.leftTwips = x() * kTwipsPerPixel;
    e.topTwips = y() * kTwipsPerPixel;
    e.widthTwips = width() * kTwipsPerPixel;
    e.heightTwips = height() * kTwipsPerPixel;
    e.path = storedPath_;
    e.fileName = storedFileName_;
    e.comPort = std::max(0, w_.Field<&ConfigRecord::lstComPort>()->currentIndex());
    e.comRate = std::max(0, w_.Field<&ConfigRecord::lstBaudPC>()->currentIndex());
    SettingsStore(QString()).Write(e);
    LogLine("+++ Program finished", true);
}

}  // namespace orv::ui
