#include "validate/validate.h"

#include <gtest/gtest.h>

#include <string>

#include "base/numbers.h"

namespace orv {
namespace {

TEST(KeyFilters, DigitHexAndMessage) {
    struct Case {
        FieldGuard guard;
        int key;
        std::size_t length;
        int expected;
    } cases[] = {
        {FieldGuard::kRIC, '0', 0, '0'},
        {FieldGuard::kRIC, '9', 0, '9'},
        {FieldGuard::kRIC, 'a', 0, 0},
        {FieldGuard::kRIC, ' ', 0, 0},
        {FieldGuard::kRIC, 13, 0, 0},  // Enter
        {FieldGuard::kRIC, 22, 0, 0},  // Ctrl+V
        {FieldGuard::kRIC, kKeyBackspace, 0, kKeyBackspace},
        {FieldGuard::kRS485Address, '-', 0, 0},
        {FieldGuard::kRS485Address, '7', 0, '7'},
        {FieldGuard::kIPComponent, '.', 0, 0},
        {FieldGuard::kPulseTime, '+', 0, 0},
        {FieldGuard::kRepeatTime, '5', 0, '5'},
        {FieldGuard::kMACComponent, 'a', 0, 'A'},
        {FieldGuard::kMACComponent, 'f', 0, 'F'},
        {FieldGuard::kMACComponent, 'F', 0, 'F'},
        {FieldGuard::kMACComponent, 'g', 0, 0},
        {FieldGuard::kMACComponent, 'G', 0, 0},
        {FieldGuard::kMACComponent, '0', 0, '0'},
        {FieldGuard::kMACComponent, ':', 0, 0},
        {FieldGuard::kMACComponent, kKeyBackspace, 0, kKeyBackspace},
        {FieldGuard::kMessage, 'x', 0, 'x'},
        {FieldGuard::kMessage, 'x', 68, 'x'},  // the 69th character still goes in
        {FieldGuard::kMessage, 'x', 69, 0},
        {FieldGuard::kMessage, ' ', 69, 0},
        {FieldGuard::kMessage, kKeyBackspace, 69, kKeyBackspace},
        {FieldGuard::kMessage, kKeyBackspace, 200, kKeyBackspace},
        {FieldGuard::kMessage, ' ', 0, ' '},
        {FieldGuard::kMessage, '~', 0, '~'},
        {FieldGuard::kMessage, 0x7F, 0, 0},  // DEL
        {FieldGuard::kMessage, 0xE9, 0, 0},  // Latin-1 e acute: no room for it in the image
        {FieldGuard::kMessage, 9, 0, 0},     // Tab
        {FieldGuard::kMessage, 13, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "guard " << static_cast<int>(c.guard) << " key " << c.key
                                        << " length " << c.length);
        EXPECT_EQ(FilterKey(c.guard, c.key, c.length), c.expected);
    }
}

TEST(Numbers, DecimalAndHexReading) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> dec;
        std::optional<std::int32_t> hex;
    } cases[] = {
        {"0", 0, 0},
        {"007", 7, 7},
        {"255", 255, 0x255},
        {"FF", std::nullopt, 255},
        {"0a", std::nullopt, 10},
        {"-5", -5, std::nullopt},
        {" 12 ", 12, 0x12},
        {"", std::nullopt, std::nullopt},
        {"-", std::nullopt, std::nullopt},
        {"1.5", std::nullopt, std::nullopt},
        {"1e3", std::nullopt, 0x1e3},
        {"2147483647", 2147483647, std::nullopt},
        {"2147483648", std::nullopt, std::nullopt},
        {"-2147483648", std::numeric_limits<std::int32_t>::min(), std::nullopt},
        {"00000000000000000042", 42, 0x42},  // leading zeros do not count towards the size
        {"99999999999999999999", std::nullopt, std::nullopt},
        {"7FFFFFFF", std::nullopt, 0x7FFFFFFF},
        {"80000000", 80000000, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseWholeNumber(c.text), c.dec);
        EXPECT_EQ(ParseHexNumber(c.text), c.hex);
    }
}

const std::string kIPMsg(kIPComponentMessage);
const std::string kMACMsg(kMACComponentMessage);
const std::string kRICMsg(kRICMessage);
const std::string kPulseMsg(kPulseTimeMessage);
const std::string kRepMsg(kRepeatTimeMessage);

struct LeaveCase {
    FieldGuard guard;
    const char* text;
    const char* newText;
    bool keepFocus;
    std::string message;           // empty: no message
    std::string roundedFrom = {};  // empty: the value is a whole step (or refused)
};

void RunLeaveCases(const std::vector<LeaveCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "guard " << static_cast<int>(c.guard) << " text '" << c.text << "'");
        const LeaveResult r = LeaveCheck(c.guard, c.text);
        EXPECT_EQ(r.newText, c.newText);
        EXPECT_EQ(r.keepFocus, c.keepFocus);
        if (c.message.empty())
            EXPECT_FALSE(r.message.has_value()) << *r.message;
        else
            EXPECT_EQ(r.message.value_or("<none>"), c.message);
        EXPECT_EQ(r.roundedFrom.value_or(""), c.roundedFrom);
    }
}

