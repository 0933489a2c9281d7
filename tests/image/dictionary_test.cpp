// The message dictionary: which words it holds, in which order, and how messages use it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "image_test_util.h"

namespace orv {
namespace {

ConfigRecord WithMessages(const std::vector<std::string>& messages) {
    ConfigRecord rec;
    for (std::size_t i = 0; i < messages.size(); ++i) rec.txtMsg[i] = messages[i];
    return rec;
}

std::vector<std::string> UsedEntries(const ConfigRecord& rec) {
    std::vector<std::string> used;
    for (const auto& w : rec.txtDict)
        if (!w.empty()) used.push_back(w);
    return used;
}

TEST(Dictionary, ChoosesRecurringWordsOfTwoOrMoreCharacters) {
    struct Case {
        const char* name;
        std::vector<std::string> messages;
        std::vector<std::string> dict;
    };
    const std::vector<Case> cases{
        {"once is not enough", {"FIRE ALARM", "FIRE EXIT"}, {"FIRE"}},
        {"one-character words never", {"A B C", "A B C", "A B C"}, {}},
        {"case counts apart", {"FIRE Fire", "FIRE", "Fire"}, {"FIRE", "Fire"}},
        {"case counts apart, one short", {"FIRE Fire", "FIRE"}, {"FIRE"}},
        {"twice in one message", {"GO GO"}, {"GO"}},
        {"no candidates", {"ONE", "TWO", "THREE"}, {}},
        {"ascending by character code", {"zz aa ZZ 99 zz aa ZZ 99"}, {"99", "ZZ", "aa", "zz"}},
        {"spacing does not split words", {"  PUMP   ROOM ", "PUMP ROOM"}, {"PUMP", "ROOM"}},
    };
    for (const auto& c : cases) {
        ConfigRecord rec = WithMessages(c.messages);
        rec.txtDict[100] = "STALE";
        BuildDictionary(rec);
        EXPECT_EQ(UsedEntries(rec), c.dict) << c.name;
        // Used entries are contiguous from 0.
        for (std::size_t d = 0; d < c.dict.size(); ++d)
            EXPECT_EQ(rec.txtDict[d], c.dict[d]) << c.name;
    }
}

TEST(Dictionary, NormalisesMessageSpacingInTheRecord) {
    const std::vector<std::pair<std::string, std::string>> cases{{"  FIRE   ALARM ", "FIRE ALARM"},
                                                                 {"", ""},
                                                                 {"     ", ""},
                                                                 {"A", "A"},
                                                                 {"A  B   C", "A B C"},
                                                                 {" X ", "X"}};
    for (const auto& [typed, stored] : cases) {
        ConfigRecord rec = WithMessages({typed});
        BuildDictionary(rec);
        EXPECT_EQ(rec.txtMsg[0], stored) << '"' << typed << '"';
    }
}

TEST(Dictionary, KeepsTheBest128AndBreaksTiesByLargerCharacterCodes) {
    // 140 distinct two-letter words, each twice: all score 4, so the 128 with the largest
    // character codes win. Plus one long word that outranks them all.
    std::vector<std::string> words;
    for (char a = 'A'; a <= 'Z' && words.size() < 140; ++a)
        for (char b = 'A'; b <= 'Z' && words.size() < 140; ++b) words.push_back({a, b});
    std::vector<std::string> messages;
    std::string msg;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& w : words) {
            if (msg.size() + w.size() + 1 > 60) {
                messages.push_back(msg);
                msg.clear();
            }
            msg += (msg.empty() ? "" : " ") + w;
        }
    }
    messages.push_back(msg);
    messages.push_back("AAAAAAAAAA AAAAAAAAAA");  // score 20: kept though it sorts first
    ASSERT_LE(messages.size(), 256u);
    ConfigRecord rec = WithMessages(messages);
    BuildDictionary(rec);

