#include "ui/pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>

#include "image/image.h"
#include "model/identity.h"
#include "model/rules.h"
#include "ui/qt_text.h"
#include "ui/splash.h"

namespace orv::ui {
namespace {

QString Name(const char* base, int index) {
    return QString("%1_%2").arg(base).arg(index);
}

template <std::size_t N>
QAbstractItemModel* MakeModel(QObject* owner, const std::array<ListItem, N>& items) {
    auto* model = new QStandardItemModel(static_cast<int>(N), 1, owner);
    for (std::size_t p = 0; p < N; ++p) {
        auto* item = new QStandardItem(FromRecord(items[p].text));
        item->setData(items[p].code, Qt::UserRole);
        model->setItem(static_cast<int>(p), item);
    }
    return model;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int width, int height = 22) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, width, height);
    return l;
}

QLineEdit* MakeEdit(QWidget* parent, const QString& name, std::string_view tip, int x, int y,
                    int width) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    if (!tip.empty()) e->setToolTip(FromRecord(tip));
    e->setGeometry(x, y, width, 24);
    return e;
}

QComboBox* MakeCombo(QWidget* parent, const QString& name, QAbstractItemModel* model,
                     std::string_view tip, int x, int y, int width) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setModel(model);
    if (!tip.empty()) c->setToolTip(FromRecord(tip));
    c->setGeometry(x, y, width, 24);
    return c;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        std::string_view tip, int x, int y, int width, int height = 28) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    if (!tip.empty()) b->setToolTip(FromRecord(tip));
    b->setGeometry(x, y, width, height);
    return b;
}

QGroupBox* MakeFrame(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                     int width, int height) {
    auto* f = new QGroupBox(caption, parent);
    f->setObjectName(name);
    f->setGeometry(x, y, width, height);
    return f;
}

QLabel* MakeNote(QWidget* parent, const QString& text, int x, int y, int width, int height) {
    auto* l = MakeLabel(parent, text, x, y, width, height);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

}  // namespace

ListModels MakeListModels(QObject* owner) {
    ListModels m;
    m.func = MakeModel(owner, kFuncItems);
    m.pagerType = MakeModel(owner, kTypeItems);
    m.pagingBaud = MakeModel(owner, kPagingBaudItems);
    m.repeat = MakeModel(owner, kRepeatItems);
    m.relayBeep = MakeModel(owner, kRelayBeepItems);
    m.baudRates = MakeModel(owner, kBaudRateItems);
    m.frameFormats = MakeModel(owner, kFrameFormatItems);

    auto* modules = new QStandardItemModel(kModuleListItems, 1, owner);
    for (int code = 0; code < kModuleListItems; ++code) {
        auto* item = new QStandardItem(FromRecord(ModuleTypeName(code)));
        item->setData(code, Qt::UserRole);
        modules->setItem(code, item);
    }
    m.modules = modules;

    auto* ports = new QStandardItemModel(kComPorts, 1, owner);
    for (int p = 0; p < kComPorts; ++p) {
        auto* item = new QStandardItem(QString::fromStdString(ComPortItemText(p)));
        item->setData(p + 1, Qt::UserRole);
        ports->setItem(p, item);
    }
    m.comPorts = ports;
    return m;
}

void BuildInfoPage(QWidget* page, Widgets& w) {
    w.frmVersion = MakeFrame(page, "frmVersion", QString::fromStdString(VersionFrameCaption()), 12,
                             12, 756, 400);
    auto* logo = new Logo(w.frmVersion);
    logo->move(24, 36);
    auto* title = MakeLabel(w.frmVersion, FromRecord(kProgramTitle), 140, 40, 560, 36);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    MakeNote(w.frmVersion,
             "Configuration editor for the ORV Pro alarm-paging interface unit.\n\n"
             "Set the modules fitted in each bank on the General page, the pager calls of each "
             "input channel and the actions of each relay output on the Bank pages, and the "
             "unit's serial ports on the Comms page.\n\n"
             "Connect to the unit to read its configuration (Read) or to send the configuration "
             "shown here (Write). Configurations are saved to and opened from .ORV files with "
             "the File menu.",
             140, 90, 580, 220);
}

