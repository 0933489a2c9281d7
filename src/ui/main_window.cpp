#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <memory>

#include "base/log.h"
#include "files/config_file.h"
#include "model/defaults.h"
#include "model/identity.h"
#include "model/rules.h"
#include "shell/settings_store.h"
#include "ui/link_controller.h"

namespace orv::ui {
namespace {

QString AppTitle() {
    return QString::fromLatin1(kProgramTitle.data(), kProgramTitle.size());
}

QString Str(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
}

// The File menu filter in the dialogs' own notation: "ORV (*.ORV)" and "All Files (*.*)".

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

class NoProgress : public LoadProgress {
  public:
    void ResetProgress() override {}
    void Advance() override {}
    void ShowInitialising() override {}
};

}  // namespace

QString FromRecord(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<int>(bytes.size()));
}

std::string ToRecord(const QString& text) {
    return text.toLatin1().toStdString();
}

MainWindow::MainWindow(LoadProgress* progress, QWidget* parent)
    : QMainWindow(parent), dialogs_(std::make_unique<QtFileDialogProvider>()) {
    NoProgress none;
    LoadProgress& p = progress ? *progress : none;
    setObjectName("frmMain");

    // 1. Start of the run.
    LogLine("+++ Program started", true);
    p.ResetProgress();
    // 2. The module type names are fixed tables (model/lists).
    p.Advance();

    // 3. Captions.
    setWindowTitle(QString::fromStdString(MainWindowCaption()));
    auto* central = new QWidget(this);
    central->setObjectName("central");
    setCentralWidget(central);
    BuildMenu();
    models_ = MakeListModels(this);

    // 4. Window position from the settings store; the size is always the design size.
    const shell::SettingsStore store(
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QDir::separator()));
    const shell::StartupSettings settings = store.Read();
    move(settings.leftTwips / shell::kTwipsPerPixel, settings.topTwips / shell::kTwipsPerPixel);
    resize(12000 / shell::kTwipsPerPixel, 9000 / shell::kTwipsPerPixel);
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

    // 5. Options: only the first is offered.
    BuildOptionsPage(pages[kPageOptions], w_);
    for (int k = 1; k < 8; ++k) w_.chkOptions[k]->setVisible(false);
    p.Advance();

    // 6. The module lists.
    BuildGeneralPage(pages[kPageGeneral], w_, models_);

    // 7. Info first; the LAN page exists but can never be selected.
    w_.SSTab1->setCurrentIndex(kPageInfo);
    w_.SSTab1->setTabEnabled(kPageLan, false);
    KeepOffUnavailableTabs(w_.SSTab1);
    for (int b = 0; b < kBanks; ++b) {
        BuildBankFrame(pages[kPageBank1 + b], b, w_);
        KeepOffUnavailableTabs(w_.Bank[b]);
        KeepOffUnavailableTabs(w_.BankType14[b]);
    }
    p.Advance();

    // 8, 9. Channel frames of every bank.
    BuildChannelTabs(0, w_, models_);
    BuildChannelTabs(1, w_, models_);
    p.Advance();
    BuildChannelTabs(2, w_, models_);
    p.Advance();
    BuildChannelTabs(3, w_, models_);
    p.Advance();  // 10
    p.Advance();  // 11

    // 12 .. 15. Relay frames of every bank.
    for (int b = 0; b < kBanks; ++b) {
        BuildRelayTabs(b, w_, models_);
        if (b < 3) p.Advance();
    }
    p.Advance();  // 13
    p.Advance();  // 14
    p.Advance();  // 15
    p.Advance();  // 16
    p.Advance();  // 17
    p.Advance();  // 18

    // 19, 20. Dictionary labels, the PC link lists.
    BuildDictionaryFrames(central, w_);
    BuildCommsPage(pages[kPageComms], w_, models_);
    p.Advance();
    ApplyStartupValues(rec_);
    rec_.lstComPort = settings.comPort;
    rec_.lstBaudPC = settings.comRate;
    p.Advance();
    // 21, 22. The unit's ports and the RS485 role (master, "Limit", address 0).
    p.Advance();
    p.Advance();

    // 23, 24. LAN and Pulse Timing pages.
    BuildLanPage(pages[kPageLan], w_);
    BuildPulseTimingPage(pages[kPagePulseTiming], w_);
    BuildCommandArea(central, w_);

    tmrConnect_ = new QTimer(this);
    tmrConnect_->setObjectName("tmrConnect");
    tmrConnect_->setInterval(1500);

    BindFields();
    link_ = std::make_unique<LinkController>(*this);
    SetDisconnectedState();

    // 25, 26. The defaults, which also arrange the bank pages.
    p.ShowInitialising();
    SetDefaults();
    ShowComDevice();
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
}

