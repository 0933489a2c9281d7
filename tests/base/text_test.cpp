#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "base/hex.h"
#include "base/log.h"
#include "base/numbers.h"
#include "base/quote.h"

namespace orv {
namespace {

TEST(Digits, RadixAndLimitWithoutOverflow) {
    struct Case {
        const char* text;
        int radix;
        std::uint64_t max;
        std::optional<std::uint64_t> expected;
    } cases[] = {
        {"255", 10, 255, 255},
        {"256", 10, 255, std::nullopt},
        {"00000000000000000000000255", 10, 255, 255},  // leading zeros never overflow
        {"fF", 16, 255, 255},
        {"100", 16, 255, std::nullopt},
        {"A", 10, UINT64_MAX, std::nullopt},  // a hexadecimal digit is no decimal one
        {"18446744073709551615", 10, UINT64_MAX, UINT64_MAX},
        {"18446744073709551616", 10, UINT64_MAX, std::nullopt},
        {"FFFFFFFFFFFFFFFF0", 16, UINT64_MAX, std::nullopt},
        {"", 10, UINT64_MAX, std::nullopt},
        {" 1", 10, UINT64_MAX, std::nullopt},
        {"+1", 10, UINT64_MAX, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDigits(c.text, c.radix, c.max), c.expected);
    }
}

TEST(Quoting, MessagesShowBytesReportsShowUtf8) {
    EXPECT_EQ(QuoteForMessage("A b~"), "\"A b~\"");
    EXPECT_EQ(QuoteForMessage(std::string("\x1F\x7F\xE9\0", 4)), "\"<0x1F><0x7F><0xE9><0x00>\"");
    EXPECT_EQ(QuoteForReport("caf\xE9"), "'caf\xC3\xA9'");
}

TEST(Quoting, TerminalsShowControlsAndC1AsCodes) {
    const std::pair<std::string, std::string> cases[] = {
        {"ORV\x1B]0;x\x07 V2", "ORV\\x1B]0;x\\x07 V2"},  // an escape sequence to a title
        {"a\tb\x7F\nc", "a\\x09b\\x7F\nc"},              // line feeds stay, DEL does not
        {"\xC2\x80\xC2\x9F\xC2\xA0"
         "caf\xC3\xA9\xE2\x80\x93",  // C1 codes, NBSP, é, en dash
         "\\x80\\x9F\xC2\xA0"
         "caf\xC3\xA9\xE2\x80\x93"},
        {"\x9B"
         "1m \xC3 \xC0\xAF \xED\xA0\x80",
         "\\x9B"
         "1m \\xC3 \\xC0\\xAF \\xED\\xA0\\x80"},  // no UTF-8
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(TerminalText(in), out) << in;
}

TEST(Hex, BytesWithAndWithoutSeparator) {
    const std::array<std::uint8_t, 3> bytes{0x13, 0xA0, 0x0F};
    EXPECT_EQ(HexBytes(bytes), "13 A0 0F");
    EXPECT_EQ(HexBytes(bytes, ""), "13A00F");
    EXPECT_EQ(HexBytes(std::span<const std::uint8_t>()), "");
}

TEST(ActivityLog, SinkRedirectsAndSilencesTheLog) {
    std::string lines;
    const LogSink previous = SetLogSink([&](std::string_view line) {
        lines.append(line);
        lines += '|';
    });
    testing::internal::CaptureStderr();
    LogLine("++ Put EEprom", false);
    SetLogSink({});
    LogLine("not kept", false);
    SetLogSink(previous);
    LogLine("x", false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), " x\n");
    EXPECT_EQ(lines, " ++ Put EEprom|");
}

}  // namespace
}  // namespace orv
