// The controls of the main window, by the record field they show. Object names follow the field
// names with the index after an underscore ("txtRIC_5", "lstMod_0") so tools and tests can find
// them.
#pragma once

#include <array>

#include "model/record.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace orv::ui {

struct Widgets {
    QTabWidget* SSTab1 = nullptr;

    // Bank pages.
    std::array<QGroupBox*, kBanks> frmBankType{};
    std::array<QTabWidget*, kBanks> Bank{};
    std::array<QTabWidget*, kBanks> BankType14{};
    std::array<QGroupBox*, kChannelStates> frmChn{};
    std::array<QLineEdit*, kChannelStates> txtRIC{};
    std::array<QComboBox*, kChannelStates> lstFunc{};
    std::array<QComboBox*, kChannelStates> lstType{};
    std::array<QComboBox*, kChannelStates> lstBaud{};
    std::array<QComboBox*, kChannelStates> lstRepeat{};
    std::array<QLabel*, kChannelStates> lblRepeat{};
    std::array<QLineEdit*, kChannelStates> txtMsg{};
    std::array<QGroupBox*, kRelays> frmRlyClose{};
    std::array<QGroupBox*, kRelays> frmRlyOpen{};
    std::array<QGroupBox*, kRelays> frmRlyToggle{};
    std::array<QLineEdit*, kRelayRicFields> txtRlyRIC{};
    std::array<QComboBox*, kRelayBeepFields> lstRlyBeep{};

    // Info and General pages.
    QGroupBox* frmVersion = nullptr;
    std::array<QComboBox*, kBanks> lstMod{};
    std::array<QLineEdit*, 4> txtRepTime{};
    std::array<QLineEdit*, 2> txtVer{};
    QLineEdit* txtFileName = nullptr;

    // Comms page.
    QComboBox* lstComPort = nullptr;
    QComboBox* lstBaudPC = nullptr;
    QComboBox* lstPCFormat = nullptr;
    QLabel* lblComDevice = nullptr;
    QComboBox* lstComDevice = nullptr;
    QPushButton* cmdMapPort = nullptr;
    QPushButton* cmdAutoBaud = nullptr;
    std::array<QComboBox*, 2> lstPortBaudrate{};
    std::array<QComboBox*, 2> lstPortFormat{};
    QRadioButton* optMaster = nullptr;
    QRadioButton* optSlave = nullptr;
    QLabel* lblRS485Address = nullptr;
    QLineEdit* txtRS485Address = nullptr;

    // LAN page.
    std::array<QLineEdit*, 4> txtIP{};
    std::array<QLineEdit*, 6> txtMAC{};
    QPushButton* cmdMACwrite = nullptr;
    QPushButton* cmdMACincrement = nullptr;

    // Pulse Timing page.
    std::array<QLineEdit*, 8> txtPulseTime{};
    QLineEdit* txtFastOne = nullptr;
    QLineEdit* txtFastZero = nullptr;
    QLineEdit* txtSlowOne = nullptr;
    QLineEdit* txtSlowZero = nullptr;
    QPushButton* cmdMeasurePulse = nullptr;

    // Options page.
    std::array<QCheckBox*, 8> chkOptions{};

    // Dictionary working storage, never shown.
    std::array<QLineEdit*, kDictEntries> txtDict{};
    std::array<QLabel*, kDictEntries> lblDict{};

    // Outside the tabs.
    QPushButton* cmdConnect = nullptr;
    QLabel* lblConnected = nullptr;
    QPushButton* cmdGet = nullptr;
    QPushButton* cmdPut = nullptr;
    QPushButton* cmdReset = nullptr;
    QPushButton* cmdSize = nullptr;
    QProgressBar* pbSize = nullptr;
    QLabel* lblSize = nullptr;
    QProgressBar* pb100 = nullptr;
    QLabel* lblBusy = nullptr;
};

// Page indices of SSTab1.
enum Page : int {
    kPageInfo = 0,
    kPageGeneral = 1,
    kPageBank1 = 2,
    kPageComms = 6,
    kPageLan = 7,
    kPagePulseTiming = 8,
    kPageOptions = 9,
};

}  // namespace orv::ui
