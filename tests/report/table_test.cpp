#include <gtest/gtest.h>

#include "model/lists.h"
#include "report/csv.h"
#include "report/report.h"
#include "report_test_util.h"

namespace orv {
namespace {

constexpr std::string_view kHeader =
    "Bank,Channel,State,RIC,RIC To,Function,Pager Type,Paging Rate,Repeat,Seconds,Message\r\n";

// The exported table with one row replaced (rows counted as a spreadsheet does, header = 1).
std::string WithRow(const std::string& table, int rowNumber, const std::string& row) {
    auto lines = Lines(table);
    lines.at(static_cast<std::size_t>(rowNumber - 1)) = row;
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

TEST(Table, ExportHasOneRowPerShownStateAndRelayAction) {
    const Opened o = OpenedDefaults({15, 13, 14, 0});
    const std::string table = ExportChannelTable(o.s.rec, o.s.moduleTypes);
    const auto lines = Lines(table);
    EXPECT_TRUE(table.starts_with(kHeader));
    ASSERT_EQ(lines.size(), 1u + 64 + 32 + 24);
    EXPECT_EQ(lines[1], "1,1,RESET,1000000,,A,Alpha,512,A,,BANK 1 CHAN 1 RESET");
    EXPECT_EQ(lines[65], "2,1,RESET,1000016,,A,Alpha,512,A,,BANK 2 CHAN 1 RESET");
    EXPECT_EQ(lines[66], "2,1,STEADY,1000016,,D,Alpha,512,D,,BANK 2 CHAN 1 STEADY");
    EXPECT_EQ(lines[97], "3,1,Close,2000017,2000017,A,,,,0,");
    EXPECT_EQ(lines[98], "3,1,Open,2000017,2000017,B,,,,,");
    EXPECT_EQ(lines[99], "3,1,Toggle,2000017,2000017,C,,,,0,");
    EXPECT_EQ(Lines(ExportChannelTable(o.s.rec, {0, 0, 0, 0})).size(), 1u);
}

TEST(Table, ExportedAndImportedUnchangedGivesTheSameFile) {
    const ModuleTypes combos[] = {{15, 13, 14, 0}, {14, 14, 14, 14}, {7, 0, 13, 15}};
    for (const auto& types : combos) {
        Opened o = OpenedDefaults(types);
        auto& rec = o.s.rec;
        // Texts that need quoting, a relay "ALL" beep and odd but stored values.
        if (types[0] != kModuleRelay) {
            rec.txtMsg[0] = "FIRE, \"EAST\" WING";
            rec.txtMsg[3] = "SAY \"HI\"";
        }
        rec.lstRlyBeep[RelayBeepIndex(RelayIndex(2, 0), 0)] = kRelayBeepAll;
        const std::string before = SavedText(o);
        // Open the saved file as the CLI does, export, import, save.
        Opened opened;
        ASSERT_TRUE(
            ReadConfigText(before, "t.ORV", opened.s.rec, opened.s.moduleTypes, opened.image).ok);
        const ConfigRecord recBefore = opened.s.rec;
        const std::string table = ExportChannelTable(opened.s.rec, opened.s.moduleTypes);
        const TableImportResult r = ImportChannelTable(table, opened.s.rec, opened.s.moduleTypes);
        ASSERT_TRUE(r.ok) << (r.problems.empty() ? "" : r.problems[0].Text());
        EXPECT_EQ(r.changed, 0);
        EXPECT_EQ(opened.s.rec, recBefore);
        EXPECT_EQ(SavedText(opened), before);
    }
}

TEST(Table, UnchangedCellsKeepValuesTheTableCouldNotSet) {
    // A message from a hand-made image with a Latin-1 letter, and a RIC in an excluded range:
    // exported and imported unchanged, they are left alone rather than refused.
    Opened o = OpenedDefaults({15, 0, 0, 0});
    o.s.rec.txtMsg[5] = "CAF\xC9";
    o.s.rec.txtRIC[6] = "2007665";
    const ConfigRecord before = o.s.rec;
    const auto r =
        ImportChannelTable(ExportChannelTable(o.s.rec, o.s.moduleTypes), o.s.rec, o.s.moduleTypes);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(o.s.rec, before);
}

TEST(Table, ChangedCellsAreApplied) {
    Opened o = OpenedDefaults({15, 0, 14, 0});
    std::string table = ExportChannelTable(o.s.rec, o.s.moduleTypes);
    table = WithRow(table, 2, "1,1,reset,123,,d,num.,2400,b,,\"FIRE, EAST\"");
    table = WithRow(table, 66, " 3 , 1 ,CLOSE,5,0000009,all,,,,0030,");
    table = WithRow(table, 68, "3,1,Toggle,2000017,2000017,C,,,,7,");
    table += "\r\n,,,,,,,,,,\r\n";  // blank rows are skipped
    const auto r = ImportChannelTable(table, o.s.rec, o.s.moduleTypes);
    ASSERT_TRUE(r.ok) << r.problems[0].Text();
    EXPECT_EQ(r.rows, 88);
    EXPECT_EQ(r.changed, 11);
    const auto& rec = o.s.rec;
    EXPECT_EQ(rec.txtRIC[0], "0000123");
    EXPECT_EQ(rec.lstFunc[0], 3);
    EXPECT_EQ(rec.lstType[0], 1);
    EXPECT_EQ(rec.lstBaud[0], 2);
    EXPECT_EQ(rec.lstRepeat[0], 1);
    EXPECT_EQ(rec.txtMsg[0], "FIRE, EAST");
    const int relay = RelayIndex(2, 0);
    EXPECT_EQ(rec.txtRlyRIC[RelayRicIndex(relay, kSlotCloseFrom)], "0000005");
    EXPECT_EQ(rec.txtRlyRIC[RelayRicIndex(relay, kSlotCloseTo)], "0000009");
    EXPECT_EQ(rec.txtRlyRIC[RelayRicIndex(relay, kSlotCloseTMax)], "30");
    EXPECT_EQ(rec.lstRlyBeep[RelayBeepIndex(relay, kActionClose)], kRelayBeepAll);
    EXPECT_EQ(rec.txtRlyRIC[RelayRicIndex(relay, kSlotToggleRepeatFilter)], "7");
}

TEST(Table, PartialTablesChangeOnlyTheirColumnsAndRows) {
    Opened o = OpenedDefaults({15, 0, 0, 0});
    ConfigRecord expected = o.s.rec;
    const std::string table =
        "State,Message,Channel,Bank\nSTEADY,DOOR OPEN,3,1\nRESET,,16,1\n";  // LF only
    const auto r = ImportChannelTable("\xEF\xBB\xBF" + table, o.s.rec, o.s.moduleTypes);
    ASSERT_TRUE(r.ok) << r.problems[0].Text();
    expected.txtMsg[ChannelStateIndex(0, 2, 3)] = "DOOR OPEN";
    expected.txtMsg[ChannelStateIndex(0, 15, 0)] = "";
    EXPECT_EQ(o.s.rec, expected);
}

TEST(Table, EveryRefusalReasonNamesRowColumnAndValue) {
    struct Case {
        int row;
        std::string text;
        std::string column;
        std::string value;
        std::string why;
    } cases[] = {
        {2, "1,1,RESET,2097152,,A,Alpha,512,A,,X", "RIC", "2097152", "RIC out of range"},
        {2, "1,1,RESET,99999999999999999999,,A,Alpha,512,A,,X", "RIC", "99999999999999999999",
         "RIC out of range"},
        {2, "1,1,RESET,2007664,,A,Alpha,512,A,,X", "RIC", "2007664",
         "excluded range 2007664-2007671"},
        {3, "1,1,SLOW,2045063,,B,Alpha,512,B,,X", "RIC", "2045063",
         "excluded range 2045056-2045063"},
        {2, "1,1,RESET,12a,,A,Alpha,512,A,,X", "RIC", "12a", "not a whole number"},
        {2, "1,1,RESET,,,A,Alpha,512,A,,X", "RIC", "", "no RIC given"},
        {2, "1,1,RESET,1000000,,E,Alpha,512,A,,X", "Function", "E", "unknown function code"},
        {2, "1,1,RESET,1000000,,ALL,Alpha,512,A,,X", "Function", "ALL", "unknown function code"},
        {2, "1,1,RESET,1000000,,A,Beta,512,A,,X", "Pager Type", "Beta", "unknown pager type"},
        {2, "1,1,RESET,1000000,,A,Alpha,600,A,,X", "Paging Rate", "600", "unknown paging rate"},
        {2, "1,1,RESET,1000000,,A,Alpha,512,E,,X", "Repeat", "E", "unknown repeat time"},
        {2, "5,1,RESET,1000000,,A,Alpha,512,A,,X", "Bank", "5", "unknown bank"},
        {2, "4,1,RESET,1000000,,A,Alpha,512,A,,X", "Bank", "4", "bank 4 is NOT FITTED"},
        {2, "1,17,RESET,1000000,,A,Alpha,512,A,,X", "Channel", "17", "unknown channel"},
        {2, "1,0,RESET,1000000,,A,Alpha,512,A,,X", "Channel", "0", "unknown channel"},
        {98, "3,9,Close,2000017,2000017,A,,,,0,", "Channel", "9", "unknown relay"},
        {2, "1,1,ALARM,1000000,,A,Alpha,512,A,,X", "State", "ALARM", "unknown state"},
        {66, "2,1,SLOW,1000016,,B,Alpha,512,B,,X", "State", "SLOW",
         "dry-contact module, which uses only RESET and STEADY"},
        {2, "1,1,Close,1000000,,A,,,,,", "State", "Close", "holds an input module"},
        {98, "3,1,RESET,2000017,,A,Alpha,512,A,,X", "State", "RESET", "holds a relay module"},
        {2, "1,1,RESET,1000000,5,A,Alpha,512,A,,X", "RIC To", "5", "applies to relay actions"},
        {2, "1,1,RESET,1000000,,A,Alpha,512,A,3,X", "Seconds", "3", "applies to relay actions"},
        {98, "3,1,Close,2000017,2097152,A,,,,0,", "RIC To", "2097152", "RIC out of range"},
        {98, "3,1,Close,2000017,2000017,E,,,,0,", "Function", "E", "unknown beep"},
        {98, "3,1,Close,2000017,2000017,A,,,,2007670,", "Seconds", "2007670",
         "TMax in the excluded range"},
        {98, "3,1,Close,2000017,2000017,A,,,,x,", "Seconds", "x", "TMax is not a whole number"},
        {99, "3,1,Open,2000017,2000017,B,,,,5,", "Seconds", "5", "an Open action has no time"},
        {98, "3,1,Close,2000017,2000017,A,Alpha,,,0,", "Pager Type", "Alpha",
         "applies to input channels only"},
        {98, "3,1,Close,2000017,2000017,A,,,,0,X", "Message", "X",
         "applies to input channels only"},
        {3, "1,1,RESET,1000000,,A,Alpha,512,A,,BANK 1 CHAN 1 RESET", "", "",
         "bank 1 channel 1 RESET is already set by row 2"},
        {2, "1,1,RESET,1000000", "", "", "the row has 4 cells where the header has 11"},
        {2, "1,1,RESET,1000000,,A,Alpha,512,A,,X,extra", "", "",
         "the row has 12 cells where the header has 11"},
    };
    const Opened base = OpenedDefaults({15, 13, 14, 0});
    const std::string exported = ExportChannelTable(base.s.rec, base.s.moduleTypes);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Opened o = base;
        // A valid change elsewhere in the same table must not be applied either.
        std::string table = WithRow(exported, 10, "1,3,RESET,0000777,,A,Alpha,512,A,,CHANGED");
        table = WithRow(table, c.row, c.text);
        const TableImportResult r = ImportChannelTable(table, o.s.rec, o.s.moduleTypes);
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.problems.size(), 1u);
        const TableProblem& p = r.problems[0];
        EXPECT_EQ(p.row, c.row);
        EXPECT_EQ(p.column, c.column);
        EXPECT_EQ(p.value, c.value);
        EXPECT_NE(p.why.find(c.why), std::string::npos) << p.why;
        EXPECT_EQ(o.s.rec, base.s.rec) << "nothing may be applied from a refused table";
    }
}

TEST(Table, EveryBadRowIsListed) {
    Opened o = OpenedDefaults({15, 0, 0, 0});
    const ConfigRecord before = o.s.rec;
    const std::string table = std::string(kHeader) +
                              "1,1,RESET,3000000,,A,Alpha,512,A,,X\r\n"
                              "1,2,RESET,1000001,,Q,Alpha,512,A,,X\r\n"
                              "1,3,RESET,1000002,,A,Alpha,512,A,,OK\r\n"
                              "9,1,RESET,1,,A,Alpha,512,A,,X\r\n";
    const auto r = ImportChannelTable(table, o.s.rec, o.s.moduleTypes);
    ASSERT_FALSE(r.ok);
    std::vector<std::string> texts;
    for (const auto& p : r.problems) texts.push_back(p.Text());
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_TRUE(texts[0].starts_with("row 2, column RIC, value '3000000': RIC out of range"));
    EXPECT_TRUE(texts[1].starts_with("row 3, column Function, value 'Q': unknown function code"));
    EXPECT_TRUE(texts[2].starts_with("row 5, column Bank, value '9': unknown bank"));
    EXPECT_EQ(o.s.rec, before);
}

TEST(Table, HeaderAndSyntaxProblems) {
    struct Case {
        std::string table;
        int row;
        std::string part;
    } cases[] = {
        {"", 1, "the table is empty"},
        {"Bank,Channel,Message\r\n", 1, "column State: the column is missing"},
        {"Bank,Channel,State,Colour\r\n", 1, "column Colour: unknown column"},
        {"Bank,Channel,State,RIC,ric\r\n", 1, "column ric: the column appears twice"},
        {"Bank,Channel,State,Message\r\n1,1,RESET,\"open\r\n", 2,
         "cell 4 opens a double quote that is never closed"},
        {"Bank,Channel,State,Message\r\n1,1,RESET,\"A\"B\r\n", 2,
         "cell 4 has text after its closing double quote"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        Opened o = OpenedDefaults({15, 0, 0, 0});
        const auto r = ImportChannelTable(c.table, o.s.rec, o.s.moduleTypes);
        ASSERT_FALSE(r.ok);
        ASSERT_FALSE(r.problems.empty());
        EXPECT_EQ(r.problems[0].row, c.row);
        EXPECT_NE(r.problems[0].Text().find(c.part), std::string::npos) << r.problems[0].Text();
    }
}

TEST(Table, MessagesAreTakenAsAPasteTakesThemWithAWarning) {
    struct Case {
        std::string cell, stored;
        const char* warning;  // nullptr: taken as it is, without a word
    } cases[] = {
        {"CAF\xC3\x89 \xE2\x80\x93 EAST", "CAFE - EAST",
         "characters of this message: \xC3\x89 became E and \xE2\x80\x93 became -."},
        {"BAD\xFF", "BADy",
         "character of this message: \xC3\xBF became y."},  // not UTF-8: read as Latin-1
        {std::string(70, 'M'), std::string(69, 'M'),
         "longer than 69 characters: cut to 69; \"M\" was left out."},
        {"X01 ALARM " + std::string(70, 'Q'), "X01 ALARM " + std::string(59, 'Q'),
         "longer than 69 characters: cut to 69; \"QQQQQQQQQQQ\" was left out."},
        {"TAB\tX\x7F", "TAB\tX\x7F", nullptr},
        {" PUMP  ROOM", "PUMP ROOM",
         "runs of blanks became one and blanks at the ends were dropped."},
    };
    const Opened base = OpenedDefaults({15, 0, 0, 0});
    const std::string exported = ExportChannelTable(base.s.rec, base.s.moduleTypes);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cell);
        Opened o = base;
        const std::string row = "1,1,RESET,1000000,,A,Alpha,512,A,,\"" + c.cell + "\"";
        const auto r = ImportChannelTable(WithRow(exported, 2, row), o.s.rec, o.s.moduleTypes);
        ASSERT_TRUE(r.ok) << r.problems[0].Text();
        EXPECT_EQ(o.s.rec.txtMsg[0], c.stored);
        if (c.warning) {
            ASSERT_EQ(r.warnings.size(), 1u);
            EXPECT_TRUE(r.warnings[0].starts_with("row 2, column Message: ")) << r.warnings[0];
            EXPECT_NE(r.warnings[0].find(c.warning), std::string::npos) << r.warnings[0];
        } else {
            EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
        }
    }
}