void BuildGeneralPage(QWidget* page, Widgets& w, const ListModels& m) {
    auto& txtVer = w.Field<&ConfigRecord::txtVer>();
    auto& txtRepTime = w.Field<&ConfigRecord::txtRepTime>();
    auto& txtFileName = w.Field<&ConfigRecord::txtFileName>();

    auto* modules = MakeFrame(page, "frmModules", "Modules", 12, 12, 500, 160);
    for (int b = 0; b < kBanks; ++b) {
        const int y = 30 + 30 * b;
        MakeLabel(modules, QString("Bank %1").arg(b + 1), 14, y, 60);
        w.lstMod[b] = MakeCombo(modules, Name("lstMod", b), m.modules, tip::kMod, 80, y, 405);
        w.lstMod[b]->setMaxVisibleItems(16);
    }

    auto* repeat = MakeFrame(page, "frmRepeatTimes", "Repeat Times", 528, 12, 240, 160);
    static const char* const kLetters[] = {"A", "B", "C", "D"};
    for (int k = 0; k < 4; ++k) {
        const int y = 30 + 30 * k;
        MakeLabel(repeat, kLetters[k], 20, y, 20);
        txtRepTime[k] = MakeEdit(repeat, Name("txtRepTime", k), tip::kRepTime, 46, y, 120);
        MakeLabel(repeat, "S", 174, y, 20);
    }

    MakeLabel(page, "ORV Firmware Version", 14, 196, 240);
    for (int v = 0; v < 2; ++v) {
        txtVer[v] = MakeEdit(page, Name("txtVer", v), tip::kVer, 14, 222 + 30 * v, 498);
        txtVer[v]->setReadOnly(true);
    }
    MakeLabel(page, "Configuration File Name", 14, 296, 240);
    txtFileName = MakeEdit(page, "txtFileName", tip::kFileName, 14, 322, 754);
    txtFileName->setReadOnly(true);
}

void BuildBankFrame(QWidget* page, int bank, Widgets& w) {
    auto* frame = MakeFrame(page, Name("frmBankType", bank), {}, 6, 4, 772, 432);
    w.frmBankType[bank] = frame;

    auto* channels = new QTabWidget(frame);
    channels->setObjectName(Name("Bank", bank));
    channels->setGeometry(8, 22, 756, 402);
    channels->setUsesScrollButtons(false);
    auto* relays = new QTabWidget(frame);
    relays->setObjectName(Name("BankType14", bank));
    relays->setGeometry(8, 22, 756, 402);
    w.Bank[bank] = channels;
    w.BankType14[bank] = relays;

    for (int c = 0; c < kChannelsPerBank; ++c)
        channels->addTab(new QWidget, QString::number(c + 1));
    channels->addTab(new QWidget, "?");
    for (int k = 0; k < kRelayOutputsPerBank; ++k)
        relays->addTab(new QWidget, QString::number(k + 1));
    relays->addTab(new QWidget, "9");

    // The spare tabs exist but can never be selected.
    channels->setTabEnabled(kChannelsPerBank, false);
    channels->setTabVisible(kChannelsPerBank, false);
    relays->setTabEnabled(kRelayOutputsPerBank, false);
    relays->setTabVisible(kRelayOutputsPerBank, false);
    channels->setCurrentIndex(0);
    relays->setCurrentIndex(0);
}

void BuildChannelTabs(int bank, Widgets& w, const ListModels& m) {
    auto& txtRIC = w.Field<&ConfigRecord::txtRIC>();
    auto& lstFunc = w.Field<&ConfigRecord::lstFunc>();
    auto& lstType = w.Field<&ConfigRecord::lstType>();
    auto& lstBaud = w.Field<&ConfigRecord::lstBaud>();
    auto& lstRepeat = w.Field<&ConfigRecord::lstRepeat>();
    auto& txtMsg = w.Field<&ConfigRecord::txtMsg>();

    for (int c = 0; c < kChannelsPerBank; ++c) {
        QWidget* tab = w.Bank[bank]->widget(c);
        for (int s = 0; s < kStatesPerChannel; ++s) {
            const int i = ChannelStateIndex(bank, c, s);
            auto* f = MakeFrame(tab, Name("frmChn", i), FromRecord(kVoltageCaptions[s]), 6,
                                4 + 90 * s, 740, 86);
            w.frmChn[i] = f;
            MakeLabel(f, "RIC", 10, 24, 28);
            txtRIC[i] = MakeEdit(f, Name("txtRIC", i), tip::kRIC, 40, 24, 90);
            MakeLabel(f, "Beep", 146, 24, 36);
            lstFunc[i] = MakeCombo(f, Name("lstFunc", i), m.func, tip::kFunc, 184, 24, 54);
            MakeLabel(f, "Type", 254, 24, 36);
            lstType[i] = MakeCombo(f, Name("lstType", i), m.pagerType, tip::kType, 292, 24, 80);
            MakeLabel(f, "Baud", 388, 24, 36);
            lstBaud[i] =
                MakeCombo(f, Name("lstBaud", i), m.pagingBaud, tip::kPagingBaud, 426, 24, 72);
            w.lblRepeat[i] = MakeLabel(f, "Rep.", 514, 24, 34);
            w.lblRepeat[i]->setObjectName(Name("lblRepeat", i));
            lstRepeat[i] = MakeCombo(f, Name("lstRepeat", i), m.repeat, tip::kRepeat, 550, 24, 54);
            MakeLabel(f, "Msg", 10, 54, 28);
            txtMsg[i] = MakeEdit(f, Name("txtMsg", i), tip::kMsg, 40, 54, 690);
        }
    }
}

