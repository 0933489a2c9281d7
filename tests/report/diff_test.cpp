#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "report/report.h"
#include "report_test_util.h"

namespace orv {
namespace {

using Edit = std::function<void(ConfigRecord&, ModuleTypes&)>;

constexpr std::size_t Ch(int bank, int channel, int state) {
    return static_cast<std::size_t>(ChannelStateIndex(bank, channel, state));
}
constexpr std::size_t Rly(int bank, int output, int slot) {
    return static_cast<std::size_t>(RelayRicIndex(RelayIndex(bank, output), slot));
}

std::vector<std::string> DiffAfter(const Edit& edit) {
    const Opened a = OpenedDefaults({15, 13, 14, 0});
    Opened b = a;
    edit(b.s.rec, b.s.moduleTypes);
    return ConfigDifferences(a.s.rec, a.s.moduleTypes, b.s.rec, b.s.moduleTypes);
}

TEST(Diff, EveryKindOfFieldIsNamed) {
    struct Case {
        const char* name;
        Edit edit;
        std::vector<std::string> lines;
    } cases[] = {
        {"version",
         [](auto& r, auto&) { r.txtVer[1] = "B2"; },
         {"Firmware version line 2: '' -> 'B2'"}},
        {"RS232 rate",
         [](auto& r, auto&) { r.lstPortBaudrate[0] = 6; },
         {"RS232 port: 9600 -> 19200"}},
        {"RS485 format",
         [](auto& r, auto&) { r.lstPortFormat[1] = 21; },
         {"RS485 port format: N,8,1 -> E,8,2"}},
        {"role and address",
         [](auto& r, auto&) {
             r.optMaster = false;
             r.txtRS485Address = "7";
         },
         {"RS485 role: Master -> Slave", "RS485 address or limit: 0 -> 7"}},
        {"limit",
         [](auto& r, auto&) { r.txtRS485Address = "12"; },
         {"RS485 address limit: 0 -> 12"}},
        {"IP", [](auto& r, auto&) { r.txtIP[3] = "20"; }, {"IP address: 0.0.0.0 -> 0.0.0.20"}},
        {"MAC",
         [](auto& r, auto&) { r.txtMAC[5] = "1F"; },
         {"MAC address: 50:46:4A:00:00:00 -> 50:46:4A:00:00:1F"}},
        {"repeat time",
         [](auto& r, auto&) { r.txtRepTime[2] = "120"; },
         {"Repeat time C: 60 s -> 120 s"}},
        {"pulse",
         [](auto& r, auto&) { r.txtPulseTime[5] = "800"; },
         {"Slow pulse ON max: 750 ms -> 800 ms"}},
        {"options",
         [](auto& r, auto&) {
             r.chkOptions[0] = true;
             r.chkOptions[7] = true;
             r.chkOptions[2] = true;
         },
         {"Option 'Suppress Reset Strings': off -> on", "Option 'spare option bit 2': off -> on",
          "Option 'Loop RS232 Output => Input': off -> on"}},
        {"module",
         [](auto&, auto& t) { t[3] = 15; },
         {"Bank 4 module: NOT FITTED -> Type 15: 16-Channel Opto-Isolated DC Voltage Input "
          "Module"}},
        {"channel RIC",
         [](auto& r, auto&) { r.txtRIC[Ch(0, 4, 1)] = "0000042"; },
         {"Bank 1 channel 5 SLOW: RIC 1000004 -> 0000042"}},
        {"channel function",
         [](auto& r, auto&) { r.lstFunc[Ch(0, 0, 0)] = 3; },
         {"Bank 1 channel 1 RESET: function code A -> D"}},
        {"pager type",
         [](auto& r, auto&) { r.lstType[Ch(0, 15, 3)] = 1; },
         {"Bank 1 channel 16 STEADY: pager type Alpha -> Num."}},
        {"paging rate",
         [](auto& r, auto&) { r.lstBaud[Ch(0, 1, 2)] = 2; },
         {"Bank 1 channel 2 FAST: paging rate 512 -> 2400"}},
        {"repeat",
         [](auto& r, auto&) { r.lstRepeat[Ch(1, 2, 3)] = 0; },
         {"Bank 2 channel 3 STEADY: repeat time D -> A"}},
        {"message",
         [](auto& r, auto&) { r.txtMsg[Ch(0, 4, 1)] = "X"; },
         {"Bank 1 channel 5 SLOW: message 'BANK 1 CHAN 5 SLOW' -> 'X'"}},
        {"relay range",
         [](auto& r, auto&) { r.txtRlyRIC[Rly(2, 1, kSlotOpenTo)] = "2000099"; },
         {"Bank 3 relay 2 Open: RIC range 2000018-2000018 -> 2000018-2000099"}},
        {"relay beep",
         [](auto& r, auto&) { r.lstRlyBeep[RelayBeepIndex(RelayIndex(2, 0), 2)] = 4; },
         {"Bank 3 relay 1 Toggle: beep C -> ALL"}},
        {"TMax",
         [](auto& r, auto&) { r.txtRlyRIC[Rly(2, 7, kSlotCloseTMax)] = "45"; },
         {"Bank 3 relay 8 Close: TMax 0 s -> 45 s"}},
        {"repeat filter",
         [](auto& r, auto&) { r.txtRlyRIC[Rly(2, 7, kSlotToggleRepeatFilter)] = "9"; },
         {"Bank 3 relay 8 Toggle: Repeat Filter 0 s -> 9 s"}},
    };
    // Every kind of line is named by a field that can be left out of a comparison.
    const auto names = DifferenceFieldNames();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DiffAfter(c.edit), c.lines);
        for (const auto& line : c.lines)
            EXPECT_NE(std::find(names.begin(), names.end(), DifferenceField(line)), names.end())
                << line;
    }
}