    std::vector<std::string> expected(words.end() - 127, words.end());
    expected.push_back("AAAAAAAAAA");
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> got(rec.txtDict.begin(), rec.txtDict.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(got.front(), "AAAAAAAAAA");
    // The lowest two-letter words lost at the cut.
    EXPECT_EQ(std::count(got.begin(), got.end(), "AA"), 0);
    EXPECT_EQ(std::count(got.begin(), got.end(), words[12]), 0);
    EXPECT_EQ(std::count(got.begin(), got.end(), words[13]), 1);
}

TEST(Dictionary, HigherScoreBeatsLargerCharacterCodes) {
    // Score = length x count: "ABC" x2 = 6 beats "ZZ" x2 = 4 at the cut.
    std::vector<std::string> messages;
    for (int n = 0; n < 127; ++n) {
        const std::string w = "Q" + std::to_string(100 + n);  // 4 characters, score 8
        messages.push_back(w + " " + w);
    }
    messages.push_back("ABC ABC ZZ ZZ");
    ConfigRecord rec = WithMessages(messages);
    BuildDictionary(rec);
    const auto used = UsedEntries(rec);
    ASSERT_EQ(used.size(), 128u);
    EXPECT_EQ(used.front(), "ABC");
    EXPECT_EQ(std::count(used.begin(), used.end(), "ZZ"), 0);
}

TEST(Dictionary, EncodesWordsAsCodesAndTheRestLiterally) {
    ConfigRecord rec;
    rec.txtDict[0] = "BANK";
    rec.txtDict[1] = "CHAN";
    rec.txtDict[2] = "BANK";  // a duplicate entry: the first one wins
    struct Case {
        std::string text, encoded;
    };
    const std::vector<Case> cases{
        {"BANK 1 CHAN 1",
         "\x80"
         "1 \x81"
         "1 "},
        {"", ""},
        {"NO WORDS", "NO WORDS "},
        {"BANK", "\x80"},
        {"bank BANK", "bank \x80"},
        {"BANKS", "BANKS "},
        {"\x7F", "\x7F "},  // the last literal byte
        {"\x80", "? "},     // would read as entry 0
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeMessage(rec, c.text), c.encoded) << c.text;
        EXPECT_EQ(EncodeMessage(rec, c.text), EncodeMessage(rec, c.text));
    }
}

TEST(Dictionary, SingleCharacterDictionaryEntryIsNeverUsed) {
    ConfigRecord rec;
    rec.txtDict[0] = "A";
    EXPECT_EQ(EncodeMessage(rec, "A B"), "A B ");
}

TEST(Dictionary, CountWordsKeepsFirstSeenOrder) {
    WordTable table;
    CountWords(table, "  ZZ AA  ZZ B ");
    CountWords(table, "AA");
    ASSERT_EQ(table.words.size(), 2u);
    EXPECT_EQ(table.words[0], (std::pair<std::string, int>{"ZZ", 2}));
    EXPECT_EQ(table.words[1], (std::pair<std::string, int>{"AA", 2}));
}

TEST(SortStrings, OrdersByCharacterCodesEitherWay) {
    std::mt19937 rng(7);
    for (int size : {0, 1, 2, 5, 61, 62, 300, 2000}) {
        std::vector<std::string> items;
        std::uniform_int_distribution<int> len(0, 6), ch(0x20, 0xFF);
        for (int n = 0; n < size; ++n) {
            std::string s;
            for (int k = len(rng); k > 0; --k) s += static_cast<char>(ch(rng));
            items.push_back(s);
        }
        auto byCodes = [](const std::string& a, const std::string& b) {
            return std::lexicographical_compare(
                a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
                });
        };
        auto up = items;
        SortStrings(up, true, true);
        auto expected = items;
        std::sort(expected.begin(), expected.end(), byCodes);
        EXPECT_EQ(up, expected) << size;
        auto down = items;
        SortStrings(down, false, true);
        std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(down, expected) << size;
    }
}

TEST(SortStrings, CaseInsensitiveIgnoresLetterCase) {
    std::vector<std::string> items{"beta", "Alpha", "ALPHA2", "Gamma", "alpha1"};
    SortStrings(items, true, false);
    EXPECT_EQ(items, (std::vector<std::string>{"Alpha", "alpha1", "ALPHA2", "beta", "Gamma"}));
    std::vector<std::string> sensitive{"beta", "Alpha", "Gamma"};
    SortStrings(sensitive, true, true);
    EXPECT_EQ(sensitive, (std::vector<std::string>{"Alpha", "Gamma", "beta"}));
}

}  // namespace
}  // namespace orv