// A message of the file that fits only because another message shares its words: when the table
// changes that other one, the long one is cut as a paste is, and said, instead of refusing the
// save.
TEST(Table, AMessageThatNoLongerFitsPackedIsCutAndNamed) {
    Opened o = OpenedDefaults({15, 0, 0, 0});
    std::string shared;
    for (int w = 0; w < 8; ++w) shared += (w ? " WORD-" : "WORD-") + std::to_string(10000 + w);
    o.s.rec.txtMsg[0] = o.s.rec.txtMsg[1] = shared;  // 87 characters, 8 bytes packed
    const auto r = ImportChannelTable("Bank,Channel,State,Message\r\n1,1,SLOW,X\r\n", o.s.rec,
                                      o.s.moduleTypes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(o.s.rec.txtMsg[0], shared.substr(0, 69));
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_TRUE(r.warnings[0].starts_with(
        "bank 1 channel 1 RESET: message too long to store (88 bytes after packing, at most 79). "
        "It was cut to 69 characters;"))
        << r.warnings[0];
}

TEST(Table, ReversedRelayRangeIsAppliedWithAWarning) {
    Opened o = OpenedDefaults({14, 0, 0, 0});
    const std::string table = std::string(kHeader) + "1,2,Open,0000500,0000400,B,,,,,\r\n";
    const auto r = ImportChannelTable(table, o.s.rec, o.s.moduleTypes);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0],
              "row 2: bank 1 relay 2 Open: the RIC range 0000500-0000400 ends before it starts");
}