TEST(Diff, LinesAreNamedByTheirField) {
    const std::pair<const char*, const char*> cases[] = {
        {"IP address: 0.0.0.0 -> 0.0.0.20", "ip-address"},
        {"RS485 address or limit: 0 -> 7", "rs485-address-or-limit"},
        {"RS485 port format: N,8,1 -> E,8,2", "rs485-port-format"},
        {"Option 'Loop RS232 Output => Input': off -> on", "option-loop-rs232-output-input"},
        {"Bank 4 module: NOT FITTED -> Type 15: ...", "module"},
        {"Bank 1 channel 5 SLOW: message 'A: B' -> 'X'", "message"},
        {"Bank 3 relay 2 Open: RIC range 2000018-2000018 -> 2000018-2000099", "ric-range"},
        {"Bank 1 channel 5 SLOW: RIC 1000004 -> 0000042", "ric"},
        {"Bank 3 relay 8 Toggle: Repeat Filter 0 s -> 9 s", "repeat-filter"},
        {"Nothing known: a -> b", ""},
    };
    for (const auto& [line, field] : cases) EXPECT_EQ(DifferenceField(line), field) << line;
}

TEST(Diff, WhatCannotDifferInMeaningIsIgnored) {
    struct Case {
        const char* name;
        Edit edit;
    } cases[] = {
        {"dictionary", [](auto& r, auto&) { r.txtDict[0] = "ZZZ"; }},
        {"file name", [](auto& r, auto&) { r.txtFileName = "other.ORV"; }},
        {"editor serial settings",
         [](auto& r, auto&) {
             r.lstComPort = 3;
             r.lstBaudPC = 0;
             r.lstPCFormat = 0;
         }},
        {"measured pulses", [](auto& r, auto&) { r.txtFastOne = "123"; }},
        {"dry-contact SLOW and FAST",
         [](auto& r, auto&) {
             r.txtMsg[Ch(1, 0, 1)] = "HIDDEN";
             r.txtRIC[Ch(1, 0, 2)] = "0000001";
             r.lstFunc[Ch(1, 3, 1)] = 0;
         }},
        {"bank not fitted",
         [](auto& r, auto&) {
             r.txtMsg[Ch(3, 0, 0)] = "HIDDEN";
             r.txtRIC[Ch(3, 5, 0)] = "0000001";
         }},
        {"channel copies of a relay bank",
         [](auto& r, auto&) {
             r.txtRIC[Ch(2, 0, 0)] = "0000001";
             r.lstBaud[Ch(2, 0, 0)] = 2;
         }},
        {"relay fields of an input bank",
         [](auto& r, auto&) { r.txtRlyRIC[Rly(0, 0, kSlotCloseFrom)] = "0000001"; }},
        {"leading zeros",
         [](auto& r, auto&) {
             r.txtRIC[Ch(0, 0, 0)] = "01000000";
             r.txtRepTime[1] = "030";
             r.txtIP[0] = "00";
             r.txtMAC[5] = "0";
             r.txtRlyRIC[Rly(2, 0, kSlotCloseTMax)] = "0000000";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DiffAfter(c.edit), std::vector<std::string>{});
    }
}

TEST(Diff, ChangedModuleTypeComparesOnlyWhatBothTypesUse) {
    // Bank 2 goes from dry contact (13) to opto input (15): the SLOW/FAST states appear, but only
    // RESET and STEADY, used by both, are compared.
    const auto lines = DiffAfter([](auto& r, auto& t) {
        t[1] = 15;
        r.txtMsg[Ch(1, 0, 1)] = "NOW VISIBLE";
        r.txtMsg[Ch(1, 0, 3)] = "CHANGED";
    });
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Bank 2 module: Type 13: 16-Channel Dry Contact Input Module -> Type 15: "
                         "16-Channel Opto-Isolated DC Voltage Input Module",
                         "Bank 2 channel 1 STEADY: message 'BANK 2 CHAN 1 STEADY' -> 'CHANGED'"}));
    // Input to relay: nothing in common but the bank itself.
    const auto relay = DiffAfter([](auto& r, auto& t) {
        t[0] = 14;
        r.txtMsg[Ch(0, 0, 0)] = "GONE";
    });
    ASSERT_EQ(relay.size(), 1u);
    EXPECT_TRUE(relay[0].starts_with("Bank 1 module: "));
}

