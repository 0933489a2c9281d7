// The builder with values it cannot store as they are: a configuration too large for the unit,
// numbers that are empty, malformed or out of range, lists without a selection and message
// characters the unit cannot hold.
#include <gtest/gtest.h>

#include <functional>

#include "image_test_util.h"

namespace orv {
namespace {

using test::Pattern;
using test::RecordAddress;
using test::StartWith;
using test::WordAt;

bool AnyWarningContains(const std::vector<std::string>& warnings, const std::string& part) {
    for (const auto& w : warnings)
        if (w.find(part) != std::string::npos) return true;
    return false;
}

// 256 one-word messages, all different: nothing for the dictionary to share.
void FillWithDistinctMessages(ConfigRecord& rec, int length) {
    for (int i = 0; i < kChannelStates; ++i) {
        std::string msg = "M" + std::to_string(1000 + i).substr(1);
        msg.resize(static_cast<std::size_t>(length), 'x');
        rec.txtMsg[i] = msg;
    }
}

TEST(BuilderLimits, TooLargeLeavesTheImageUntouchedButStillNormalises) {
    auto s = StartWith({15, 15, 15, 15});
    FillWithDistinctMessages(s.rec, 40);
    s.rec.txtDict[0] = "OLD";
    Image img = Pattern();
    const Image before = img;

    BuildResult build;
    const SizeReport report = ReportImageSize(s.rec, s.moduleTypes, img, &build);
    // 24 + 128 empty entries + 256 records of 4 + 40 + space + terminator.
    const int expectedLast = 24 + 128 + 256 * (4 + 40 + 2) - 1;
    EXPECT_FALSE(build.fits);
    EXPECT_EQ(build.lastAddress, expectedLast);
    EXPECT_EQ(build.overBy(), expectedLast - 3839);
    EXPECT_EQ(img, before);
    EXPECT_EQ(report.lastAddress, expectedLast);
    EXPECT_FALSE(report.fits);
    EXPECT_EQ(report.overBy, expectedLast - 3839);
    EXPECT_EQ(report.percentText, PercentText(expectedLast));
    EXPECT_EQ(s.rec.txtDict[0], "");  // the dictionary was still chosen afresh

    const std::string msg = TooLargeMessage(build);
    EXPECT_NE(msg.find(std::to_string(expectedLast - 3839) + " bytes too large"), std::string::npos)
        << msg;
    EXPECT_NE(msg.find(std::to_string(expectedLast)), std::string::npos) << msg;
}

TEST(BuilderLimits, EndingExactlyAt3839FitsAndOneMoreByteDoesNot) {
    // Fill bank 1 with distinct messages so that the packed part ends exactly at 3839.
    auto s = StartWith({15, 15, 15, 15});
    for (auto& m : s.rec.txtMsg) m = "x";  // single characters: no dictionary words
    // Base: 24 + 128 + 256 * (4 + 1 + 1 + 1) - 1 = 1943; 1896 more bytes to reach 3839.
    int extra = 3839 - 1943;
    for (int i = 0; extra > 0; ++i) {
        const int add = std::min(extra, 40);
        std::string msg = "x";
        for (int n = 0; n < add; ++n) msg += static_cast<char>('A' + (n + i) % 26);
        // Keep every word distinct and make sure no later word equals this one.
        msg[1] = static_cast<char>('a' + i % 26);
        msg[2] = static_cast<char>('a' + i / 26);
        s.rec.txtMsg[i] = msg;
        extra -= add;
    }
    Image img{};
    BuildResult fits = BuildImage(s.rec, s.moduleTypes, img);
    ASSERT_TRUE(fits.fits) << fits.lastAddress;
    EXPECT_EQ(fits.lastAddress, 3839);
    EXPECT_EQ(WalkPackedPart(img), 3839);

    s.rec.txtMsg[255] += "Q";
    Image untouched = Pattern(1);
    const Image before = untouched;
    BuildResult over = BuildImage(s.rec, s.moduleTypes, untouched);
    EXPECT_FALSE(over.fits);
    EXPECT_EQ(over.lastAddress, 3840);
    EXPECT_EQ(over.overBy(), 1);
    EXPECT_EQ(untouched, before);
}

struct FieldCase {
    const char* name;
    std::function<void(ConfigRecord&)> edit;
    int address;          // header byte to check, -1 for the RIC of record 0, -2 nothing
    std::uint32_t value;  // stored value
    const char* warning;  // a part of the warning sentence
};

TEST(BuilderFields, OutOfRangeAndMalformedValuesAreClampedAndReported) {
    const std::vector<FieldCase> cases{
        {"pulse above 2550", [](ConfigRecord& r) { r.txtPulseTime[7] = "2600"; }, 7, 255,
         "Slow pulse OFF maximum time \"2600\" is above 2550 ms; stored as 2550 ms."},
        {"pulse 2556", [](ConfigRecord& r) { r.txtPulseTime[0] = "2556"; }, 0, 255,
         "above 2550 ms"},
        {"pulse empty", [](ConfigRecord& r) { r.txtPulseTime[1] = ""; }, 1, 0,
         "is empty; stored as 0 ms"},
        {"pulse text", [](ConfigRecord& r) { r.txtPulseTime[2] = "fast"; }, 2, 0,
         "is not a number"},
        {"pulse negative", [](ConfigRecord& r) { r.txtPulseTime[3] = "-20"; }, 3, 0,
         "is below 0 ms"},
        {"pulse with trailing text", [](ConfigRecord& r) { r.txtPulseTime[4] = "120ms"; }, 4, 12,
         "read as 120"},
        {"repeat above 2550", [](ConfigRecord& r) { r.txtRepTime[1] = "9999"; }, 17, 255,
         "Repeat time B \"9999\" is above 2550 s; stored as 2550 s."},
        {"IP above 255", [](ConfigRecord& r) { r.txtIP[2] = "300"; }, 14, 255,
         "IP address part 3 \"300\" is above 255"},
        {"IP empty", [](ConfigRecord& r) { r.txtIP[0] = ""; }, 12, 0, "IP address part 1 is empty"},
        {"IP fraction rounds half to even", [](ConfigRecord& r) { r.txtIP[1] = "2.5"; }, 13, 2,
         "not a whole number"},
        {"RS485 above 127 keeps its low seven bits",
         [](ConfigRecord& r) { r.txtRS485Address = "200"; }, 21, 0x80 | (200 & 0x7F),
         "RS485 address limit 200 is above 127; the unit keeps only its low seven bits, stored as "
         "72."},
        {"RS485 above 255 as slave",
         [](ConfigRecord& r) {
             r.txtRS485Address = "300";
             r.optMaster = false;
         },
         21, 0x7F, "RS485 address \"300\" is above 255"},
        {"RS232 baud without selection", [](ConfigRecord& r) { r.lstPortBaudrate[0] = -1; }, 8, 5,
         "RS232 port baud rate has no selection; stored as \"9600\"."},
        {"RS485 baud outside list", [](ConfigRecord& r) { r.lstPortBaudrate[1] = 10; }, 10, 9,
         "RS485 port baud rate holds position 10"},
        {"format without selection", [](ConfigRecord& r) { r.lstPortFormat[1] = -1; }, 11, 6,
         "RS485 port format has no selection; stored as \"N,8,1\"."},
        {"MAC not hex", [](ConfigRecord& r) { r.txtMAC[5] = "G1"; }, 3845, 0,
         "MAC address part 6 \"G1\" is not a number"},
        {"MAC above FF", [](ConfigRecord& r) { r.txtMAC[4] = "1FF"; }, 3844, 255, "stored as FF"},
        {"RIC above 2097151 keeps low bits", [](ConfigRecord& r) { r.txtRIC[0] = "2097153"; }, -1,
         1, "RIC of bank 1 channel 1 RESET \"2097153\" is above 2097151"},
        {"RIC empty", [](ConfigRecord& r) { r.txtRIC[0] = ""; }, -1, 0,
         "RIC of bank 1 channel 1 RESET is empty"},
        {"RIC negative", [](ConfigRecord& r) { r.txtRIC[0] = "-5"; }, -1, 0, "is below 0"},
        {"RIC huge", [](ConfigRecord& r) { r.txtRIC[0] = std::string(400, '9'); }, -2, 0,
         "above 2097151"},
    };
    for (const auto& c : cases) {
        auto s = StartWith({15, 0, 0, 0});
        c.edit(s.rec);
        Image img{};
        const BuildResult b = BuildImage(s.rec, s.moduleTypes, img);
        ASSERT_TRUE(b.fits) << c.name;
        if (c.address >= 0) {
            EXPECT_EQ(img[c.address], c.value) << c.name;
        } else if (c.address == -1) {
            EXPECT_EQ(WordAt(img, RecordAddress(img, 0)) & 0x1FFFFF, c.value) << c.name;
        }
        EXPECT_EQ(b.warnings.size(), 1u) << c.name;
        EXPECT_TRUE(AnyWarningContains(b.warnings, c.warning))
            << c.name << ": " << (b.warnings.empty() ? "no warning" : b.warnings[0]);
    }
}

TEST(BuilderFields, ChannelListsWithoutSelectionAreStoredAsTheFirstItemAndGrouped) {
    auto s = StartWith({15, 0, 0, 0});
    for (int i = 0; i < 10; ++i) s.rec.lstFunc[i] = kNoSelection;
    s.rec.lstType[3] = 2;
    s.rec.lstBaud[4] = 3;
    s.rec.lstRepeat[5] = -7;
    Image img{};
    const BuildResult b = BuildImage(s.rec, s.moduleTypes, img);
    EXPECT_EQ(b.warnings.size(), 4u);  // one sentence per kind of list
    EXPECT_TRUE(AnyWarningContains(
        b.warnings,
        "Function code has no valid selection for bank 1 channel 1 RESET (no selection)"));
    EXPECT_TRUE(AnyWarningContains(b.warnings, "and 4 more; stored as \"A\"."));
    EXPECT_TRUE(AnyWarningContains(
        b.warnings, "Pager type has no valid selection for bank 1 channel 1 STEADY (position 2)"));
    // Function A, alpha pager, 512, repeat A: nothing spills into the neighbouring bits.
    EXPECT_EQ(WordAt(img, RecordAddress(img, 0)) >> 21, 0x020F4240u >> 21);
    EXPECT_EQ(WordAt(img, RecordAddress(img, 3)) >> 21, (0x020F4240u | 3u << 26) >> 21);
    EXPECT_EQ((WordAt(img, RecordAddress(img, 4)) >> 23) & 3, 0u);
    EXPECT_EQ((WordAt(img, RecordAddress(img, 5)) >> 26) & 3, 0u);
}

TEST(BuilderFields, RelayFieldsAreNamedAsTheTechnicianSeesThem) {
    auto s = StartWith({0, 14, 0, 0});
    s.rec.txtRlyRIC[RelayRicIndex(RelayIndex(1, 2), kSlotToggleRepeatFilter)] = "abc";
    Image img{};
    const BuildResult b = BuildImage(s.rec, s.moduleTypes, img);
    ASSERT_EQ(b.warnings.size(), 1u);
    EXPECT_EQ(b.warnings[0],
              "Bank 2 relay 3 Toggle Repeat Filter \"abc\" is not a number; stored as 0.");
}

TEST(BuilderMessages, CharactersTheUnitCannotStoreBecomeAsciiAndControlsStay) {
    struct Case {
        std::string typed, stored;
        const char* warning;  // nullptr: stored as it is, without a word
    };
    const std::vector<Case> cases{
        {"CAF\xC9 FIRE", "CAFE FIRE", "character of this message: \xC3\x89 became E."},
        {std::string("A\0B", 3), "A?B", "character of this message: 0x00 became ?."},
        {"\xFF\x80", "y?", "characters of this message: \xC3\xBF became y and 0x80 became ?."},
        // The edge between literal bytes and dictionary codes, each on its own.
        {"A\x80", "A?", "character of this message: 0x80 became ?."},
        {"A\x7F", "A\x7F", nullptr},
        {"TAB\tHERE\x7F\x01", "TAB\tHERE\x7F\x01", nullptr},
    };
    for (const auto& c : cases) {
        auto s = StartWith({15, 0, 0, 0});
        s.rec.txtMsg[6] = c.typed;
        Image img{};
        const BuildResult b = BuildImage(s.rec, s.moduleTypes, img);
        EXPECT_EQ(s.rec.txtMsg[6], c.stored);
        if (c.warning) {
            ASSERT_EQ(b.warnings.size(), 1u) << c.stored;
            EXPECT_TRUE(AnyWarningContains(b.warnings, c.warning)) << b.warnings[0];
            EXPECT_TRUE(AnyWarningContains(b.warnings, "Message of bank 1 channel 2 FAST: "))
                << b.warnings[0];
        } else {
            EXPECT_TRUE(b.warnings.empty()) << b.warnings[0];
        }
        // Nothing in record 6's stored message reads as a dictionary code it does not mean.
        auto decoded = StartWith({15, 0, 0, 0});
        DecodeImage(decoded.rec, decoded.moduleTypes, img);
        EXPECT_EQ(decoded.rec.txtMsg[6], c.stored);
    }
}

// What the build brings into the unit's form without losing anything is a note, not a warning,
// and the record shows what is stored: times between two steps, and blanks the unit does not keep.
TEST(BuilderNotes, TimesTakeTheirStepAndMessagesTheUnitsBlanks) {
    const std::vector<std::tuple<int, std::string, std::string, int, const char*>> cases{
        {0, "125", "120", 12, "Fast ON Min: 125 ms is stored as 120 ms (10 ms steps)"},
        {3, "12.5", "10", 1, "Fast OFF Max: 12.5 ms is stored as 10 ms (10 ms steps)"},
        {5, "0130", "0130", 13, nullptr},  // a whole step keeps its text
    };
    for (const auto& [p, typed, shown, stored, note] : cases) {
        auto s = StartWith({15, 0, 0, 0});
        s.rec.txtPulseTime[static_cast<std::size_t>(p)] = typed;
        s.rec.txtMsg[6] = "  FIRE   ALARM ";
        Image img{};
        const BuildResult b = BuildImage(s.rec, s.moduleTypes, img);
        EXPECT_TRUE(b.warnings.empty()) << b.warnings[0];
        EXPECT_EQ(s.rec.txtPulseTime[static_cast<std::size_t>(p)], shown);
        EXPECT_EQ(img[static_cast<std::size_t>(kAddrPulseTimes + p)], stored) << typed;
        EXPECT_EQ(s.rec.txtMsg[6], "FIRE ALARM");
        std::vector<std::string> expected{
            "Message of bank 1 channel 2 FAST: The unit keeps one blank between words and none at "
            "either end: runs of blanks became one and blanks at the ends were dropped."};
        if (note) expected.push_back(note);
        EXPECT_EQ(b.notes, expected) << typed;
        EXPECT_TRUE(BuildImage(s.rec, s.moduleTypes, img).notes.empty()) << "built twice";
        // What is read back comes with the unit's spacing: no note of its own.
        EXPECT_TRUE(DecodeImage(s.rec, s.moduleTypes, img).build.notes.empty());
    }
}

TEST(BuilderMessages, ATooLongMessageIsReportedButATrailingSpaceCutIsNot) {
    struct Case {
        int length;
        bool warned;
    };
    for (const Case c : {Case{69, false}, Case{79, false}, Case{80, true}, Case{120, true}}) {
        auto s = StartWith({15, 0, 0, 0});
        std::string msg;
        for (int n = 0; n < c.length; ++n) msg += static_cast<char>('a' + n % 26);
        s.rec.txtMsg[9] = msg;
        Image img{};
        const BuildResult b = BuildImage(s.rec, s.moduleTypes, img);
        EXPECT_EQ(AnyWarningContains(b.warnings, "Message of bank 1 channel 3 SLOW is too long"),
                  c.warned)
            << c.length;
        auto decoded = StartWith({15, 0, 0, 0});
        DecodeImage(decoded.rec, decoded.moduleTypes, img);
        EXPECT_EQ(decoded.rec.txtMsg[9], msg.substr(0, 79)) << c.length;
    }
}

TEST(BuilderMessages, WordsTooLongForADictionaryEntryStayOutOfIt) {
    ConfigRecord rec;
    const std::string longWord(85, 'L');
    rec.txtMsg[0] = longWord;
    rec.txtMsg[1] = longWord;
    rec.txtMsg[2] = "OK OK";
    BuildDictionary(rec);
    EXPECT_EQ(rec.txtDict[0], "OK");
    EXPECT_EQ(rec.txtDict[1], "");
}

}  // namespace
}  // namespace orv