TEST(Csv, QuotingAndParsing) {
    struct Case {
        std::string cell;
        std::string written;
    } cases[] = {
        {"PLAIN", "PLAIN"},
        {"A,B", "\"A,B\""},
        {"SAY \"HI\"", "\"SAY \"\"HI\"\"\""},
        {"TWO\r\nLINES", "\"TWO\r\nLINES\""},
        {" LEADING", "\" LEADING\""},
        {"", ""},
    };
    std::vector<std::string> cells;
    for (const auto& c : cases) {
        EXPECT_EQ(csv::Cell(c.cell), c.written);
        cells.push_back(c.cell);
    }
    const csv::Table t = csv::Parse(csv::Line(cells) + csv::Line({"next"}));
    ASSERT_TRUE(t.errors.empty());
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0].cells, cells);
    EXPECT_EQ(t.rows[1].number, 2);
    EXPECT_EQ(t.rows[1].line, 3);  // after the quoted line break
    EXPECT_EQ(t.rows[1].cells, std::vector<std::string>{"next"});
    // Each kind of line end counts once.
    const csv::Table ends = csv::Parse("a\nb\rc\r\n\"d\re\"\nf");
    std::vector<int> lines;
    for (const auto& row : ends.rows) lines.push_back(row.line);
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 6}));
}