// ---- Binding: every edit goes straight into the record.

void MainWindow::BindFields() {
    auto text = [this](QLineEdit* e, std::string* field) {
        connect(e, &QLineEdit::textChanged, this, [this, field](const QString& t) {
            if (!refreshing_) *field = ToRecord(t);
        });
    };
    auto choice = [this](QComboBox* c, int* field) {
        connect(c, &QComboBox::currentIndexChanged, this, [this, field](int index) {
            if (!refreshing_) *field = index;
        });
    };
    for (int i = 0; i < kChannelStates; ++i) {
        text(w_.txtRIC[i], &rec_.txtRIC[i]);
        text(w_.txtMsg[i], &rec_.txtMsg[i]);
        choice(w_.lstFunc[i], &rec_.lstFunc[i]);
        choice(w_.lstType[i], &rec_.lstType[i]);
        choice(w_.lstBaud[i], &rec_.lstBaud[i]);
        choice(w_.lstRepeat[i], &rec_.lstRepeat[i]);
        Guard(w_.txtRIC[i], FieldGuard::kRIC);
        Guard(w_.txtMsg[i], FieldGuard::kMessage);
    }
    for (int k = 0; k < kRelayRicFields; ++k) {
        text(w_.txtRlyRIC[k], &rec_.txtRlyRIC[k]);
        Guard(w_.txtRlyRIC[k], FieldGuard::kRIC);
    }
    for (int m = 0; m < kRelayBeepFields; ++m) choice(w_.lstRlyBeep[m], &rec_.lstRlyBeep[m]);
    for (int k = 0; k < 4; ++k) {
        text(w_.txtRepTime[k], &rec_.txtRepTime[k]);
        Guard(w_.txtRepTime[k], FieldGuard::kRepeatTime);
        text(w_.txtIP[k], &rec_.txtIP[k]);
        Guard(w_.txtIP[k], FieldGuard::kIPComponent);
    }
    for (int v = 0; v < 2; ++v) {
        text(w_.txtVer[v], &rec_.txtVer[v]);
        choice(w_.lstPortBaudrate[v], &rec_.lstPortBaudrate[v]);
        choice(w_.lstPortFormat[v], &rec_.lstPortFormat[v]);
    }
    text(w_.txtFileName, &rec_.txtFileName);
    text(w_.txtRS485Address, &rec_.txtRS485Address);
    Guard(w_.txtRS485Address, FieldGuard::kRS485Address);
    choice(w_.lstComPort, &rec_.lstComPort);
    choice(w_.lstBaudPC, &rec_.lstBaudPC);
    choice(w_.lstPCFormat, &rec_.lstPCFormat);
    for (int k = 0; k < 6; ++k) {
        text(w_.txtMAC[k], &rec_.txtMAC[k]);
        Guard(w_.txtMAC[k], FieldGuard::kMACComponent);
    }
    for (int k = 0; k < 8; ++k) {
        text(w_.txtPulseTime[k], &rec_.txtPulseTime[k]);
        Guard(w_.txtPulseTime[k], FieldGuard::kPulseTime);
        connect(w_.chkOptions[k], &QCheckBox::toggled, this, [this, k](bool on) {
            if (!refreshing_) rec_.chkOptions[k] = on;
        });
    }
    text(w_.txtFastOne, &rec_.txtFastOne);
    text(w_.txtFastZero, &rec_.txtFastZero);
    text(w_.txtSlowOne, &rec_.txtSlowOne);
    text(w_.txtSlowZero, &rec_.txtSlowZero);
    for (int d = 0; d < kDictEntries; ++d) text(w_.txtDict[d], &rec_.txtDict[d]);

    // Choices with side effects.
    for (int b = 0; b < kBanks; ++b) {
        connect(w_.lstMod[b], &QComboBox::currentIndexChanged, this, [this, b](int index) {
            if (refreshing_ || index < 0) return;
            moduleTypes_[b] = index;
            ApplyModuleTypes();
        });
    }
    connect(w_.optMaster, &QRadioButton::toggled, this, [this](bool) {
        if (refreshing_) return;
        rec_.optMaster = w_.optMaster->isChecked();
        UpdateRS485Label();
    });
    connect(w_.lstComPort, &QComboBox::currentIndexChanged, this, [this] { ShowComDevice(); });
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

void MainWindow::RefreshFields() {
    refreshing_ = true;
    auto set = [](QLineEdit* e, const std::string& v) {
        const QString t = FromRecord(v);
        if (e->text() != t) e->setText(t);
    };
    auto pick = [](QComboBox* c, int position) {
        if (position < -1 || position >= c->count()) position = -1;
        if (c->currentIndex() != position) c->setCurrentIndex(position);
    };
    for (int i = 0; i < kChannelStates; ++i) {
        set(w_.txtRIC[i], rec_.txtRIC[i]);
        set(w_.txtMsg[i], rec_.txtMsg[i]);
        pick(w_.lstFunc[i], rec_.lstFunc[i]);
        pick(w_.lstType[i], rec_.lstType[i]);
        pick(w_.lstBaud[i], rec_.lstBaud[i]);
        pick(w_.lstRepeat[i], rec_.lstRepeat[i]);
    }
    for (int k = 0; k < kRelayRicFields; ++k) set(w_.txtRlyRIC[k], rec_.txtRlyRIC[k]);
    for (int m = 0; m < kRelayBeepFields; ++m) pick(w_.lstRlyBeep[m], rec_.lstRlyBeep[m]);
    for (int k = 0; k < 4; ++k) {
        set(w_.txtRepTime[k], rec_.txtRepTime[k]);
        set(w_.txtIP[k], rec_.txtIP[k]);
    }
    for (int v = 0; v < 2; ++v) {
        set(w_.txtVer[v], rec_.txtVer[v]);
        pick(w_.lstPortBaudrate[v], rec_.lstPortBaudrate[v]);
        pick(w_.lstPortFormat[v], rec_.lstPortFormat[v]);
    }
    set(w_.txtFileName, rec_.txtFileName);
    set(w_.txtRS485Address, rec_.txtRS485Address);
    w_.optMaster->setChecked(rec_.optMaster);
    w_.optSlave->setChecked(!rec_.optMaster);
    pick(w_.lstComPort, rec_.lstComPort);
    pick(w_.lstBaudPC, rec_.lstBaudPC);
    pick(w_.lstPCFormat, rec_.lstPCFormat);
    for (int k = 0; k < 6; ++k) set(w_.txtMAC[k], rec_.txtMAC[k]);
    for (int k = 0; k < 8; ++k) {
        set(w_.txtPulseTime[k], rec_.txtPulseTime[k]);
        w_.chkOptions[k]->setChecked(rec_.chkOptions[k]);
    }
    set(w_.txtFastOne, rec_.txtFastOne);
    set(w_.txtFastZero, rec_.txtFastZero);
    set(w_.txtSlowOne, rec_.txtSlowOne);
    set(w_.txtSlowZero, rec_.txtSlowZero);
    for (int d = 0; d < kDictEntries; ++d) set(w_.txtDict[d], rec_.txtDict[d]);
    refreshing_ = false;
    UpdateRS485Label();
    ApplyModuleTypes();
}

void MainWindow::UpdateRS485Label() {
    w_.lblRS485Address->setText(Str(RS485Label(rec_.optMaster)));
}

void MainWindow::ApplyModuleTypes() {
    const bool wasRefreshing = refreshing_;
    refreshing_ = true;
    for (int b = 0; b < kBanks; ++b) {
        const int type = moduleTypes_[b];
        // 1. Show the type in the bank's list; this has no further effect.
        w_.lstMod[b]->setCurrentIndex(ModuleListPosition(type));
        // 2. The tab set and the channel-state frames.
        const BankTabSet set = TabSetFor(type);
        w_.Bank[b]->setVisible(set == BankTabSet::kChannels);
        w_.BankType14[b]->setVisible(set == BankTabSet::kRelays);
        if (set == BankTabSet::kChannels) {
            for (int c = 0; c < kChannelsPerBank; ++c) {
                for (int s = 0; s < kStatesPerChannel; ++s) {
                    const ChannelFrameRule rule = ChannelFrameRuleFor(type, s);
                    QGroupBox* f = w_.frmChn[ChannelStateIndex(b, c, s)];
                    if (rule.caption) f->setTitle(Str(*rule.caption));
                    // setHidden rather than setVisible: the frame is a child of a tab page that
                    // may not be shown yet, and only its own hidden flag matters here.
                    if (rule.visible) f->setHidden(!*rule.visible);
                }
            }
        }
        // 3. The page frame names the module.
        w_.frmBankType[b]->setTitle(Str(BankFrameCaption(type)));
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
    w_.pbSize->setValue(std::clamp(size.lastAddress, 0, kConfigAreaLast));
    w_.lblSize->setText(QString::fromStdString(size.percentText));
    RefreshFields();  // the build normalises messages and chooses a new dictionary
    if (!size.fits) {
        ShowMessage(QString("The configuration needs %1 bytes more than the unit's configuration "
                            "area holds (%2).\nShorten or remove some messages before writing it "
                            "to the unit or saving it.")
                        .arg(size.overBy)
                        .arg(QString::fromStdString(size.percentText)),
                    AppTitle(), MessageKind::kWarning);
    }
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

// ---- Connected state.

void MainWindow::SetConnectedState() {
    connected_ = true;
    w_.cmdConnect->setText("Dis&connect");
    w_.lblConnected->setText("Connected");
    SetLabelColour(w_.lblConnected, QColor(0, 255, 0));
    for (QWidget* c : {static_cast<QWidget*>(w_.cmdGet), static_cast<QWidget*>(w_.cmdPut),
                       static_cast<QWidget*>(w_.cmdReset), static_cast<QWidget*>(w_.cmdMACwrite),
                       static_cast<QWidget*>(w_.cmdMeasurePulse)})
        c->setEnabled(true);
    tmrConnect_->start();
}

void MainWindow::SetDisconnectedState() {
    connected_ = false;
    w_.cmdConnect->setText("&Connect");
    w_.lblConnected->setText("Disconnected");
    SetLabelColour(w_.lblConnected, QColor(255, 0, 0));
    for (QWidget* c : {static_cast<QWidget*>(w_.cmdGet), static_cast<QWidget*>(w_.cmdPut),
                       static_cast<QWidget*>(w_.cmdReset), static_cast<QWidget*>(w_.cmdMACwrite),
                       static_cast<QWidget*>(w_.cmdMeasurePulse)})
        c->setEnabled(false);
    tmrConnect_->stop();
}

void MainWindow::setFileDialogProvider(std::unique_ptr<FileDialogProvider> provider) {
    dialogs_ = std::move(provider);
}

// ---- Unload.

void MainWindow::MenuFileExit() {
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
    shell::ExitSettings e;
    e.minimized = isMinimized();
    e.leftTwips = x() * shell::kTwipsPerPixel;
    e.topTwips = y() * shell::kTwipsPerPixel;
    e.widthTwips = width() * shell::kTwipsPerPixel;
    e.heightTwips = height() * shell::kTwipsPerPixel;
    e.path = storedPath_;
    e.fileName = storedFileName_;
    e.comPort = std::max(0, w_.lstComPort->currentIndex());
    e.comRate = std::max(0, w_.lstBaudPC->currentIndex());
    shell::SettingsStore(QString()).Write(e);
    LogLine("+++ Program finished", true);
}

}  // namespace orv::ui
