#include "model/settings_checks.h"

#include <gtest/gtest.h>

#include "model/defaults.h"

namespace orv {
namespace {

// Each row changes the default record and lists what must be named, in order.
TEST(SettingsChecks, ImpossibleWindowsAndRangesAreNamed) {
    struct Row {
        const char* what;
        ModuleTypes types;
        std::vector<std::pair<int, const char*>> pulse;  // txtPulseTime(p) = text
        std::vector<std::pair<int, const char*>> relay;  // txtRlyRIC(k) = text
        std::vector<std::string> named;
    };
    const Row rows[] = {
        {"defaults", {14, 14, 14, 14}, {}, {}, {}},
        {"equal ends are a window of one value", {0, 0, 0, 0}, {{0, "380"}}, {}, {}},
        {"fast ON reversed",
         {0, 0, 0, 0},
         {{0, "500"}},
         {},
         {"Fast ON Min 500 ms is above Fast ON Max 380 ms: no pulse can fall in that window."}},
        {"slow OFF reversed, leading zeros read as numbers",
         {0, 0, 0, 0},
         {{6, "0800"}, {7, "0750"}},
         {},
         {"Slow OFF Min 800 ms is above Slow OFF Max 750 ms: no pulse can fall in that window."}},
        {"texts that are no numbers are the builder's to report", {0, 0, 0, 0}, {{0, "x"}}, {}, {}},
        {"relay range reversed on a relay bank",
         {15, 13, 14, 0},
         {},
         {{RelayRicIndex(RelayIndex(2, 1), kSlotCloseFrom), "2000020"},
          {RelayRicIndex(RelayIndex(2, 1), kSlotCloseTo), "2000010"}},
         {"Bank 3 relay 2 Close: first RIC 2000020 is above last RIC 2000010: the range holds "
          "no RIC."}},
        {"the same range on a bank without relays is not in use",
         {15, 13, 15, 0},
         {},
         {{RelayRicIndex(RelayIndex(2, 1), kSlotCloseFrom), "2000020"},
          {RelayRicIndex(RelayIndex(2, 1), kSlotCloseTo), "2000010"}},
         {}},
        {"TMax and Repeat Filter are no ranges",
         {14, 0, 0, 0},
         {},
         {{kSlotCloseTMax, "9999999"}, {kSlotToggleRepeatFilter, "9999999"}},
         {}},
        {"pulse windows come before relay ranges, in order",
         {0, 0, 0, 14},
         {{3, "100"}, {0, "400"}},
         {{RelayRicIndex(RelayIndex(3, 7), kSlotToggleFrom), "0000009"},
          {RelayRicIndex(RelayIndex(3, 7), kSlotToggleTo), "8"}},
         {"Fast ON Min 400 ms is above Fast ON Max 380 ms: no pulse can fall in that window.",
          "Fast OFF Min 120 ms is above Fast OFF Max 100 ms: no pulse can fall in that window.",
          "Bank 4 relay 8 Toggle: first RIC 0000009 is above last RIC 8: the range holds no "
          "RIC."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        StartupState s = MakeStartupState();
        for (const auto& [p, text] : row.pulse)
            s.rec.txtPulseTime[static_cast<std::size_t>(p)] = text;
        for (const auto& [k, text] : row.relay) s.rec.txtRlyRIC[static_cast<std::size_t>(k)] = text;
        EXPECT_EQ(ImpossibleSettings(s.rec, row.types), row.named);
    }
}

TEST(SettingsChecks, FieldsKnowTheirWindowAndRange) {
    EXPECT_EQ(PulseWindowOf(0), 0);
    EXPECT_EQ(PulseWindowOf(7), 3);
    struct Row {
        int k;
        std::optional<std::pair<int, int>> range;  // relay, action
    };
    const Row rows[] = {
        {0, std::pair{0, kActionClose}},
        {4, std::pair{0, kActionClose}},
        {5, std::pair{0, kActionOpen}},
        {2, std::pair{0, kActionToggle}},
        {3, std::nullopt},
        {7, std::nullopt},
        {254, std::pair{31, kActionToggle}},
        {256, std::nullopt},
        {-1, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.k);
        const auto r = RelayRangeOf(row.k);
        ASSERT_EQ(r.has_value(), row.range.has_value());
        if (r) {
            EXPECT_EQ(std::pair(r->relay, r->action), *row.range);
        }
    }
}

}  // namespace
}  // namespace orv
