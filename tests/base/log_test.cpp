#include "base/log.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

std::tm TimeOfDay(int h, int m, int s) {
    std::tm t{};
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    return t;
}

TEST(ActivityLog, LineComposition) {
    struct Case {
        const char* text;
        bool withTime;
        std::tm time;
        const char* expected;
    } cases[] = {
        {"x", false, TimeOfDay(14, 3, 27), " x"},
        {"", true, TimeOfDay(14, 3, 27), "14:03:27 "},
        {"+++ Program started", true, TimeOfDay(14, 3, 27), "14:03:27 +++ Program started"},
        {"++ Get EEprom", true, TimeOfDay(0, 0, 0), "00:00:00 ++ Get EEprom"},
        {"++ Put EEprom", true, TimeOfDay(23, 59, 59), "23:59:59 ++ Put EEprom"},
        {"  spaced  ", false, TimeOfDay(1, 2, 3), "   spaced  "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatLogLine(c.text, c.withTime, c.time), c.expected);
    }
}

TEST(ActivityLog, WritesOneLineToStandardError) {
    testing::internal::CaptureStderr();
    LogLine("x", false);
    LogLine("+++ Program finished", true);
    const std::string out = testing::internal::GetCapturedStderr();
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out.substr(0, 3), " x\n");
    // "HH:MM:SS +++ Program finished\n"
    const std::string second = out.substr(3);
    ASSERT_EQ(second.size(), 8 + 1 + 20 + 1) << second;
    EXPECT_EQ(second[2], ':');
    EXPECT_EQ(second[5], ':');
    EXPECT_EQ(second.substr(8), " +++ Program finished\n");
}

}  // namespace
}  // namespace orv