// What LibreOffice and Excel put on the clipboard: tabs between cells, LF or CR LF line ends and
// one at the end, quotes only around cells holding a tab, a line break or a quote.
TEST(Csv, TabSeparatedClipboardText) {
    using Rows = std::vector<std::vector<std::string>>;
    auto rows = [](const csv::Table& t) {
        Rows out;
        for (const auto& r : t.rows) out.push_back(r.cells);
        return out;
    };
    struct Case {
        const char* text;
        Rows expected;
    } cases[] = {
        {"1\tA\n2\tB\n", {{"1", "A"}, {"2", "B"}}},
        {"1\tA\r\n2\tB\r\n", {{"1", "A"}, {"2", "B"}}},
        {"1\tA\r\n2\tB", {{"1", "A"}, {"2", "B"}}},
        {"\"FIRE\nEAST\"\t\"SAY \"\"HI\"\"\"\r\n", {{"FIRE\nEAST", "SAY \"HI\""}}},
        {"A,B\tC\n", {{"A,B", "C"}}},
        {"\t\tX\n", {{"", "", "X"}}},
        {"only\n", {{"only"}}},
    };
    for (const Case& c : cases) {
        const csv::Table t = csv::Parse(c.text, '\t');
        EXPECT_TRUE(t.errors.empty()) << c.text;
        EXPECT_EQ(rows(t), c.expected) << c.text;
    }
    // Text from elsewhere with a stray quote is taken as it stands, line by line.
    EXPECT_FALSE(csv::Parse("\"FIRE\" ALARM\t5\n", '\t').errors.empty());
    EXPECT_EQ(rows(csv::ParseUnquoted("\"FIRE\" ALARM\t5\r\nX\n", '\t')),
              (Rows{{"\"FIRE\" ALARM", "5"}, {"X"}}));
    // Written for the clipboard: a comma needs no quotes, a tab does.
    EXPECT_EQ(csv::Cell("A,B", '\t'), "A,B");
    EXPECT_EQ(csv::Cell("A\tB", '\t'), "\"A\tB\"");
    EXPECT_EQ(csv::Cell("SAY \"HI\"", '\t'), "\"SAY \"\"HI\"\"\"");
}

}  // namespace
}  // namespace orv