void BuildRelayTabs(int bank, Widgets& w, const ListModels& m) {
    auto& txtRlyRIC = w.Field<&ConfigRecord::txtRlyRIC>();
    auto& lstRlyBeep = w.Field<&ConfigRecord::lstRlyBeep>();

    for (int out = 0; out < kRelayOutputsPerBank; ++out) {
        QWidget* tab = w.BankType14[bank]->widget(out);
        const int r = RelayIndex(bank, out);
        struct ActionFrame {
            const char* name;
            const char* caption;
            int action;
            int fromSlot, toSlot, timeSlot;
            const char* timeLabel;
        };
        static const ActionFrame kFrames[] = {
            {"frmRlyClose", "Close", kActionClose, kSlotCloseFrom, kSlotCloseTo, kSlotCloseTMax,
             "TMax"},
            {"frmRlyOpen", "Open", kActionOpen, kSlotOpenFrom, kSlotOpenTo, -1, nullptr},
            {"frmRlyToggle", "Toggle", kActionToggle, kSlotToggleFrom, kSlotToggleTo,
             kSlotToggleRepeatFilter, "Repeat Filter"},
        };
        for (const ActionFrame& a : kFrames) {
            auto* f = MakeFrame(tab, Name(a.name, r), a.caption, 6, 6 + 96 * a.action, 740, 84);
            (a.action == kActionClose  ? w.frmRlyClose
             : a.action == kActionOpen ? w.frmRlyOpen
                                       : w.frmRlyToggle)[r] = f;
            const int y = 34;
            MakeLabel(f, "RIC Range", 12, y, 72);
            const int from = RelayRicIndex(r, a.fromSlot);
            const int to = RelayRicIndex(r, a.toSlot);
            txtRlyRIC[from] = MakeEdit(f, Name("txtRlyRIC", from), tip::kRIC, 88, y, 90);
            MakeLabel(f, "<->", 184, y, 28)->setAlignment(Qt::AlignCenter);
            txtRlyRIC[to] = MakeEdit(f, Name("txtRlyRIC", to), tip::kRIC, 216, y, 90);
            MakeLabel(f, "Beep", 330, y, 36);
            const int beep = RelayBeepIndex(r, a.action);
            lstRlyBeep[beep] =
                MakeCombo(f, Name("lstRlyBeep", beep), m.relayBeep, tip::kRelayBeep, 370, y, 64);
            if (a.timeSlot >= 0) {
                MakeLabel(f, a.timeLabel, 460, y, 90)
                    ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                const int k = RelayRicIndex(r, a.timeSlot);
                txtRlyRIC[k] = MakeEdit(f, Name("txtRlyRIC", k), {}, 556, y, 70);
                MakeLabel(f, "S", 632, y, 16);
            }
        }
    }
}

