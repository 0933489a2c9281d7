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
#include <QTimer>
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
#include "ui/settings_store.h"

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

// The text fields with key filters and leave checks (txtRlyRIC: all eight slots).
template <class Member>
std::optional<FieldGuard> GuardOf(Member ConfigRecord::*member) {
    static constexpr std::tuple kGuarded{
        std::pair{&ConfigRecord::txtRIC, FieldGuard::kRIC},
        std::pair{&ConfigRecord::txtMsg, FieldGuard::kMessage},
        std::pair{&ConfigRecord::txtRlyRIC, FieldGuard::kRIC},
        std::pair{&ConfigRecord::txtRepTime, FieldGuard::kRepeatTime},
        std::pair{&ConfigRecord::txtIP, FieldGuard::kIPComponent},
        std::pair{&ConfigRecord::txtMAC, FieldGuard::kMACComponent},
        std::pair{&ConfigRecord::txtPulseTime, FieldGuard::kPulseTime},
        std::pair{&ConfigRecord::txtRS485Address, FieldGuard::kRS485Address},
    };
    std::optional<FieldGuard> guard;
    auto match = [&](const auto& entry) {
        if (SameMember(entry.first, member)) guard = entry.second;
    };
    std::apply([&](const auto&... entry) { (match(entry), ...); }, kGuarded);
    return guard;
}

class NoProgress : public LoadProgress {
  public:
    void ResetProgress() override {}
    void Advance() override {}
    void ShowInitialising() override {}
};

}  // namespace

MainWindow::MainWindow(LoadProgress* progress, QWidget* parent)
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
    constexpr int kMargin = 6;      // as at the pages' left and top
    central->setFixedSize(used.right() + 1 + kMargin, used.bottom() + 1 + kMargin);
    scroll->setWidget(central);

    tmrConnect_ = new QTimer(this);
    tmrConnect_->setObjectName("tmrConnect");
    tmrConnect_->setInterval(1500);

    BindFields();
    link_ = std::make_unique<LinkController>(*this, *this, rec_, moduleTypes_, image_);
    connect(link_.get(), &LinkController::InputRefused, this,
            [this](QEvent* event) { SayInputRefused(event); });
    ConnectLinkButtons();
    SetDisconnectedState();

    // The defaults come last: they also arrange the bank pages, which must exist by now.
    p.ShowInitialising();
    SetDefaults();
    TakeBaseline();
    ShowComDevice();

    setAcceptDrops(true);  // a dropped .ORV file opens as File > Open
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { SessionEnding(); });
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
    file->addSeparator();
    add("Clear", "&Clear Form", {}, &MainWindow::Clear);
    file->addSeparator();
    add("MenuFileExit", "E&xit", QKeySequence("Ctrl+X"), &MainWindow::MenuFileExit);
    BuildUnitMenu();
}

// ---- Binding: every edit goes straight into the record.

void MainWindow::BindFields() {
    ForEachFieldControls(w_, [this](const auto& field, const auto& controls) {
        using Field = std::remove_cvref_t<decltype(field)>;
        const std::optional<FieldGuard> guard = GuardOf(field.member);
        for (std::size_t i = 0; i < Field::count; ++i) {
            auto* control = controls[i];
            auto* value = &field.At(rec_, i);
            if constexpr (Field::kind == FieldKind::kText) {
                connect(control, &QLineEdit::textChanged, this, [this, value](const QString& t) {
                    if (!refreshing_) *value = ToRecord(t);
                });
                if (guard) Guard(control, *guard);
            } else if constexpr (Field::kind == FieldKind::kChoice) {
                connect(control, &QComboBox::currentIndexChanged, this, [this, value](int index) {
                    if (!refreshing_) *value = index;
                });
            } else if constexpr (Field::kind == FieldKind::kCheck) {
                connect(control, &QCheckBox::toggled, this, [this, value](bool on) {
                    if (!refreshing_) *value = on;
                });
            } else {
                // Choosing the other option unchecks this one, so one signal covers the pair.
                connect(control, &QRadioButton::toggled, this, [this, value, control] {
                    if (!refreshing_) *value = control->isChecked();
                });
            }
        }
    });

    // Side effects beyond the record.
    for (int b = 0; b < kBanks; ++b) {
        connect(w_.lstMod[b], &QComboBox::currentIndexChanged, this, [this, b](int index) {
            if (refreshing_ || index < 0) return;
            moduleTypes_[b] = index;
            ApplyModuleTypes();
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
            link->session()->SetWriteChecks(CurrentWriteChecks());
            // The last Write's line would speak for this one while it runs.
            if (click == &UnitSession::WriteClick) ClearStatusLine();
            if (!RunLink(click)) return;
            AfterLinkClick(click);
            if (click == &UnitSession::WriteClick) ShowWriteEnd();
            if (click == &UnitSession::ConnectClick || click == &UnitSession::AutoBaudClick)
                ShowModuleTypeChanges();
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
        for (std::size_t i = 0; i < Field::count; ++i) {
            auto* control = controls[i];
            const auto& value = field.At(rec_, i);
            if constexpr (Field::kind == FieldKind::kText) {
                const QString text = FromRecord(value);
                if (control->text() != text) control->setText(text);
            } else if constexpr (Field::kind == FieldKind::kChoice) {
                const int position = value < -1 || value >= control->count() ? -1 : value;
                if (control->currentIndex() != position) control->setCurrentIndex(position);
            } else if constexpr (Field::kind == FieldKind::kCheck) {
                control->setChecked(value);
            } else {
                // A checked option cannot be unchecked directly: check the complement.
                control->setChecked(value);
                w_.optSlave->setChecked(!value);
            }
        }
    });
    // The record keeps the name as 8-bit bytes, which only say whether there is a file; the
    // field shows the name as the file system spells it (an en dash is no Latin-1 character).
    w_.Field<&ConfigRecord::txtFileName>()->setText(CurrentFileName());
    refreshing_ = false;
    UpdateRS485Label();
    ApplyModuleTypes();
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
        if (set == BankTabSet::kChannels) {
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

void MainWindow::ShowTransferProgress(int percent, bool visible) {
    w_.pb100->setValue(std::clamp(percent, 0, 100));
    const bool changed = w_.pb100->isHidden() == visible;
    w_.pb100->setVisible(visible);
    if (changed) UpdateStatusLine();  // the line shares the bar's place
    w_.pb100->repaint();
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
    connected_ = connected;
    w_.cmdConnect->setText(connected ? "Dis&connect" : "&Connect");
    w_.lblConnected->setText(connected ? "Connected" : "Disconnected");
    SetLabelColour(w_.lblConnected, connected ? QColor(0, 255, 0) : QColor(255, 0, 0));
    // The buttons that talk to the unit work only while it answers.
    for (QWidget* c : {static_cast<QWidget*>(w_.cmdGet), static_cast<QWidget*>(w_.cmdPut),
                       static_cast<QWidget*>(w_.cmdReset), static_cast<QWidget*>(w_.cmdMACwrite),
                       static_cast<QWidget*>(w_.cmdMeasurePulse)})
        c->setEnabled(connected);
    for (const char* name : {"MenuUnitCompare", "MenuUnitVerify", "MenuUnitBackup"})
        action(name)->setEnabled(connected);
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
    if (RefuseWhileExchanging("Not closed", "Choose File > Exit")) return;
    close();
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
