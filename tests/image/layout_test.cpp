// What a build puts where: header bytes, channel words, the packed part and the bytes it must
// leave alone.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

#include "image_test_util.h"
#include "model/lists.h"

namespace orv {
namespace {

using test::Pattern;
using test::RecordAddress;
using test::StartWith;
using test::WordAt;

TEST(ImageLayout, DefaultWithOneOptoBankMatchesTheReferenceBytes) {
    auto s = StartWith({15, 0, 0, 0});
    Image img{};
    BuildResult build;
    const SizeReport report = ReportImageSize(s.rec, s.moduleTypes, img, &build);

    const std::vector<std::string> dict{"10",   "11",   "12",   "13",    "14",   "15",    "16",
                                        "BANK", "CHAN", "FAST", "RESET", "SLOW", "STEADY"};
    for (int d = 0; d < kDictEntries; ++d)
        EXPECT_EQ(s.rec.txtDict[d], d < 13 ? dict[d] : "") << "entry " << d;
    // Dictionary bytes 24..192, then record 0.
    EXPECT_EQ(img[24], '1');
    EXPECT_EQ(img[192], 0);
    EXPECT_EQ(RecordAddress(img, 0), 193);
    const std::vector<std::uint8_t> record0{0x40, 0x42, 0x0F, 0x02, 0x87, 0x31,
                                            0x20, 0x88, 0x31, 0x20, 0x8A, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(img.begin() + 193, img.begin() + 205), record0);
    EXPECT_EQ(build.lastAddress, 1892);
    EXPECT_TRUE(build.fits);
    EXPECT_TRUE(build.warnings.empty());
    EXPECT_EQ(report.lastAddress, 1892);
    EXPECT_EQ(report.percentText, "49.28%");
    // The not-fitted banks lost their messages.
    EXPECT_EQ(s.rec.txtMsg[64], "");
    EXPECT_EQ(s.rec.txtMsg[0], "BANK 1 CHAN 1 RESET");
}

TEST(ImageLayout, EverythingEmptyEndsAt1431AndKeepsWhatLiesBeyond) {
    auto s = StartWith({0, 0, 0, 0});
    Image img = Pattern();
    const Image before = img;
    const SizeReport report = ReportImageSize(s.rec, s.moduleTypes, img);
    EXPECT_EQ(report.lastAddress, 1431);
    EXPECT_EQ(report.percentText, "37.28%");
    for (int a = 1432; a < kImageSize; ++a)
        if (a < kMacAddress || a > kMacAddress + 5) {
            ASSERT_EQ(img[a], before[a]) << "address " << a;
        }
    for (int i = 0; i < kChannelStates; ++i) EXPECT_EQ(s.rec.txtMsg[i], "") << i;
    EXPECT_EQ(img[kPackedStart + kDictEntries], 0x40);  // record 0's word follows 128 empty entries
}

TEST(ImageLayout, BuildLeavesReservedBytesAndUnitAreaAloneAndWritesMac) {
    auto s = StartWith({15, 13, 14, 0});
    s.rec.txtMAC = {"50", "46", "4A", "01", "02", "03"};
    Image img = Pattern(0x3C);
    const Image before = img;
    ASSERT_TRUE(BuildImage(s.rec, s.moduleTypes, img).fits);
    EXPECT_EQ(img[22], before[22]);
    EXPECT_EQ(img[23], before[23]);
    const std::vector<std::uint8_t> mac{0x50, 0x46, 0x4A, 0x01, 0x02, 0x03};
    EXPECT_EQ(std::vector<std::uint8_t>(img.begin() + 3840, img.begin() + 3846), mac);
    for (int a = 3846; a < kImageSize; ++a) ASSERT_EQ(img[a], before[a]) << "address " << a;
}

TEST(ImageLayout, BuildingTwiceGivesTheSameImageAndRecord) {
    for (const ModuleTypes types : {ModuleTypes{15, 15, 15, 15}, ModuleTypes{13, 14, 0, 7}}) {
        auto s = StartWith(types);
        s.rec.txtMsg[5] = "  FIRE   ALARM  ";
        Image once{};
        BuildImage(s.rec, s.moduleTypes, once);
        const ConfigRecord afterOnce = s.rec;
        Image twice = once;
        BuildImage(s.rec, s.moduleTypes, twice);
        EXPECT_EQ(once, twice);
        EXPECT_EQ(afterOnce, s.rec);
    }
}

struct HeaderCase {
    const char* name;
    std::function<void(ConfigRecord&)> edit;
    int address;
    int expected;
};

TEST(ImageLayout, HeaderFields) {
    const std::vector<HeaderCase> cases{
        {"pulse 120 ms", [](ConfigRecord& r) { r.txtPulseTime[0] = "120"; }, 0, 12},
        {"pulse 125 ms rounds to even", [](ConfigRecord& r) { r.txtPulseTime[3] = "125"; }, 3, 12},
        {"pulse 135 ms rounds to even", [](ConfigRecord& r) { r.txtPulseTime[7] = "135"; }, 7, 14},
        {"pulse 2550 ms", [](ConfigRecord& r) { r.txtPulseTime[5] = "2550"; }, 5, 255},
        {"RS232 115200", [](ConfigRecord& r) { r.lstPortBaudrate[0] = 9; }, 8, 9},
        {"RS232 110", [](ConfigRecord& r) { r.lstPortBaudrate[0] = 0; }, 8, 0},
        {"RS232 E,8,2 by code", [](ConfigRecord& r) { r.lstPortFormat[0] = 21; }, 9, 46},
        {"RS485 4800", [](ConfigRecord& r) { r.lstPortBaudrate[1] = 4; }, 10, 4},
        {"RS485 O,7,1 by code", [](ConfigRecord& r) { r.lstPortFormat[1] = 16; }, 11, 52},
        {"IP first octet", [](ConfigRecord& r) { r.txtIP[0] = "192"; }, 12, 192},
        {"IP last octet", [](ConfigRecord& r) { r.txtIP[3] = "255"; }, 15, 255},
        {"repeat 300 s", [](ConfigRecord& r) { r.txtRepTime[3] = "300"; }, 19, 30},
        {"repeat 0 s", [](ConfigRecord& r) { r.txtRepTime[0] = "0"; }, 16, 0},
        {"only Suppress Reset Strings", [](ConfigRecord& r) { r.chkOptions[0] = true; }, 20, 0x01},
        {"only Loop RS232", [](ConfigRecord& r) { r.chkOptions[7] = true; }, 20, 0x80},
        {"options 1 and 6", [](ConfigRecord& r) { r.chkOptions[1] = r.chkOptions[6] = true; }, 20,
         0x42},
        {"RS485 5 master",
         [](ConfigRecord& r) {
             r.txtRS485Address = "5";
             r.optMaster = true;
         },
         21, 0x85},
        {"RS485 5 slave",
         [](ConfigRecord& r) {
             r.txtRS485Address = "5";
             r.optMaster = false;
         },
         21, 0x05},
        {"RS485 127 slave",
         [](ConfigRecord& r) {
             r.txtRS485Address = "127";
             r.optMaster = false;
         },
         21, 0x7F},
        {"RS485 0 master",
         [](ConfigRecord& r) {
             r.txtRS485Address = "0";
             r.optMaster = true;
         },
         21, 0x80},
    };
    for (const auto& c : cases) {
        auto s = StartWith({0, 0, 0, 0});
        c.edit(s.rec);
        Image img{};
        const BuildResult b = BuildImage(s.rec, s.moduleTypes, img);
        EXPECT_EQ(img[c.address], c.expected) << c.name;
        EXPECT_TRUE(b.warnings.empty()) << c.name;
    }
}

TEST(ImageLayout, ChannelWordBits) {
    struct Case {
        int func, baud, type, repeat;
        std::string ric;
        std::uint32_t word;
    };
    const std::vector<Case> cases{
        {0, 0, 0, 0, "1000000", 0x020F4240},  // A, 512, alpha, repeat A
        {1, 0, 0, 1, "1000000", 0x062F4240},  // B, repeat B
        {0, 0, 1, 0, "1000000", 0x000F4240},  // numeric pager clears bit 25
        {3, 2, 0, 3, "2097151", 0x0F7FFFFF},  // every field at its top
        {0, 1, 1, 2, "0000000", 0x08800000},
    };
    for (const auto& c : cases) {
        auto s = StartWith({15, 0, 0, 0});
        s.rec.lstFunc[0] = c.func;
        s.rec.lstBaud[0] = c.baud;
        s.rec.lstType[0] = c.type;
        s.rec.lstRepeat[0] = c.repeat;
        s.rec.txtRIC[0] = c.ric;
        Image img{};
        BuildImage(s.rec, s.moduleTypes, img);
        EXPECT_EQ(WordAt(img, RecordAddress(img, 0)), c.word) << c.ric << " func " << c.func;
    }
}

TEST(ImageLayout, RelayBankCarriesRelaySettingsInChannelRecords) {
    struct Case {
        int beep;
        int fromFunc, toFunc;
    };
    const std::vector<Case> cases{{0, 0, 0}, {2, 2, 2}, {3, 3, 3}, {kRelayBeepAll, 0, 1}};
    for (const auto& c : cases) {
        auto s = StartWith({0, 14, 0, 0});
        const int relay = RelayIndex(1, 2);  // bank 2, output 3
        const int k = RelayRicIndex(relay, kSlotCloseFrom);
        s.rec.lstRlyBeep[RelayBeepIndex(relay, kActionClose)] = c.beep;
        s.rec.txtRlyRIC[k] = "0000123";
        s.rec.txtRlyRIC[k + kSlotCloseTMax] = "30";
        s.rec.txtMsg[k] = "SHOULD GO";
        Image img{};
        ASSERT_TRUE(BuildImage(s.rec, s.moduleTypes, img).fits);
        EXPECT_EQ(s.rec.lstFunc[k], c.fromFunc) << "beep " << c.beep;
        EXPECT_EQ(s.rec.lstFunc[k + 4], c.toFunc) << "beep " << c.beep;
        EXPECT_EQ(s.rec.txtRIC[k], "0000123");
        EXPECT_EQ(s.rec.txtRIC[k + kSlotCloseTMax], "30");
        EXPECT_EQ(s.rec.txtMsg[k], "");
        const std::uint32_t from = WordAt(img, RecordAddress(img, k));
        const std::uint32_t to = WordAt(img, RecordAddress(img, k + 4));
        EXPECT_EQ(from & 0x1FFFFF, 123u);
        EXPECT_EQ((from >> 21) & 3, static_cast<std::uint32_t>(c.fromFunc));
        EXPECT_EQ((to >> 21) & 3, static_cast<std::uint32_t>(c.toFunc));
        EXPECT_EQ(WordAt(img, RecordAddress(img, k + kSlotCloseTMax)) & 0x1FFFFF, 30u);
    }
}

TEST(ImageLayout, RelayBeepWithoutSelectionKeepsFunctionCodes) {
    auto s = StartWith({14, 0, 0, 0});
    s.rec.lstRlyBeep[0] = kNoSelection;
    s.rec.lstFunc[0] = 3;
    s.rec.lstFunc[4] = 2;
    Image img{};
    BuildImage(s.rec, s.moduleTypes, img);
    EXPECT_EQ(s.rec.lstFunc[0], 3);
    EXPECT_EQ(s.rec.lstFunc[4], 2);
}

TEST(ImageLayout, BankRulesEmptyTheMessagesTheModuleCannotUse) {
    struct Case {
        int type;
        bool reset, slow, fast, steady;  // which messages survive
    };
    const std::vector<Case> cases{{0, false, false, false, false},  {13, true, false, false, true},
                                  {15, true, true, true, true},     {7, true, true, true, true},
                                  {14, false, false, false, false}, {16, true, true, true, true},
                                  {-1, true, true, true, true}};
    for (const auto& c : cases) {
        auto s = StartWith({c.type, 0, 0, 0});
        Image img{};
        BuildImage(s.rec, s.moduleTypes, img);
        for (int ch = 0; ch < kChannelsPerBank; ++ch) {
            const bool keep[4] = {c.reset, c.slow, c.fast, c.steady};
            for (int st = 0; st < 4; ++st)
                EXPECT_EQ(!s.rec.txtMsg[ChannelStateIndex(0, ch, st)].empty(), keep[st])
                    << "type " << c.type << " channel " << ch << " state " << st;
        }
    }
}

TEST(ChannelWord, EveryFieldValueRoundTripsThroughTheImageBytes) {
    for (const std::uint32_t ric : {0u, 1u, 2097151u})
        for (int func = 0; func < 4; ++func)
            for (int baud = 0; baud < 4; ++baud)
                for (int alpha = 0; alpha < 2; ++alpha)
                    for (int repeat = 0; repeat < 4; ++repeat) {
                        std::array<std::uint8_t, 4> bytes{};
                        ASSERT_EQ(PackChannelWord(bytes, 0, ric, func, baud, alpha, repeat), 4);
                        const auto w = PackedReader(bytes, 0).ReadWord();
                        ASSERT_TRUE(w);
                        EXPECT_EQ(std::tie(w->ric, w->function, w->baud, w->alpha, w->repeat),
                                  std::tie(ric, func, baud, alpha, repeat));
                        EXPECT_FALSE(w->unusedBitsSet);
                    }
}

TEST(ChannelWord, ValuesTooWideForTheirFieldsDoNotLeakIntoOthers) {
    EXPECT_EQ((ChannelWord{0xFFFFFFFFu, 0, 0, 0, 0}.Pack()), 0x1FFFFFu);
    EXPECT_EQ((ChannelWord{(1u << 21) | 5u, 0, 0, 0, 0}.Pack()), 5u);
    EXPECT_EQ((ChannelWord{1u << 21, 4, 4, 2, 4}.Pack()), 0u);
    const ChannelWord plain = ChannelWord::Unpack(0x062F4240);
    for (int bit = 28; bit < 32; ++bit) {
        const ChannelWord high = ChannelWord::Unpack(0x062F4240 | (1u << bit));
        EXPECT_TRUE(high.unusedBitsSet) << bit;
        EXPECT_EQ(high.Pack(), plain.Pack()) << bit;
    }
}

TEST(PackedCursor, TruncatedSpansEndTheReadAtTheirEnd) {
    const std::vector<std::uint8_t> bytes{'A', 'B', 0, 1, 2, 3, 'C', 'D'};
    PackedReader text(bytes, 0);
    const auto ab = text.ReadText();
    EXPECT_TRUE(ab.terminated);
    EXPECT_EQ(text.address(), 3);
    const auto word = text.ReadWord();  // 1 2 3 'C'
    ASSERT_TRUE(word);
    EXPECT_EQ(word->ric, 0x030201u);
    const auto tail = text.ReadText();  // 'D' and no terminator
    EXPECT_FALSE(tail.terminated);
    EXPECT_EQ(std::vector<std::uint8_t>(tail.bytes.begin(), tail.bytes.end()),
              std::vector<std::uint8_t>{'D'});
    EXPECT_EQ(text.address(), 8);
    EXPECT_FALSE(text.SkipText());
    EXPECT_EQ(text.address(), 8);

    for (int from = 5; from <= 8; ++from) {  // fewer than four bytes left: no word, no move
        PackedReader words(bytes, from);
        EXPECT_FALSE(words.ReadWord()) << from;
        EXPECT_EQ(words.address(), from);
    }
}

TEST(PackedCursor, WriterCutsTextsAndNeverWritesPastItsSpan) {
    std::vector<std::uint8_t> big(100, 0xEE);
    PackedWriter out(big, 0);
    out.WriteText(std::string(90, 'x'));
    EXPECT_EQ(out.address(), kMaxImageText);
    EXPECT_EQ(big[kMaxImageText - 2], 'x');
    EXPECT_EQ(big[kMaxImageText - 1], 0);
    EXPECT_EQ(big[kMaxImageText], 0xEE);

    std::array<std::uint8_t, 6> small{};
    small.fill(0xEE);
    PackedWriter edge(std::span<std::uint8_t>(small).first(4), 2);
    edge.WriteWord(ChannelWord::Unpack(0x04030201));
    edge.WriteText("yz");
    EXPECT_EQ(edge.address(), 2 + 4 + 3);  // counts what did not fit
    EXPECT_EQ(small, (std::array<std::uint8_t, 6>{0xEE, 0xEE, 1, 2, 0xEE, 0xEE}));
}

TEST(ImageHelpers, HexTensAndPercent) {
    const std::vector<std::tuple<unsigned, int, std::string>> hex{
        {10, 2, "0A"},   {255, 2, "FF"},    {0, 2, "00"},
        {0x4A, 2, "4A"}, {0x1F, 4, "001F"}, {0xABC, 2, "ABC"}};
    for (const auto& [v, w, t] : hex) EXPECT_EQ(HexString(v, w), t) << v;

    const std::vector<std::pair<double, long long>> tens{
        {120, 12}, {125, 12}, {135, 14}, {115, 12},   {5, 0},
        {15, 2},   {124, 12}, {126, 13}, {2550, 255}, {0, 0}};
    for (const auto& [v, t] : tens) EXPECT_EQ(TensHalfEven(v), t) << v;

    const std::vector<std::pair<int, std::string>> pct{
        {1431, "37.28%"}, {1892, "49.28%"}, {3839, "100.00%"}, {3900, "101.59%"}, {0, "0.00%"},
        {23, "0.60%"},    {1, "0.03%"},     {4095, "106.67%"}, {1920, "50.01%"}};
    for (const auto& [u, t] : pct) EXPECT_EQ(PercentText(u), t) << u;
}

}  // namespace
}  // namespace orv