void BuildCommsPage(QWidget* page, Widgets& w, const ListModels& m) {
    auto& txtRS485Address = w.Field<&ConfigRecord::txtRS485Address>();
    auto& optMaster = w.Field<&ConfigRecord::optMaster>();
    auto& lstPortBaudrate = w.Field<&ConfigRecord::lstPortBaudrate>();
    auto& lstPortFormat = w.Field<&ConfigRecord::lstPortFormat>();
    auto& lstComPort = w.Field<&ConfigRecord::lstComPort>();
    auto& lstBaudPC = w.Field<&ConfigRecord::lstBaudPC>();
    auto& lstPCFormat = w.Field<&ConfigRecord::lstPCFormat>();

    auto* pc = MakeFrame(page, "frmPC", "PC", 12, 12, 370, 410);
    MakeLabel(pc, "Communications Port", 14, 30, 150);
    lstComPort = MakeCombo(pc, "lstComPort", m.comPorts, tip::kComPort, 170, 30, 110);
    lstComPort->setMaxVisibleItems(16);
    MakeLabel(pc, "Device", 14, 62, 150);
    w.lblComDevice = MakeLabel(pc, {}, 170, 62, 190);
    w.lblComDevice->setObjectName("lblComDevice");
    w.lstComDevice = new QComboBox(pc);
    w.lstComDevice->setObjectName("lstComDevice");
    w.lstComDevice->setEditable(true);
    w.lstComDevice->setToolTip(
        "Serial device to use for the selected COM port (pick a detected "
        "device or type its path)");
    w.lstComDevice->setGeometry(14, 90, 250, 24);
    w.cmdMapPort = MakeButton(pc, "cmdMapPort", "&Map", {}, 270, 88, 90);
    w.cmdMapPort->setToolTip("Use this device for the selected COM port");
    MakeLabel(pc, "PC Baud Rate", 14, 134, 150);
    lstBaudPC = MakeCombo(pc, "lstBaudPC", m.baudRates, tip::kBaudPC, 170, 134, 110);
    lstBaudPC->setMaxVisibleItems(10);
    MakeLabel(pc, "PC Serial Format", 14, 166, 150);
    lstPCFormat = MakeCombo(pc, "lstPCFormat", m.frameFormats, {}, 170, 166, 110);
    lstPCFormat->setMaxVisibleItems(24);
    w.cmdAutoBaud =
        MakeButton(pc, "cmdAutoBaud", "&Auto Baud Detect", tip::kAutoBaud, 14, 210, 170);
    MakeNote(pc,
             "PC and ORV baud rates must match.\n"
             "Auto Baud Detect may be used if the baud rate is unknown.",
             14, 252, 340, 60);

    auto* orv = MakeFrame(page, "frmORV", "ORV", 396, 12, 372, 410);
    MakeLabel(orv, "Baud Rate", 100, 26, 100);
    MakeLabel(orv, "Format", 230, 26, 100);
    static const char* const kPorts[] = {"RS232", "RS485"};
    static constexpr std::string_view kBaudTips[] = {tip::kRS232Port, tip::kRS485Port};
    for (int n = 0; n < 2; ++n) {
        const int y = 50 + 32 * n;
        MakeLabel(orv, kPorts[n], 14, y, 80);
        lstPortBaudrate[n] =
            MakeCombo(orv, Name("lstPortBaudrate", n), m.baudRates, kBaudTips[n], 100, y, 110);
        lstPortFormat[n] = MakeCombo(orv, Name("lstPortFormat", n), m.frameFormats,
                                     n == 1 ? tip::kPortFormat : std::string_view{}, 230, y, 100);
        lstPortFormat[n]->setMaxVisibleItems(24);
    }
    auto* role = MakeFrame(orv, "frmRS485", "RS485", 14, 126, 344, 110);
    optMaster = new QRadioButton("Master", role);
    optMaster->setObjectName("optMaster");
    optMaster->setGeometry(14, 28, 100, 24);
    w.optSlave = new QRadioButton("Slave", role);
    w.optSlave->setObjectName("optSlave");
    w.optSlave->setGeometry(14, 58, 100, 24);
    w.lblRS485Address = MakeLabel(role, "Limit", 140, 28, 80);
    w.lblRS485Address->setObjectName("lblRS485Address");
    txtRS485Address = MakeEdit(role, "txtRS485Address", {}, 220, 28, 100);
    MakeNote(orv,
             "Changes take effect after the next reset of the ORV, change PC rate/format to "
             "match.",
             14, 252, 344, 60);
}

