#include "model/defaults.h"

#include <string>

#include "model/addresses.h"
#include "model/lists.h"

namespace orv {

void SetDefaults(ConfigRecord& rec, ModuleTypes& moduleTypes) {
    moduleTypes.fill(kModuleNotFitted);
    rec.txtFileName.clear();
    rec.txtVer[0].clear();
    rec.txtVer[1].clear();
    rec.txtRepTime = {"0", "30", "60", "300"};

    for (int i = 0; i < kChannelStates; ++i) {
        rec.txtMsg[i] = "BANK " + std::to_string(i / 64 + 1) + " CHAN " +
                        std::to_string((i % 64) / 4 + 1) + " " + std::string(kStateNames[i % 4]);
    }
    for (auto& word : rec.txtDict) word.clear();
    for (int i = 0; i < kChannelStates; ++i) rec.txtRIC[i] = SevenDigitRic(1000000 + i / 4);

    for (int r = 0; r < kRelays; ++r) {
        const int k = 8 * r;
        const std::string ric = SevenDigitRic(2000001 + r);
        for (int slot : {0, 4, 1, 5, 2, 6}) rec.txtRlyRIC[k + slot] = ric;
        rec.txtRlyRIC[k + kSlotCloseTMax] = "0";
        rec.txtRlyRIC[k + kSlotToggleRepeatFilter] = "0";
    }

    for (int i = 0; i < kChannelStates; ++i) rec.lstFunc[i] = i % 4;
    rec.lstType.fill(0);
    rec.lstBaud.fill(0);
    for (int m = 0; m < kRelayBeepFields; ++m) rec.lstRlyBeep[m] = m % 3;
    for (int i = 0; i < kChannelStates; ++i) rec.lstRepeat[i] = i % 4;

    rec.txtPulseTime = {"120", "380", "120", "380", "380", "750", "380", "750"};
    rec.txtFastZero = "0";
    rec.txtFastOne = "0";
    rec.txtSlowZero = "0";
    rec.txtSlowOne = "0";
    rec.chkOptions.fill(false);
}

void ApplyStartupValues(ConfigRecord& rec) {
    rec.lstType.fill(0);    // "Alpha"
    rec.lstBaud.fill(1);    // "1200"
    rec.lstRepeat.fill(0);  // "A"
    rec.lstComPort = 0;     // COM1 (the settings store may change it)
    rec.lstBaudPC = kBaud9600;
    rec.lstPCFormat = kFormatN81;
    rec.lstPortBaudrate = {kBaud9600, kBaud115200};
    rec.lstPortFormat = {kFormatN81, kFormatN81};
    rec.optMaster = true;
    rec.txtRS485Address = "0";
    rec.txtIP.fill("0");
    rec.txtMAC = {"50", "46", "4A", "00", "00", "00"};
}

StartupState MakeStartupState() {
    StartupState s;
    ApplyStartupValues(s.rec);
    SetDefaults(s.rec, s.moduleTypes);
    return s;
}

}  // namespace orv
