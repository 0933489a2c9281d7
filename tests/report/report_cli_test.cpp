// Runs the built orv-cli for show, diff, export-csv and import-csv: exit statuses, outputs and
// the files they leave.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "../cli/cli_runner.h"

namespace orv {
namespace {

using test::RunResult;

class ReportCli : public test::CliTest {
  protected:
    // A configuration file saved by orv-cli new.
    std::string New(const std::string& name, const std::string& modules) {
        const std::string path = dir.File(name);
        const RunResult r = Run({"new", "-m", modules, "-o", path});
        EXPECT_EQ(r.status, 0) << r.err;
        return path;
    }
    std::string F(const std::string& name) const { return dir.File(name); }
};

TEST_F(ReportCli, ShowPrintsTheReportOrTheJson) {
    const std::string a = New("a.ORV", "15,13,14,0");
    const RunResult r = Run({"show", a});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("ORV Pro configuration " + a + "\n"));
    for (const char* part :
         {"\nBank 1: Type 15: 16-Channel Opto-Isolated DC Voltage Input Module\n",
          "Normally Open - Trigger on close", "Repeat Filter", "\nBank 4: NOT FITTED\n"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;

    const RunResult j = Run({"show", a, "--json"});
    ASSERT_EQ(j.status, 0) << j.err;
    const auto json = nlohmann::json::parse(j.out);
    EXPECT_EQ(json["format"], "orv-config/1");
    EXPECT_EQ(json["ModuleType"], nlohmann::json::array({15, 13, 14, 0}));
}

TEST_F(ReportCli, DiffExitStatuses) {
    const std::string a = New("a.ORV", "15,13,14,0");
    const std::string b = New("b.ORV", "15,13,14,0");
    const std::string c = New("c.ORV", "15,15,14,0");
    WriteText(F("bad.ORV"), "[General]\r\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"diff", a, b}, 0, "", ""},
        {{"diff", a, c},
         1,
         "Bank 2 module: Type 13: 16-Channel Dry Contact Input Module -> Type 15: 16-Channel "
         "Opto-Isolated DC Voltage Input Module\n",
         ""},
        {{"diff", a, F("missing.ORV")}, 2, "", "missing.ORV"},
        {{"diff", F("bad.ORV"), a}, 2, "", "bad.ORV"},
        {{"diff", a}, 2, "", "missing the two configuration files"},
        {{"diff", a, b, c}, 2, "", "unexpected argument"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::PrintToString(k.args));
        const RunResult r = Run(k.args);
        EXPECT_EQ(r.status, k.status) << r.err;
        EXPECT_EQ(r.out, k.out);
        EXPECT_NE(r.err.find(k.err), std::string::npos) << r.err;
    }
}

TEST_F(ReportCli, CsvRoundTripGivesTheSameFile) {
    const std::string a = New("a.ORV", "15,13,14,7");
    ASSERT_EQ(Run({"export-csv", a, "-o", F("a.csv")}).status, 0);
    const RunResult r = Run({"import-csv", a, F("a.csv"), "-o", F("b.ORV")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Applied '" + F("a.csv") + "': 184 rows, 0 values changed; saved '" +
                         F("b.ORV") + "'.\n");
    EXPECT_EQ(ReadText(F("b.ORV")), ReadText(a));
    // Without -o the table goes to standard output.
    const RunResult out = Run({"export-csv", a});
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out, ReadText(F("a.csv")));
}

TEST_F(ReportCli, ImportCsvAppliesEditsOrRefusesTheWholeTable) {
    const std::string a = New("a.ORV", "15,0,0,0");
    WriteText(F("edit.csv"), "Bank,Channel,State,Message\r\n1,2,SLOW,\"DOOR, NORTH\"\r\n");
    RunResult r = Run({"import-csv", a, F("edit.csv"), "-o", F("edited.ORV")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run({"diff", a, F("edited.ORV")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Bank 1 channel 2 SLOW: message 'BANK 1 CHAN 2 SLOW' -> 'DOOR, NORTH'\n");

    // A control character is a byte the unit stores: row 3 is sound, rows 2 and 4 are not.
    WriteText(F("bad.csv"),
              "Bank,Channel,State,RIC,Message\r\n1,2,SLOW,2097152,OK\r\n1,3,FAST,1,BAD~\x7F\r\n"
              "1,4,ALARM,1,X\r\n");
    r = Run({"import-csv", a, F("bad.csv"), "-o", F("never.ORV")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(F("never.ORV")));
    EXPECT_NE(r.err.find("refused and nothing was saved (2 problems)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("row 2, column RIC, value '2097152': RIC out of range"),
              std::string::npos);
    EXPECT_NE(r.err.find("row 4, column State, value 'ALARM': unknown state"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("row 3"), std::string::npos) << r.err;
}

TEST_F(ReportCli, UsageAndHelp) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* inOut;
        const char* inErr;
    } cases[] = {
        {{"show", "--help"}, 0, "Usage: orv-cli show IN.ORV [--json | --pdf OUT.pdf", ""},
        {{"diff", "--help"}, 0, "Exit status: 0 the same, 1 different, 2 trouble", ""},
        {{"export-csv", "--help"}, 0, "Usage: orv-cli export-csv", ""},
        {{"import-csv", "--help"}, 0, "Usage: orv-cli import-csv", ""},
        {{"show"}, 2, "", "missing the configuration file to show"},
        {{"show", "x.ORV", "--yaml"}, 2, "", "unknown option '--yaml'"},
        {{"show", "missing.ORV"}, 1, "", "missing.ORV"},
        {{"import-csv", "a.ORV", "t.csv"}, 2, "", "missing the output file"},
        {{"import-csv", "a.ORV"}, 2, "", "missing the configuration file and the table"},
        {{"--help"}, 0, "import-csv", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace orv