void BuildLanPage(QWidget* page, Widgets& w) {
    auto& txtIP = w.Field<&ConfigRecord::txtIP>();
    auto& txtMAC = w.Field<&ConfigRecord::txtMAC>();

    auto* ip = MakeFrame(page, "frmIP", "IP Address", 12, 12, 360, 80);
    for (int k = 0; k < 4; ++k) {
        txtIP[k] = MakeEdit(ip, Name("txtIP", k), tip::kIP, 14 + 84 * k, 34, 60);
        if (k < 3) MakeLabel(ip, ".", 78 + 84 * k, 34, 16)->setAlignment(Qt::AlignCenter);
    }
    auto* mac = MakeFrame(page, "frmMAC", "MAC Address", 12, 104, 480, 120);
    for (int k = 0; k < 6; ++k) {
        txtMAC[k] = MakeEdit(mac, Name("txtMAC", k), tip::kMAC, 14 + 60 * k, 34, 40);
        if (k < 5) MakeLabel(mac, ":", 56 + 60 * k, 34, 16)->setAlignment(Qt::AlignCenter);
        if (k < 3) {
            // The vendor octets are fixed: no keys, no focus, shown with the disabled colour.
            txtMAC[k]->setEnabled(false);
            txtMAC[k]->setFocusPolicy(Qt::NoFocus);
            txtMAC[k]->setStyleSheet("QLineEdit { background: palette(mid); color: black; }");
        }
    }
    w.cmdMACwrite = MakeButton(mac, "cmdMACwrite", "Write MAC", tip::kMACwrite, 14, 76, 110);
    w.cmdMACincrement =
        MakeButton(mac, "cmdMACincrement", "Increment", tip::kMACincrement, 134, 76, 110);
    MakeNote(page,
             "MAC addresses are assigned once, at acceptance testing, and must be unique to "
             "each unit. The address reaches the unit only through Write MAC; writing the "
             "configuration never changes it.",
             12, 236, 480, 80);
}

void BuildPulseTimingPage(QWidget* page, Widgets& w) {
    auto& txtPulseTime = w.Field<&ConfigRecord::txtPulseTime>();
    auto& txtFastOne = w.Field<&ConfigRecord::txtFastOne>();
    auto& txtFastZero = w.Field<&ConfigRecord::txtFastZero>();
    auto& txtSlowOne = w.Field<&ConfigRecord::txtSlowOne>();
    auto& txtSlowZero = w.Field<&ConfigRecord::txtSlowZero>();

    static const char* const kFrames[] = {"Fast Pulse", "Slow Pulse"};
    static const char* const kPhases[] = {"ON", "OFF"};
    for (int f = 0; f < 2; ++f) {
        auto* frame = MakeFrame(page, f == 0 ? "frmFastPulse" : "frmSlowPulse", kFrames[f],
                                12 + 262 * f, 12, 250, 130);
        MakeLabel(frame, "Min", 60, 24, 70)->setAlignment(Qt::AlignCenter);
        MakeLabel(frame, "Max", 140, 24, 70)->setAlignment(Qt::AlignCenter);
        for (int ph = 0; ph < 2; ++ph) {
            const int y = 50 + 32 * ph;
            MakeLabel(frame, kPhases[ph], 14, y, 40);
            for (int mm = 0; mm < 2; ++mm) {
                const int p = f * 4 + ph * 2 + mm;
                txtPulseTime[p] =
                    MakeEdit(frame, Name("txtPulseTime", p), tip::kPulseTime, 60 + 80 * mm, y, 70);
            }
            MakeLabel(frame, "mS", 216, y, 28);
        }
    }
    auto* cal = MakeFrame(page, "frmCalibration", "Calibration", 12, 154, 512, 130);
    MakeLabel(cal, "ON", 100, 24, 70)->setAlignment(Qt::AlignCenter);
    MakeLabel(cal, "OFF", 180, 24, 70)->setAlignment(Qt::AlignCenter);
    MakeLabel(cal, "Fast Pulse", 14, 50, 80);
    txtFastOne = MakeEdit(cal, "txtFastOne", {}, 100, 50, 70);
    txtFastZero = MakeEdit(cal, "txtFastZero", {}, 180, 50, 70);
    MakeLabel(cal, "mS", 256, 50, 24);
    MakeLabel(cal, "Slow Pulse", 14, 82, 80);
    txtSlowOne = MakeEdit(cal, "txtSlowOne", {}, 100, 82, 70);
    txtSlowZero = MakeEdit(cal, "txtSlowZero", {}, 180, 82, 70);
    MakeLabel(cal, "mS", 256, 82, 24);
    w.cmdMeasurePulse =
        MakeButton(cal, "cmdMeasurePulse", "Calibrate", tip::kMeasurePulse, 330, 64, 120);
    MakeNote(page,
             "Type 15 modules only: apply the fast pulse sequence to Bank 1 Channel 1 and the "
             "slow pulse sequence to Bank 1 Channel 2, wait several cycles (5 seconds) for the "
             "ORV to measure the pulse times, then click Calibrate. Suggested values are "
             "calculated and filled in; adjust them by hand if required.",
             538, 18, 236, 220);
}

