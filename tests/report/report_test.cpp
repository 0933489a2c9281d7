#include "report/report.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "model/lists.h"
#include "report_test_util.h"

namespace orv {
namespace {

// The lines of one bank's section: its heading and the lines up to the next blank line.
std::vector<std::string> BankSection(const std::string& report, int bankNumber) {
    const auto lines = Lines(report);
    const std::string head = "Bank " + std::to_string(bankNumber) + ": ";
    auto it = std::find_if(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.starts_with(head); });
    std::vector<std::string> section;
    for (; it != lines.end() && !it->empty(); ++it) section.push_back(*it);
    return section;
}

bool Has(const std::string& line, const std::string& part) {
    return line.find(part) != std::string::npos;
}

int CountWith(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return Has(l, part); }));
}

TEST(Report, EachModuleTypeShowsWhatTheEditorShows) {
    struct Case {
        int type;
        const char* heading;
        int rows;  // lines after heading and column titles
        std::vector<const char*> captions;
        std::vector<const char*> absent;
    } cases[] = {
        {15,
         "Bank 2: Type 15: 16-Channel Opto-Isolated DC Voltage Input Module",
         64,
         {"Reset - Trigger when voltage absent", "Slow - Trigger when slow pulse applied",
          "Fast - Trigger when fast pulse applied", "Steady - Trigger when steady voltage applied"},
         {"Normally", "TMax"}},
        {7,
         "Bank 2: Type  7: Unknown",
         64,
         {"Reset - Trigger when voltage absent", "Slow - Trigger when slow pulse applied",
          "Fast - Trigger when fast pulse applied", "Steady - Trigger when steady voltage applied"},
         {"Normally", "TMax"}},
        {13,
         "Bank 2: Type 13: 16-Channel Dry Contact Input Module",
         32,
         {"Normally Closed - Trigger on open", "Normally Open - Trigger on close"},
         {"Slow -", "Fast -", "Reset -", "Steady -", "TMax"}},
        {14,
         "Bank 2: Type 14: 8-Channel Relay Output Module",
         24,
         {"Close", "Open", "Toggle", "TMax", "Repeat Filter"},
         {"Trigger", "BANK"}},
        {0, "Bank 2: NOT FITTED", -1, {}, {}},
        {16, "Bank 2: unknown module type 16 (shown as NOT FITTED)", -1, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        // Files hold only 0..15; a code beyond is given to the report directly.
        Opened o = OpenedDefaults({15, c.type <= 15 ? c.type : 0, 0, 0});
        o.s.moduleTypes[1] = c.type;
        const std::string report = ConfigReport(o.s.rec, o.s.moduleTypes, "x.ORV");
        const auto section = BankSection(report, 2);
        ASSERT_FALSE(section.empty()) << report;
        EXPECT_EQ(section[0], c.heading);
        if (c.rows < 0) {
            EXPECT_EQ(section.size(), 1u) << "a bank without channels takes one line";
            continue;
        }
        ASSERT_EQ(section.size(), static_cast<std::size_t>(c.rows) + 2);
        for (const char* caption : c.captions) EXPECT_GT(CountWith(section, caption), 0) << caption;
        for (const char* text : c.absent) EXPECT_EQ(CountWith(section, text), 0) << text;
    }
}

TEST(Report, ChannelLineCarriesEveryFieldOfTheState) {
    Opened o = OpenedDefaults({0, 15, 0, 0});
    auto& rec = o.s.rec;
    const auto i = static_cast<std::size_t>(ChannelStateIndex(1, 4, kStateSlow));
    rec.txtRIC[i] = "0001234";
    rec.lstFunc[i] = 3;
    rec.lstType[i] = 1;
    rec.lstBaud[i] = 2;
    rec.lstRepeat[i] = 3;
    rec.txtRepTime[3] = "2550";
    rec.txtMsg[i] = "FIRE ALARM";
    const auto section = BankSection(ConfigReport(rec, o.s.moduleTypes), 2);
    const auto it = std::find_if(section.begin(), section.end(), [](const std::string& l) {
        return l.starts_with("   5  Slow - Trigger when slow pulse applied");
    });
    ASSERT_NE(it, section.end());
    EXPECT_EQ(*it,
              "   5  Slow - Trigger when slow pulse applied        0001234  D     Num.   2400  "
              "D (2550 s)  \"FIRE ALARM\"");
}

TEST(Report, RelayLinesShowRangesBeepsAndTimes) {
    Opened o = OpenedDefaults({0, 0, 14, 0});
    auto& rec = o.s.rec;
    const int r = RelayIndex(2, 3);
    rec.txtRlyRIC[RelayRicIndex(r, kSlotCloseFrom)] = "0000100";
    rec.txtRlyRIC[RelayRicIndex(r, kSlotCloseTo)] = "0000199";
    rec.txtRlyRIC[RelayRicIndex(r, kSlotCloseTMax)] = "30";
    rec.txtRlyRIC[RelayRicIndex(r, kSlotToggleRepeatFilter)] = "5";
    rec.lstRlyBeep[RelayBeepIndex(r, kActionClose)] = kRelayBeepAll;
    const auto section = BankSection(ConfigReport(rec, o.s.moduleTypes), 3);
    std::vector<std::string> relay4;
    for (const auto& l : section)
        if (l.starts_with("      4  ")) relay4.push_back(l);
    ASSERT_EQ(relay4.size(), 3u);
    EXPECT_EQ(relay4[0], "      4  Close   0000100-0000199  ALL   TMax 30 s");
    EXPECT_EQ(relay4[1], "      4  Open    2000020-2000020  B");
    EXPECT_EQ(relay4[2], "      4  Toggle  2000020-2000020  C     Repeat Filter 5 s");
}

TEST(Report, GeneralSettings) {
    Opened o = OpenedDefaults({0, 0, 0, 0});
    auto& rec = o.s.rec;
    rec.txtVer = {"ORV PRO V2.1", "BUILD 7"};
    rec.lstPortBaudrate = {6, 9};
    rec.lstPortFormat = {14, 18};  // E,7,1 and N,8,1
    rec.optMaster = false;
    rec.txtRS485Address = "5";
    rec.txtIP = {"192", "168", "0", "10"};
    rec.txtMAC = {"50", "46", "4A", "00", "01", "0A"};
    rec.chkOptions[0] = true;
    rec.chkOptions[3] = true;
    const auto lines = Lines(ConfigReport(rec, o.s.moduleTypes, "site.ORV"));
    const std::vector<std::string> expected = {
        "ORV Pro configuration site.ORV",
        "Firmware version      ORV PRO V2.1 / BUILD 7",
        "Size                  last used address 1431 of 3839 (37.28%)",
        "",
        "General",
        "  RS232 port          19200 baud, E,7,1",
        "  RS485 port          115200 baud, N,8,1",
        "  RS485 role          Slave, address 5",
        "  IP address          192.168.0.10",
        "  MAC address         50:46:4A:00:01:0A",
        "  Repeat times        A 0 s, B 30 s, C 60 s, D 300 s",
        "  Fast pulse ON       120 to 380 ms",
        "  Fast pulse OFF      120 to 380 ms",
        "  Slow pulse ON       380 to 750 ms",
        "  Slow pulse OFF      380 to 750 ms",
        "  Options             Suppress Reset Strings on, Loop RS232 Output => Input off, spare "
        "bits 3",
    };
    ASSERT_GE(lines.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(lines[k], expected[k]) << k;

    rec.optMaster = true;
    rec.txtVer = {"", ""};
    const std::string master = ConfigReport(rec, o.s.moduleTypes);
    EXPECT_TRUE(Has(master, "  RS485 role          Master, address limit 5\n"));
    EXPECT_TRUE(Has(master, "Firmware version      (not recorded)\n"));
    EXPECT_TRUE(master.starts_with("ORV Pro configuration\n"));
}

TEST(Report, SizeLineSaysWhenTheConfigurationDoesNotFit) {
    Opened o = OpenedDefaults({15, 15, 15, 15});
    // Long messages without repeated words defeat the dictionary.
    for (int i = 0; i < kChannelStates; ++i)
        o.s.rec.txtMsg[static_cast<std::size_t>(i)] =
            "M" + std::to_string(i) + std::string(60, static_cast<char>('a' + i % 26));
    const std::string report = ConfigReport(o.s.rec, o.s.moduleTypes);
    EXPECT_TRUE(Has(report, "does not fit the unit")) << report.substr(0, 300);
}

TEST(Report, RecordTextsAppearAsUtf8) {
    Opened o = OpenedDefaults({15, 0, 0, 0});
    o.s.rec.txtMsg[0] = "CAF\xC9";  // Latin-1 E acute, as an image can hold it
    const std::string report = ConfigReport(o.s.rec, o.s.moduleTypes);
    EXPECT_TRUE(Has(report, "\"CAF\xC3\x89\""));
}

}  // namespace
}  // namespace orv
