// Decoding images: the builder's own, hand-made ones, and damaged or foreign ones.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "image_test_util.h"
#include "model/lists.h"

namespace orv {
namespace {

using test::StartWith;

struct CraftedRecord {
    std::uint32_t word;
    std::vector<std::uint8_t> message;  // without terminator
};

// An image with the given dictionary words and records (the rest of the 256 records empty,
// with word 0x02000000: RIC 0, A, 512, alpha, repeat A).
Image Craft(const std::vector<std::string>& dict, const std::vector<CraftedRecord>& records) {
    Image img{};
    int a = kPackedStart;
    for (int d = 0; d < kDictEntries; ++d) {
        if (d < static_cast<int>(dict.size()))
            for (char c : dict[d]) img[a++] = static_cast<std::uint8_t>(c);
        img[a++] = 0;
    }
    for (int i = 0; i < kChannelStates; ++i) {
        const CraftedRecord r =
            i < static_cast<int>(records.size()) ? records[i] : CraftedRecord{0x02000000, {}};
        for (int n = 0; n < 4; ++n) img[a++] = static_cast<std::uint8_t>(r.word >> (8 * n));
        for (auto b : r.message) img[a++] = b;
        img[a++] = 0;
    }
    return img;
}

bool AnyWarningContains(const std::vector<std::string>& warnings, const std::string& part) {
    for (const auto& w : warnings)
        if (w.find(part) != std::string::npos) return true;
    return false;
}

TEST(Reader, HeaderFields) {
    Image img = Craft({}, {});
    const std::vector<std::uint8_t> header{12,   38,  12, 38, 38, 75, 38, 255,  // pulse times
                                           9,    46,  0,  52,                   // ports
                                           192,  168, 0,  7,                    // IP
                                           0,    3,   6,  30,                   // repeat times
                                           0x81, 0x85};
    std::copy(header.begin(), header.end(), img.begin());
    const std::vector<std::uint8_t> mac{0x50, 0x46, 0x4A, 0x01, 0x0A, 0xFF};
    std::copy(mac.begin(), mac.end(), img.begin() + kMacAddress);
    img[22] = 0x5A;
    img[4000] = 0x77;

    auto s = StartWith({0, 0, 0, 0});
    const DecodeResult r = DecodeImage(s.rec, s.moduleTypes, img);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(s.rec.txtPulseTime, (std::array<std::string, 8>{"120", "380", "120", "380", "380",
                                                              "750", "380", "2550"}));
    EXPECT_EQ(s.rec.lstPortBaudrate, (std::array<int, 2>{9, 0}));
    EXPECT_EQ(s.rec.lstPortFormat, (std::array<int, 2>{20 + 1, 16}));  // "E,8,2", "O,7,1"
    EXPECT_EQ(s.rec.txtIP, (std::array<std::string, 4>{"192", "168", "0", "7"}));
    EXPECT_EQ(s.rec.txtRepTime, (std::array<std::string, 4>{"0", "30", "60", "300"}));
    EXPECT_EQ(s.rec.chkOptions,
              (std::array<bool, 8>{true, false, false, false, false, false, false, true}));
    EXPECT_EQ(s.rec.txtRS485Address, "5");
    EXPECT_TRUE(s.rec.optMaster);
    EXPECT_EQ(s.rec.txtMAC, (std::array<std::string, 6>{"50", "46", "4A", "01", "0A", "FF"}));
    // The closing rebuild leaves reserved bytes and the unit area as read.
    EXPECT_EQ(img[22], 0x5A);
    EXPECT_EQ(img[4000], 0x77);
    EXPECT_EQ(r.size.lastAddress, 1431);

    img[kAddrRS485] = 0x05;
    DecodeImage(s.rec, s.moduleTypes, img);
    EXPECT_EQ(s.rec.txtRS485Address, "5");
    EXPECT_FALSE(s.rec.optMaster);
}

TEST(Reader, ChannelRecordsAndDictionaryCodes) {
    const std::vector<std::string> dict{"10",   "11",   "12",   "13",    "14",   "15",    "16",
                                        "BANK", "CHAN", "FAST", "RESET", "SLOW", "STEADY"};
    Image img = Craft(dict, {{0x020F4240, {0x87, 0x31, 0x20, 0x88, 0x31, 0x20, 0x8A}},
                             {0x062F4240 | 1u << 23, {'H', 'I'}},
                             {0x000F4241, {}}});
    auto s = StartWith({15, 0, 0, 0});
    const DecodeResult r = DecodeImage(s.rec, s.moduleTypes, img);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(s.rec.txtMsg[0], "BANK 1 CHAN 1 RESET");  // the closing rebuild trims the last space
    EXPECT_EQ(s.rec.txtRIC[0], "1000000");
    EXPECT_EQ(s.rec.lstFunc[0], 0);
    EXPECT_EQ(s.rec.lstType[0], 0);  // bit 25 set: "Alpha"
    EXPECT_EQ(s.rec.txtMsg[1], "HI");
    EXPECT_EQ(s.rec.lstFunc[1], 1);
    EXPECT_EQ(s.rec.lstBaud[1], 1);
    EXPECT_EQ(s.rec.lstRepeat[1], 1);
    EXPECT_EQ(s.rec.txtRIC[2], "1000001");
    EXPECT_EQ(s.rec.lstType[2], 1);  // bit 25 clear: "Num."
    EXPECT_EQ(s.rec.txtRIC[3], "0000000");
}

TEST(Reader, RelayBanksRestoreRelayFields) {
    // Bank 2 holds relays: its record k = 64 + output * 8 + slot.
    std::vector<CraftedRecord> records(128, CraftedRecord{0x02000000, {}});
    auto word = [](std::uint32_t ric, std::uint32_t func) { return ric | func << 21 | 1u << 25; };
    records[64 + 0] = {word(123, 0), {}};  // Close from: A
    records[64 + 4] = {word(456, 1), {}};  // Close to: B  -> "ALL"
    records[64 + 1] = {word(7, 0), {}};    // Open from: A
    records[64 + 5] = {word(8, 0), {}};    // Open to: A   -> "A"
    records[64 + 2] = {word(9, 1), {}};    // Toggle from: B
    records[64 + 6] = {word(9, 0), {}};    // Toggle to: A -> "B" (the from-slot decides)
    records[64 + 3] = {word(30, 3), {}};   // TMax 30 s
    records[64 + 7] = {word(5, 2), {}};    // Repeat Filter 5 s
    Image img = Craft({}, records);
    auto s = StartWith({0, 14, 0, 0});
    DecodeImage(s.rec, s.moduleTypes, img);
    EXPECT_EQ(s.rec.lstRlyBeep[24], kRelayBeepAll);
    EXPECT_EQ(s.rec.lstRlyBeep[25], 0);
    EXPECT_EQ(s.rec.lstRlyBeep[26], 1);
    EXPECT_EQ(s.rec.txtRlyRIC[64], "0000123");
    EXPECT_EQ(s.rec.txtRlyRIC[68], "0000456");
    EXPECT_EQ(s.rec.txtRlyRIC[67], "30");
    EXPECT_EQ(s.rec.txtRlyRIC[71], "5");
    EXPECT_EQ(s.rec.lstFunc[67], 3);
    // Other banks' relay fields are not touched.
    EXPECT_EQ(s.rec.txtRlyRIC[0], "2000001");
    EXPECT_EQ(s.rec.lstRlyBeep[0], 0);
    // Rebuilding gives "ALL" back as A in the from-slot and B in the to-slot.
    EXPECT_EQ(s.rec.lstFunc[64], 0);
    EXPECT_EQ(s.rec.lstFunc[68], 1);
}

TEST(Reader, ForeignValuesKeepThePreviousSelectionAndAreReported) {
    struct Case {
        const char* name;
        std::function<void(Image&)> damage;
        std::function<void(const ConfigRecord&)> check;
        const char* warning;
    };
    const std::vector<Case> cases{
        {"port baud above 9", [](Image& i) { i[kAddrRS485Baud] = 12; },
         [](const ConfigRecord& r) { EXPECT_EQ(r.lstPortBaudrate[1], 9); },
         "The RS485 port baud rate code 12 is not a known rate"},
        {"format code without item", [](Image& i) { i[kAddrRS232Format] = 1; },
         [](const ConfigRecord& r) { EXPECT_EQ(r.lstPortFormat[0], kFormatN81); },
         "The RS232 port format code 1 is not a known format"},
        {"paging baud 3",
         [](Image& i) {
             i[kPackedStart + kDictEntries + 2] |= 0x80;
             i[kPackedStart + kDictEntries + 3] |= 0x01;
         },
         [](const ConfigRecord& r) { EXPECT_EQ(r.lstBaud[0], 1); },  // start-up "1200" kept
         "Channel record 0 had paging baud code 3"},
        {"bits 28-31", [](Image& i) { i[kPackedStart + kDictEntries + 3] |= 0xF0; },
         [](const ConfigRecord& r) {
             EXPECT_EQ(r.txtRIC[0], "0000000");
             EXPECT_EQ(r.lstType[0], 0);
         },
         "had bits 28-31 of the channel word set"},
    };
    for (const auto& c : cases) {
        Image img = Craft({}, {});
        c.damage(img);
        auto s = StartWith({15, 0, 0, 0});
        s.rec.lstBaud.fill(1);
        const DecodeResult r = DecodeImage(s.rec, s.moduleTypes, img);
        c.check(s.rec);
        EXPECT_TRUE(AnyWarningContains(r.warnings, c.warning)) << c.name;
    }
}

TEST(Reader, EmptyDictionaryEntryReadsAsOneSpace) {
    Image img = Craft({"FIRE"}, {{0x02000000, {'A', 0x85, 'B', ' ', 0x80, 'X'}}});
    auto s = StartWith({15, 0, 0, 0});
    const DecodeResult r = DecodeImage(s.rec, s.moduleTypes, img);
    EXPECT_EQ(s.rec.txtMsg[0], "A B FIRE X");
    EXPECT_TRUE(
        AnyWarningContains(r.warnings, "Channel record 0 used dictionary codes of empty entries"));
}

TEST(Reader, WarningsOfTheClosingRebuildComeWithTheBuild) {
    // Nine dictionary words used once each: the rebuild keeps none of them in the dictionary, and
    // the message spelt out no longer fits a record.
    std::vector<std::string> words;
    std::vector<std::uint8_t> codes;
    for (int d = 0; d < 9; ++d) {
        words.push_back("LONGWORD-" + std::to_string(d));
        codes.push_back(static_cast<std::uint8_t>(0x80 + d));
    }
    Image img = Craft(words, {{0x02000000, codes}});
    auto s = StartWith({15, 0, 0, 0});
    const DecodeResult r = DecodeImage(s.rec, s.moduleTypes, img);
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
    ASSERT_EQ(r.build.warnings.size(), 1u);
    EXPECT_TRUE(AnyWarningContains(r.build.warnings, "is too long to store"));

    // A control character is a literal byte: read, kept and stored without a word.
    img = Craft({}, {{0x02000000, {'A', 0x09, 'B'}}});
    s = StartWith({15, 0, 0, 0});
    const DecodeResult tab = DecodeImage(s.rec, s.moduleTypes, img);
    EXPECT_EQ(s.rec.txtMsg[0], "A\tB");
    EXPECT_TRUE(tab.warnings.empty());
    EXPECT_TRUE(tab.build.warnings.empty()) << tab.build.warnings[0];
}

TEST(Reader, ImageWithoutTerminatorEndsAtTheLastAddress) {
    auto probe = StartWith({15, 15, 15, 15});
    Image probeImage{};
    const int last = BuildImage(probe.rec, probe.moduleTypes, probeImage).lastAddress;
    for (int from : {kPackedStart, 1000, 3000, last}) {
        auto s = StartWith({15, 15, 15, 15});
        Image img{};
        BuildImage(s.rec, s.moduleTypes, img);
        std::fill(img.begin() + from, img.end(), 0x41);
        auto before = s.rec;
        const DecodeResult r = DecodeImage(s.rec, s.moduleTypes, img);
        ASSERT_FALSE(r.warnings.empty()) << from;
        EXPECT_TRUE(AnyWarningContains(r.warnings, "no end marker before address 4096") ||
                    AnyWarningContains(r.warnings, "The image ends before channel record"))
            << from << ": " << r.warnings[0];
        if (from == kPackedStart) {
            // Nothing of the records could be read: they keep what they held.
            EXPECT_EQ(s.rec.txtRIC, before.txtRIC);
            EXPECT_EQ(s.rec.lstFunc, before.lstFunc);
        }
        EXPECT_LE(WalkPackedPart(img), 4095);
    }
}

TEST(Reader, RandomAndMutatedImagesNeverBreakTheRecord) {
    std::mt19937 rng(20240611);
    auto base = StartWith({15, 13, 14, 0});
    Image built{};
    BuildImage(base.rec, base.moduleTypes, built);
    std::uniform_int_distribution<int> byte(0, 255), addr(0, kImageSize - 1), kind(0, 3),
        type(0, 17);

    for (int round = 0; round < 3000; ++round) {
        Image img;
        switch (kind(rng)) {
            case 0:  // pure noise
                for (auto& b : img) b = static_cast<std::uint8_t>(byte(rng));
                break;
            case 1:  // noise without zeros in the packed part: nothing terminates
                for (auto& b : img) b = static_cast<std::uint8_t>(1 + byte(rng) % 255);
                break;
            default:  // a real image with a few bytes changed
                img = built;
                for (int n = 1 + round % 12; n > 0; --n)
                    img[addr(rng)] = static_cast<std::uint8_t>(byte(rng));
                break;
        }
        const ModuleTypes types{type(rng) % 16, type(rng) % 16, type(rng), type(rng) - 1};
        auto s = StartWith(types);
        const DecodeResult r = DecodeImage(s.rec, s.moduleTypes, img);

        for (int i = 0; i < kChannelStates; ++i) {
            ASSERT_GE(s.rec.lstFunc[i], 0);
            ASSERT_LT(s.rec.lstFunc[i], 4);
            ASSERT_GE(s.rec.lstBaud[i], 0);
            ASSERT_LT(s.rec.lstBaud[i], 3);
            ASSERT_GE(s.rec.lstType[i], 0);
            ASSERT_LT(s.rec.lstType[i], 2);
            ASSERT_GE(s.rec.lstRepeat[i], 0);
            ASSERT_LT(s.rec.lstRepeat[i], 4);
        }
        for (int n = 0; n < 2; ++n) {
            ASSERT_GE(s.rec.lstPortBaudrate[n], 0);
            ASSERT_LT(s.rec.lstPortBaudrate[n], 10);
            ASSERT_GE(s.rec.lstPortFormat[n], 0);
            ASSERT_LT(s.rec.lstPortFormat[n], 24);
        }
        for (int b = 0; b < kRelayBeepFields; ++b) {
            ASSERT_GE(s.rec.lstRlyBeep[b], 0);
            ASSERT_LE(s.rec.lstRlyBeep[b], kRelayBeepAll);
        }
        if (r.size.fits) {
            // What the decode left in the image is a stable build of the record.
            Image again = img;
            auto rec = s.rec;
            const BuildResult b = BuildImage(rec, s.moduleTypes, again);
            ASSERT_TRUE(b.fits);
            ASSERT_EQ(again, img) << "round " << round;
            ASSERT_EQ(r.size.lastAddress, WalkPackedPart(img));
        } else {
            ASSERT_GT(r.size.lastAddress, kConfigAreaLast);
        }
    }
}

}  // namespace
}  // namespace orv
