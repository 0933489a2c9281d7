// What the commissioning sheet says, before any page is drawn.
#include "print/sheet.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "model/defaults.h"
#include "print_test_util.h"

namespace orv::print {
namespace {

std::vector<std::string> Headings(const SheetContent& sheet) {
    std::vector<std::string> h;
    for (const auto& s : sheet.sections) h.push_back(s.heading);
    return h;
}

const SheetSection* Find(const SheetContent& sheet, std::string_view heading) {
    for (const auto& s : sheet.sections)
        if (s.heading == heading) return &s;
    return nullptr;
}

std::string Field(const SheetSection& section, std::string_view label) {
    for (const auto& f : section.fields)
        if (f.label == label) return f.value;
    return "(no field " + std::string(label) + ")";
}

TEST(Sheet, EachFittedBankHasItsTableBetweenTheUnitAndTheSettings) {
    struct Case {
        ModuleTypes types;
        std::vector<std::string> banks;  // the bank headings, in order
        std::vector<std::size_t> rows;   // rows of each bank's table
    } cases[] = {
        {{15, 13, 14, 0},
         {"Bank 1: Type 15: 16-Channel Opto-Isolated DC Voltage Input Module",
          "Bank 2: Type 13: 16-Channel Dry Contact Input Module",
          "Bank 3: Type 14: 8-Channel Relay Output Module"},
         {64, 32, 24}},
        {{0, 0, 0, 0}, {}, {}},
        {{0, 7, 0, 14},
         {"Bank 2: Type  7: Unknown", "Bank 4: Type 14: 8-Channel Relay Output Module"},
         {64, 24}},
        {{20, 0, 0, 13}, {"Bank 4: Type 13: 16-Channel Dry Contact Input Module"}, {32}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.types));
        StartupState s = MakeStartupState();
        s.moduleTypes = c.types;
        const SheetContent sheet = MakeCommissioningSheet(s.rec, s.moduleTypes, "SITE.ORV", "now");
        std::vector<std::string> expected{"Unit"};
        expected.insert(expected.end(), c.banks.begin(), c.banks.end());
        for (const char* h : {"Comms", "LAN", "Pulse Timing", "Options", "Dictionary"})
            expected.push_back(h);
        EXPECT_EQ(Headings(sheet), expected);
        for (std::size_t b = 0; b < c.banks.size(); ++b) {
            const SheetTable& t = Find(sheet, c.banks[b])->table;
            EXPECT_EQ(t.rows.size(), c.rows[b]) << c.banks[b];
            for (const auto& row : t.rows) EXPECT_EQ(row.size(), t.columns.size());
        }
    }
}

TEST(Sheet, UnitSectionNamesFileDateMacFirmwareAndModules) {
    StartupState s = MakeStartupState();
    s.moduleTypes = {15, 13, 14, 0};
    s.rec.txtVer = {"ORV-PRO V2.13", "Caf\xE9"};  // record texts are Latin-1
    s.rec.txtMAC = {"50", "C2", "E8", "0a", "1B", "FF"};
    const SheetContent sheet =
        MakeCommissioningSheet(s.rec, s.moduleTypes, "Pump House.ORV", "2024-05-17 14:03");
    const SheetSection& unit = *Find(sheet, "Unit");
    const std::pair<const char*, std::string> fields[] = {
        {"Configuration file", "Pump House.ORV"},
        {"Printed", "2024-05-17 14:03"},
        {"Firmware version, line 1", "ORV-PRO V2.13"},
        {"Firmware version, line 2", "Caf\xC3\xA9"},
        {"Bank 1", "Type 15: 16-Channel Opto-Isolated DC Voltage Input Module"},
        {"Bank 2", "Type 13: 16-Channel Dry Contact Input Module"},
        {"Bank 3", "Type 14: 8-Channel Relay Output Module"},
        {"Bank 4", "NOT FITTED"},
        {"Repeat times", "A 0 s, B 30 s, C 60 s, D 300 s"},
    };
    for (const auto& [label, value] : fields) EXPECT_EQ(Field(unit, label), value) << label;
    EXPECT_NE(Field(unit, "MAC address").find("1B"), std::string::npos)
        << Field(unit, "MAC address");
    EXPECT_EQ(sheet.fileName, "Pump House.ORV");

    s.rec.txtVer = {"", ""};
    const SheetContent untitled = MakeCommissioningSheet(s.rec, s.moduleTypes, "", "now");
    EXPECT_EQ(untitled.fileName, "(not saved)");
    EXPECT_EQ(Field(*Find(untitled, "Unit"), "Configuration file"), "(not saved)");
    EXPECT_EQ(Field(*Find(untitled, "Unit"), "Firmware version"), "(not recorded)");
}

TEST(Sheet, ChannelRowsAreCaptionedAsTheEditorCaptionsTheirStates) {
    StartupState s = MakeStartupState();
    s.moduleTypes = {15, 13, 0, 0};
    s.rec.txtRIC[ChannelStateIndex(0, 2, 1)] = "0123456";
    s.rec.txtMsg[ChannelStateIndex(0, 2, 1)] = "PUMP 3 SLOW";
    const SheetContent sheet = MakeCommissioningSheet(s.rec, s.moduleTypes, "", "now");
    const SheetTable& inputs = sheet.sections[1].table;
    EXPECT_EQ(inputs.columns, (std::vector<std::string>{"Ch", "State", "RIC", "Func", "Pager",
                                                        "Rate", "Repeat", "Message"}));
    EXPECT_EQ(inputs.columns[static_cast<std::size_t>(inputs.stretch)], "Message");
    // Channel 3, SLOW: the ninth and tenth rows are channel 3's RESET and SLOW.
    EXPECT_EQ(inputs.rows[9], (std::vector<std::string>{"3", "Slow", "0123456", "B", "Alpha", "512",
                                                        "B (30 s)", "PUMP 3 SLOW"}));
    const SheetTable& contacts = sheet.sections[2].table;
    EXPECT_EQ(contacts.rows[0][1], "Normally Closed");
    EXPECT_EQ(contacts.rows[1][1], "Normally Open");
    EXPECT_EQ(contacts.rows[1][7], "BANK 2 CHAN 1 STEADY");
}

TEST(Sheet, RelayRowsHoldRangesBeepsAndTimes) {
    StartupState s = MakeStartupState();
    s.moduleTypes = {0, 14, 0, 0};
    const int relay = RelayIndex(1, 2);
    s.rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(relay, kSlotOpenFrom))] = "0000500";
    s.rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(relay, kSlotOpenTo))] = "0000510";
    s.rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(relay, kSlotCloseTMax))] = "30";
    s.rec.lstRlyBeep[static_cast<std::size_t>(RelayBeepIndex(relay, kActionToggle))] = 4;
    const SheetContent sheet = MakeCommissioningSheet(s.rec, s.moduleTypes, "", "now");
    const SheetTable& t = sheet.sections[1].table;
    EXPECT_EQ(t.columns, (std::vector<std::string>{"Relay", "Action", "First RIC", "Last RIC",
                                                   "Beep", "Time"}));
    EXPECT_EQ(t.rows[6],
              (std::vector<std::string>{"3", "Close", "2000011", "2000011", "A", "TMax 30 s"}));
    EXPECT_EQ(t.rows[7], (std::vector<std::string>{"3", "Open", "0000500", "0000510", "B", ""}));
    EXPECT_EQ(t.rows[8], (std::vector<std::string>{"3", "Toggle", "2000011", "2000011", "ALL",
                                                   "Repeat Filter 0 s"}));
}