TEST(Diff, SameConfigurationHasNoDifferences) {
    const Opened a = OpenedDefaults({15, 13, 14, 7});
    EXPECT_TRUE(ConfigDifferences(a.s.rec, a.s.moduleTypes, a.s.rec, a.s.moduleTypes).empty());
}

// The unit as the editor would write it: the version lines and MAC address are the unit's own,
// and a value the unit stores in another form (777 ms as 780) is no difference.
TEST(Diff, UnitComparedWithTheEditor) {
    Opened editor = OpenedDefaults({15, 13, 14, 0});
    editor.s.rec.txtPulseTime[0] = "777";
    Opened unit = editor;
    unit.s.rec.txtVer = {"ORV V2.13", "B7"};
    unit.s.rec.txtMAC[5] = "1F";
    auto compare = [&](const ModuleTypes& unitTypes) {
        BuildImage(unit.s.rec, unit.s.moduleTypes, unit.image);
        return UnitDifferences(editor.s.rec, editor.s.moduleTypes, editor.image, unitTypes,
                               unit.image);
    };
    EXPECT_EQ(compare(unit.s.moduleTypes), std::vector<std::string>{});
    unit.s.rec.txtMsg[Ch(0, 4, 1)] = "SMOKE";
    EXPECT_EQ(
        compare(unit.s.moduleTypes),
        std::vector<std::string>{"Bank 1 channel 5 SLOW: message 'BANK 1 CHAN 5 SLOW' -> 'SMOKE'"});
    EXPECT_EQ(compare({15, 13, 0, 0}).front(),
              "Bank 3 module: Type 14: 8-Channel Relay Output Module -> NOT FITTED");
}

TEST(Diff, BlocksReadBackDifferentAreNamedWithWhatTheyHold) {
    const Opened sent = OpenedDefaults({15, 0, 0, 0});
    Image back = sent.image;
    back[kAddrRepeatTimes + 1] = 12;
    const int unread = WalkPackedPart(sent.image) + 3;
    back[unread] ^= 0xFF;
    back[kMacAddress] ^= 0xFF;  // not written, so not compared
    EXPECT_EQ(BlockDifferences(sent.image, back, sent.s.moduleTypes),
              (std::vector<std::string>{"block 1: Repeat time B: 30 s -> 120 s",
                                        "block " + std::to_string(unread / kBlockSize) +
                                            ": bytes the editor does not read (address " +
                                            std::to_string(unread) + ")"}));
}

}  // namespace
}  // namespace orv