TEST(LeaveChecks, IPComponent) {
    RunLeaveCases({
        {FieldGuard::kIPComponent, "", "0", false, ""},
        {FieldGuard::kIPComponent, "0", "0", false, ""},
        {FieldGuard::kIPComponent, "255", "255", false, ""},
        {FieldGuard::kIPComponent, "007", "7", false, ""},
        {FieldGuard::kIPComponent, "256", "256", true, "256" + kIPMsg},
        // Reformatted even when refused; the message shows the text as it was.
        {FieldGuard::kIPComponent, "0300", "300", true, "0300" + kIPMsg},
        {FieldGuard::kIPComponent, "-1", "-1", true, "-1" + kIPMsg},
        {FieldGuard::kIPComponent, "abc", "abc", true, "abc" + kIPMsg},
        {FieldGuard::kIPComponent, "99999999999", "99999999999", true, "99999999999" + kIPMsg},
    });
    EXPECT_EQ(CheckIPComponent("256"),
              "256 is not a valid component of an IP address. IP addresses are of the form "
              "a.b.c.d where a-d are in the range 0-255");
    EXPECT_EQ(CheckIPComponent("10"), std::nullopt);
}

TEST(LeaveChecks, MACComponent) {
    RunLeaveCases({
        {FieldGuard::kMACComponent, "", "00", false, ""},
        {FieldGuard::kMACComponent, "A", "0A", false, ""},
        {FieldGuard::kMACComponent, "5", "05", false, ""},
        {FieldGuard::kMACComponent, "ff", "FF", false, ""},
        {FieldGuard::kMACComponent, "0a", "0A", false, ""},
        {FieldGuard::kMACComponent, "000FF", "FF", false, ""},
        // Refused values are left as they stand.
        {FieldGuard::kMACComponent, "100", "100", true, "100" + kMACMsg},
        {FieldGuard::kMACComponent, "G1", "G1", true, "G1" + kMACMsg},
        {FieldGuard::kMACComponent, "a", "0A", false, ""},
    });
    EXPECT_EQ(CheckMACComponent("1FF"),
              "1FF is not a valid component of a MAC address. MAC addresses are of the form "
              "a:b:c:d:e:f where a-f are in the range 00-FF in hexadecimal");
}

TEST(LeaveChecks, RIC) {
    RunLeaveCases({
        {FieldGuard::kRIC, "", "0000000", false, ""},
        {FieldGuard::kRIC, "0", "0000000", false, ""},
        {FieldGuard::kRIC, "5", "0000005", false, ""},
        {FieldGuard::kRIC, "123", "0000123", false, ""},
        {FieldGuard::kRIC, "2007663", "2007663", false, ""},
        {FieldGuard::kRIC, "2007664", "2007664", true, "2007664" + kRICMsg},
        {FieldGuard::kRIC, "2007671", "2007671", true, "2007671" + kRICMsg},
        {FieldGuard::kRIC, "2007672", "2007672", false, ""},
        {FieldGuard::kRIC, "2045055", "2045055", false, ""},
        {FieldGuard::kRIC, "2045056", "2045056", true, "2045056" + kRICMsg},
        {FieldGuard::kRIC, "2045063", "2045063", true, "2045063" + kRICMsg},
        {FieldGuard::kRIC, "2045064", "2045064", false, ""},
        {FieldGuard::kRIC, "2097151", "2097151", false, ""},
        {FieldGuard::kRIC, "2097152", "2097152", true, "2097152" + kRICMsg},
        {FieldGuard::kRIC, "12345678", "12345678", true, "12345678" + kRICMsg},
        {FieldGuard::kRIC, "00001234", "0001234", false, ""},
        {FieldGuard::kRIC, "x1", "x1", true, "x1" + kRICMsg},
    });
    EXPECT_EQ(CheckRIC("2097152"),
              "2097152 may not be a valid RIC. Valid RICs are in the range 0-2097151, and exclude "
              "the ranges 2007664-2007671 and 2045056-2045063.");
}

TEST(LeaveChecks, PulseAndRepeatTimes) {
    RunLeaveCases({
        {FieldGuard::kPulseTime, "", "0", false, ""},
        {FieldGuard::kPulseTime, "040", "40", false, ""},
        {FieldGuard::kPulseTime, "0120", "120", false, ""},
        {FieldGuard::kPulseTime, "2500", "2500", false, ""},
        {FieldGuard::kPulseTime, "2501", "2501", true,
         "2501 may not be a valid time. Valid times are in the range 0-2500."},
        {FieldGuard::kPulseTime, "02501", "02501", true, "02501" + kPulseMsg},
        {FieldGuard::kPulseTime, "abc", "abc", true, "abc" + kPulseMsg},
        {FieldGuard::kRepeatTime, "", "0", false, ""},
        {FieldGuard::kRepeatTime, "030", "030", false, ""},  // a whole step keeps its text
        // Between two steps: the step the unit keeps, half to even.
        {FieldGuard::kRepeatTime, "035", "40", false, "", "35"},
        {FieldGuard::kPulseTime, "0125", "120", false, "", "125"},
        {FieldGuard::kPulseTime, "2495", "2500", false, "", "2495"},
        {FieldGuard::kRepeatTime, "2550", "2550", false, ""},
        {FieldGuard::kRepeatTime, "2551", "2551", true,
         "2551 is not a valid repeat time. Valid times are in the range 0-2550."},
        {FieldGuard::kRepeatTime, "-10", "-10", true, "-10" + kRepMsg},
        {FieldGuard::kRepeatTime, "3000000000", "3000000000", true, "3000000000" + kRepMsg},
    });
}

TEST(LeaveChecks, UnguardedFieldsPassUnchanged) {
    RunLeaveCases({
        {FieldGuard::kRS485Address, "0012345", "0012345", false, ""},
        {FieldGuard::kRS485Address, "", "", false, ""},
        {FieldGuard::kMessage, "  FIRE  ", "  FIRE  ", false, ""},
    });
}

}  // namespace
}  // namespace orv