// The sheet says what the unit will hold: the build's spacing and time steps, not the keystrokes.
TEST(Sheet, SettingsAreThoseAWriteSends) {
    StartupState s = MakeStartupState();
    s.moduleTypes = {15, 0, 0, 0};
    s.rec.txtMsg[0] = "  PUMP   ROOM ";
    s.rec.txtPulseTime[0] = "125";
    s.rec.optMaster = false;
    s.rec.txtRS485Address = "7";
    s.rec.chkOptions[0] = true;
    s.rec.chkOptions[3] = true;
    s.rec.txtIP = {"192", "168", "0", "100"};
    const SheetContent sheet = MakeCommissioningSheet(s.rec, s.moduleTypes, "", "now");
    EXPECT_EQ(sheet.sections[1].table.rows[0][7], "PUMP ROOM");
    const std::pair<const char*, std::pair<const char*, const char*>> fields[] = {
        {"Pulse Timing", {"Fast pulse ON", "120 to 380 ms"}},
        {"Comms", {"RS485 role", "Slave"}},
        {"Comms", {"RS485 address", "7"}},
        {"Options", {"Suppress Reset Strings", "on"}},
        {"Options", {"Loop RS232 Output => Input", "off"}},
        {"Options", {"Spare option bits set", "3"}},
        {"LAN", {"IP address", "192.168.0.100"}},
    };
    for (const auto& [section, field] : fields)
        EXPECT_EQ(Field(*Find(sheet, section), field.first), field.second) << field.first;
    const SheetSection& dictionary = *Find(sheet, "Dictionary");
    EXPECT_TRUE(Field(dictionary, "Words").ends_with(" of 128")) << Field(dictionary, "Words");
    EXPECT_TRUE(Field(dictionary, "Configuration size").starts_with("last used address "));
    // The record itself is left as it was.
    EXPECT_EQ(s.rec.txtMsg[0], "  PUMP   ROOM ");
}

TEST(Sheet, DictionaryWordsAreCountedAndAnOversizeConfigurationIsSaid) {
    const StartupState full = test::FullSheetState();
    const SheetContent sheet = MakeCommissioningSheet(full.rec, full.moduleTypes, "", "now");
    const std::string words = Field(*Find(sheet, "Dictionary"), "Words");
    const int count = std::stoi(words);
    EXPECT_GT(count, 0);
    EXPECT_LE(count, 128);

    StartupState big = full;
    for (int i = 0; i < kChannelStates; ++i) {
        std::string m;
        for (int w = 0; m.size() < 60; ++w) m += "W" + std::to_string(i * 100 + w) + " ";
        big.rec.txtMsg[static_cast<std::size_t>(i)] = m;
    }
    const SheetContent over = MakeCommissioningSheet(big.rec, big.moduleTypes, "", "now");
    EXPECT_TRUE(Field(*Find(over, "Dictionary"), "Configuration size")
                    .ends_with(", does not fit the unit"));
}

TEST(Sheet, RecordTextsArePrintable) {
    struct Case {
        std::string record, printed;
    } cases[] = {
        {"PUMP ROOM", "PUMP ROOM"},     {"TAB\tX", "TAB\xE2\x90\x89X"},  // U+2409
        {"DEL\x7F", "DEL\xE2\x90\xA1"},                                  // U+2421
        {"\x01", "\xE2\x90\x81"},       {"Caf\xE9", "Caf\xC3\xA9"},     {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PrintableText(c.record), c.printed) << c.record;
}

}  // namespace
}  // namespace orv::print