void BuildOptionsPage(QWidget* page, Widgets& w) {
    auto& chkOptions = w.Field<&ConfigRecord::chkOptions>();

    auto* frame = MakeFrame(page, "frmOptions", "Configuration Options", 12, 12, 420, 290);
    for (int k = 0; k < 8; ++k) {
        const QString caption = k == 0   ? "Suppress Reset Strings"
                                : k == 7 ? "Loop RS232 Output => Input"
                                         : "Option ";
        auto* c = new QCheckBox(caption, frame);
        c->setObjectName(Name("chkOptions", k));
        c->setGeometry(16, 30 + 32 * k, 380, 24);
        chkOptions[k] = c;
    }
    chkOptions[0]->setToolTip(FromRecord(tip::kOption0));
}

void BuildDictionaryFrames(QWidget* parent, Widgets& w) {
    auto& txtDict = w.Field<&ConfigRecord::txtDict>();

    for (int half = 0; half < 2; ++half) {
        auto* frame = MakeFrame(parent, Name("frmDict", half), {}, 0, 0, 10, 10);
        frame->hide();
        for (int k = 64 * half; k < 64 * (half + 1); ++k) {
            w.lblDict[k] = new QLabel(QString::number(k), frame);
            w.lblDict[k]->setObjectName(Name("lblDict", k));
            txtDict[k] = new QLineEdit(frame);
            txtDict[k]->setObjectName(Name("txtDict", k));
        }
    }
}

void BuildCommandArea(QWidget* central, Widgets& w) {
    const int y = 482;
    w.cmdConnect = MakeButton(central, "cmdConnect", "&Connect", tip::kConnect, 6, y, 100);
    w.lblConnected = MakeLabel(central, "Disconnected", 112, y, 104, 28);
    w.lblConnected->setObjectName("lblConnected");
    w.lblConnected->setAlignment(Qt::AlignCenter);
    w.lblConnected->setAutoFillBackground(true);
    w.lblConnected->setFrameShape(QFrame::Panel);
    w.lblConnected->setFrameShadow(QFrame::Sunken);
    w.cmdGet = MakeButton(central, "cmdGet", "&Read", tip::kGet, 232, y, 84);
    w.cmdPut = MakeButton(central, "cmdPut", "&Write", tip::kPut, 322, y, 84);
    w.cmdReset = MakeButton(central, "cmdReset", "&Reset ORV", tip::kReset, 412, y, 100);
    w.cmdSize = MakeButton(central, "cmdSize", "&Size", tip::kSize, 532, y, 70);
    w.pbSize = new QProgressBar(central);
    w.pbSize->setObjectName("pbSize");
    w.pbSize->setRange(0, kConfigAreaLast);
    w.pbSize->setValue(0);
    w.pbSize->setTextVisible(false);
    w.pbSize->setToolTip(FromRecord(tip::kSize));
    w.pbSize->setGeometry(608, y + 4, 110, 20);
    w.lblSize = MakeLabel(central, "0.00%", 722, y, 72, 28);
    w.lblSize->setObjectName("lblSize");

    w.lblBusy = MakeLabel(central, "BUSY", 6, y + 40, 100, 24);
    w.lblBusy->setObjectName("lblBusy");
    w.lblBusy->setAlignment(Qt::AlignCenter);
    QFont bold = w.lblBusy->font();
    bold.setBold(true);
    w.lblBusy->setFont(bold);
    w.lblBusy->setStyleSheet("QLabel { color: rgb(200, 0, 0); }");
    w.lblBusy->hide();
    w.pb100 = new QProgressBar(central);
    w.pb100->setObjectName("pb100");
    w.pb100->setRange(0, 100);
    w.pb100->setValue(0);
    w.pb100->setGeometry(112, y + 42, 594, 20);
    w.pb100->setAlignment(Qt::AlignCenter);
    w.pb100->hide();
    // Stops a Read, a Compare, or the backup and read-back around a Write, at the next block.
    w.cmdCancel = MakeButton(central, "cmdCancel", "Cancel", {}, 712, y + 38, 82);
    w.cmdCancel->setToolTip("Stop at the next block (Escape)");
    w.cmdCancel->hide();
    w.lblUnitCheck = MakeLabel(central, QString(), 112, y + 40, 682, 24);
    w.lblUnitCheck->setObjectName("lblUnitCheck");
    w.lblUnitCheck->hide();
}

}  // namespace orv::ui
