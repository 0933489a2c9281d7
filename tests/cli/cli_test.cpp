// Runs the built orv-cli binary and checks what it writes and its exit statuses.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "../test_env.h"
#include "cli_runner.h"

namespace orv {
namespace {

using test::RunResult;

class Cli : public test::CliTest {
  protected:
    std::string F(const std::string& name) const { return dir.File(name); }
};

TEST_F(Cli, HelpAndUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* inOut;  // expected in standard output
        const char* inErr;  // expected in standard error
    } cases[] = {
        {{}, 2, "", "Usage: orv-cli COMMAND"},
        {{"--help"}, 0, "Commands:", ""},
        {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
        {{"new", "--help"}, 0, "Usage: orv-cli new", ""},
        {{"export", "-h"}, 0, "Usage: orv-cli export", ""},
        {{"import", "--help"}, 0, "Usage: orv-cli import", ""},
        {{"resave", "--help"}, 0, "Usage: orv-cli resave", ""},
        {{"size", "--help"}, 0, "Usage: orv-cli size", ""},
        {{"new"}, 2, "", "missing the output file: -o OUT.ORV"},
        {{"new", "-o"}, 2, "", "option '-o' needs a value"},
        {{"new", "--bogus", "-o", "x.ORV"}, 2, "", "unknown option '--bogus'"},
        {{"new", "--modules", "1,2,3", "-o", "x.ORV"}, 2, "", "four module types"},
        {{"new", "--modules", "16,0,0,0", "-o", "x.ORV"}, 2, "", "module type '16' for bank 1"},
        {{"new", "--modules", "0,0,x,0", "-o", "x.ORV"}, 2, "", "module type 'x' for bank 3"},
        {{"new", "extra", "-o", "x.ORV"}, 2, "", "unexpected argument 'extra'"},
        {{"export"}, 2, "", "missing the configuration file to export"},
        {{"import", "in.json"}, 2, "", "missing the output file"},
        {{"resave", "a.ORV"}, 2, "", "missing the output file"},
        {{"size"}, 2, "", "missing the configuration file to measure"},
        {{"size", "a.ORV", "b.ORV"}, 2, "", "unexpected argument 'b.ORV'"},
        {{"history", "--help"}, 0, "'orv-cli write COPY.ORV'", ""},
        {{"history", "--help"}, 0, "\n  backup ", ""},
        {{"history", "--help"}, 0, "\n  write-unverified ", ""},
        {{"history", "--help"}, 0, "\n  before save ", ""},
        {{"read", "--help"}, 0, "--no-history", ""},
        {{"reset", "--help"}, 0, "-v, --verbose", ""},
        {{"read", "--verbose=yes", "-o", "x.ORV"}, 2, "", "option '--verbose' takes no value"},
        {{"new", "--no-history", "-o", "x.ORV"}, 2, "", "unknown option '--no-history'"},
        {{"write", "x.ORV", "--backup", "--no-history"}, 2, "", "cannot go with --no-history"},
        {{"verify"}, 2, "", "missing the configuration file to compare with the unit"},
        {{"verify", "no-such.ORV", "-d", "no-such-device"}, 2, "", "no-such.ORV"},
        // A device server address is checked before anything is opened or sent.
        {{"read", "-o", "x.ORV", "-d", "rfc2217://10.1.2.3"},
         2,
         "",
         "'rfc2217://10.1.2.3' is not a device server address: it has no port"},
        {{"connect", "-d", "tcp://fe80::1:4001"}, 2, "", "goes in brackets"},
        {{"connect", "-d", "rfc2217://[::1]:4001", "--connect-timeout", "0"},
         2,
         "",
         "'0' is not a connect timeout"},
#ifndef _WIN32
        {{"ports", "--map", "COM5=rfc2217://unit:port"}, 2, "", "'port' is not a TCP port"},
        {{"ports", "--map", "COM5=COM3"}, 2, "", "'COM3' is not a device path: write the "},
#endif
        {{"history", "--stale", "5"}, 2, "", "--stale goes with --units"},
        {{"history", "--units", "--stale", "x"}, 2, "", "'x' is not a number of days"},
        {{"fleet", "--help"}, 0, "--ignore FIELDS", ""},
        {{"fleet"}, 2, "", "missing what to do: status, backup, check or write"},
        {{"fleet", "audit", "u.csv"}, 2, "", "'audit' is not a fleet command"},
        {{"fleet", "check"}, 2, "", "orv-cli fleet check: missing the inventory"},
        {{"fleet", "check", "u.csv", "--ignore", "ip,colour"}, 2, "", "'colour' names no field"},
        {{"fleet", "status", "u.csv", "--into", "d"}, 2, "", "--into is for 'fleet backup' only"},
        {{"fleet", "check", "u.csv", "--jobs", "0"}, 2, "", "'0' is not a number of jobs"},
        {{"fleet", "status", "no-such.csv"}, 1, "", "Cannot read the inventory 'no-such.csv'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
    }
    // Every command appears in the global help.
    const RunResult help = Run({"--help"});
    for (const char* name : {"new", "export", "import", "resave", "size"})
        EXPECT_NE(help.out.find(std::string("  ") + name + " "), std::string::npos) << name;
}

TEST_F(Cli, HistoryOfAFolderNotMadeYetIsEmptyNotAnError) {
    SetEnv(kHistoryBaseVariable, F("data"));
    const RunResult r = Run({"history"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "History folder: " + HistoryFolderUnder(F("data")) + "\nNo copies kept yet.\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Cli, NewThenSize) {
    struct Case {
        std::vector<std::string> modules;  // empty: default
        const char* size;
    } cases[] = {
        {{}, "1431 37.28%\n"},
        {{"--modules", "15,0,0,0"}, "1892 49.28%\n"},
        {{"--modules=15,0,0,0"}, "1892 49.28%\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.modules));
        std::vector<std::string> args{"new"};
        args.insert(args.end(), c.modules.begin(), c.modules.end());
        args.insert(args.end(), {"-o", F("n.ORV")});
        const RunResult made = Run(args);
        ASSERT_EQ(made.status, 0) << made.err;
        EXPECT_EQ(made.err, "");
        const RunResult size = Run({"size", F("n.ORV")});
        EXPECT_EQ(size.status, 0) << size.err;
        EXPECT_EQ(size.out, c.size);
    }
    EXPECT_NE(ReadText(F("n.ORV")).find("[Module]\r\nBank 1=15\r\nBank 2=0\r\n"),
              std::string::npos);
}

TEST_F(Cli, FailuresSayWhatAndWhere) {
    WriteText(F("bad.ORV"), "[Module]\r\nBank 1=0\r\nBank 2=0\r\nBank 4=0\r\n");
    WriteText(F("bad.json"), R"({"format":"orv-config/1","txtIP":["1","2","3"]})");
    struct Case {
        std::vector<std::string> args;
        std::string inErr;
    } cases[] = {
        {{"size", F("none.ORV")}, "Cannot open '" + F("none.ORV") + "': the file does not exist."},
        {{"export", F("bad.ORV")},
         "Cannot open '" + F("bad.ORV") + "': 'Bank 3' in [Module] is missing."},
        {{"resave", F("bad.ORV"), "-o", F("out.ORV")}, "'Bank 3' in [Module] is missing."},
        {{"new", "-o", F("no/folder/x.ORV")},
         "Cannot save '" + F("no/folder/x.ORV") + "': the folder does not exist."},
        {{"import", F("bad.json"), "-o", F("out.ORV")},
         "'" + F("bad.json") + "': txtIP: expected an array of 4 strings, found 3 elements"},
        {{"import", F("none.json"), "-o", F("out.ORV")}, "Cannot read '" + F("none.json") + "'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(F("out.ORV")));
}

#ifndef _WIN32
TEST_F(Cli, ADeviceThatIsNoSerialPortIsNamedSo) {
    WriteText(F("plain"), "not a port");
    std::filesystem::create_directories(F("folder"));
    for (const std::string& device : {std::string("/dev/null"), F("folder"), F("plain")}) {
        const RunResult r = Run({"connect", "--device", device});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("\n" + device + " is not a serial port. "), std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.find("serial settings"), std::string::npos) << r.err;
    }
}
#endif

TEST_F(Cli, ExportImportResaveRoundTrip) {
    ASSERT_EQ(Run({"new", "--modules", "15,13,14,0", "-o", F("a.ORV")}).status, 0);

    const RunResult exported = Run({"export", F("a.ORV")});
    ASSERT_EQ(exported.status, 0) << exported.err;
    nlohmann::json j = nlohmann::json::parse(exported.out);
    EXPECT_EQ(exported.out.substr(0, 30), "{\n  \"format\": \"orv-config/1\",\n");
    EXPECT_EQ(j["format"], "orv-config/1");
    EXPECT_EQ(j["ModuleType"], nlohmann::json({15, 13, 14, 0}));
    EXPECT_EQ(j["txtMsg"][0], "BANK 1 CHAN 1 RESET");
    EXPECT_EQ(j["txtMsg"][65], "");  // SLOW of a dry-contact bank is emptied by the build

    // The same JSON through -o.
    ASSERT_EQ(Run({"export", F("a.ORV"), "-o", F("a.json")}).status, 0);
    EXPECT_EQ(ReadText(F("a.json")), exported.out);

    // Import what was exported: the same file comes back.
    ASSERT_EQ(Run({"import", F("a.json"), "-o", F("b.ORV")}).status, 0);
    EXPECT_EQ(ReadText(F("b.ORV")), ReadText(F("a.ORV")));

    // Resave gives the same file as well.
    ASSERT_EQ(Run({"resave", F("a.ORV"), "-o", F("c.ORV")}).status, 0);
    EXPECT_EQ(ReadText(F("c.ORV")), ReadText(F("a.ORV")));

    // An edit made in JSON shows up in the saved file.
    j["txtIP"] = {"10", "0", "0", "42"};
    j["txtMsg"][0] = "PUMP FAULT";
    j["txtRepTime"][1] = "45";  // between two steps: stored as the nearest, and said
    WriteText(F("edited.json"), j.dump());
    const RunResult imported = Run({"import", F("edited.json"), "-o", F("d.ORV")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.err,
              "orv-cli: warning: Repeat time B: 45 s is stored as 40 s (10 s steps)\n");
    const nlohmann::json back = nlohmann::json::parse(Run({"export", F("d.ORV")}).out);
    EXPECT_EQ(back["txtIP"], nlohmann::json({"10", "0", "0", "42"}));
    EXPECT_EQ(back["txtMsg"][0], "PUMP FAULT");
    EXPECT_EQ(back["txtRepTime"][1], "40");
}

TEST_F(Cli, ImportRefusesConfigurationsTheUnitCannotHold) {
    nlohmann::json j;
    j["format"] = "orv-config/1";
    j["ModuleType"] = {15, 15, 15, 15};
    std::vector<std::string> msgs;
    for (int i = 0; i < 256; ++i) {
        std::string m;
        for (int w = 0; m.size() < 60; ++w) m += "W" + std::to_string(i * 100 + w) + " ";
        msgs.push_back(m);
    }
    j["txtMsg"] = msgs;
    WriteText(F("big.json"), j.dump());
    RunResult r = Run({"import", F("big.json"), "-o", F("big.ORV")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bytes too large for the unit"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(F("big.ORV")));

    WriteText(F("ip.json"), R"({"txtIP":["300","0","0","1"]})");
    r = Run({"import", F("ip.json"), "-o", F("ip.ORV")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot save '" + F("ip.ORV") + "'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("300"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(F("ip.ORV")));
}

// An output that replaces a file holding another configuration keeps the old file in the history
// first; writing the same configuration again keeps nothing.
// The history folder is named beyond ASCII (beyond the ANSI code page on Windows).
TEST_F(Cli, OutputOverAnotherConfigurationKeepsTheOldFile) {
    const auto u8 = [](const std::u8string& s) { return std::string(s.begin(), s.end()); };
    const std::string base = u8((dir.path / std::filesystem::path(u8"José Ωμέγα")).u8string());
    SetEnv(kHistoryBaseVariable, base);
    const auto readCopy = [](const std::string& path) {
        std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())),
                         std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string a = F("a.ORV");
    const struct {
        std::vector<std::string> args;
        std::size_t copies;  // in the history afterwards
    } steps[] = {
        {{"new", "-o", a}, 0},       {{"new", "-o", a}, 0},
        {{"resave", a, "-o", a}, 0}, {{"new", "-m", "15,0,0,0", "-o", a}, 1},
        {{"mac-increment", a}, 2},   {{"import-csv", a, F("t.csv"), "-o", a}, 3},
    };
    WriteText(F("t.csv"), "Bank,Channel,State,Message,RIC\r\n1,1,RESET,FIRE,123\r\n");
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::PrintToString(step.args));
        const std::string before = ReadText(a);
        const RunResult r = Run(step.args);
        ASSERT_EQ(r.status, 0) << r.err;
        const RunResult listed = Run({"history"});
        std::size_t copies = 0;  // one line each, starting with its date
        for (std::size_t at = 0; (at = listed.out.find("\n2", at)) != std::string::npos; ++at)
            ++copies;
        EXPECT_EQ(copies, step.copies) << listed.out;
        const auto at = listed.out.find("  before save  a  ");
        if (step.copies == 0 || at == std::string::npos) continue;
        const std::string path = listed.out.substr(at + 18, listed.out.find('\n', at) - at - 18);
        EXPECT_TRUE(path.starts_with(HistoryFolderUnder(base))) << path;
        EXPECT_EQ(readCopy(path), before);  // the newest copy: what the step replaced
    }
}

// Every wrong row of an inventory is named with its line, and nothing starts; golden files are
// taken from the inventory's folder.
TEST_F(Cli, FleetRefusesAnInventoryWithWrongRows) {
    ASSERT_EQ(Run({"new", "-o", F("g.ORV")}).status, 0);
    WriteText(F("units.csv"),
              "Name,Device,Baud,Format,Golden,Room\r\n"
              "ok,tcp://127.0.0.1:9,,n81,g.ORV,kept\r\n"
              "\r\n"
              ",COM1,,,g.ORV\r\n"
              "OK,COM2,,,g.ORV\r\n"
              "a/b,COM3,,,g.ORV\r\n"
              "\"two\r\nlines\",COM3,,,g.ORV\r\n"
              "u7,,,,g.ORV\r\n"
              "u8,rfc2217://10.1.2.3,,,g.ORV\r\n"
              "u9,COM4,9601,,g.ORV\r\n"
              "u10,COM5,9600,N,8,1,g.ORV\r\n"
              "u11,COM6,,\"X,9,1\",g.ORV\r\n"
              "u12,COM7,,,none.ORV\r\n"
              "u13,COM8,,,\r\n");
    const RunResult r = Run({"fleet", "check", F("units.csv")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("line 2:"), std::string::npos) << r.err;
    for (const char* said :
         {"was refused and nothing was started (", "\n  line 4: the unit has no name",
          "\n  line 5: the name \"OK\" is already used on line 2",
          "\n  line 6: the name \"a/b\" cannot name a file",
          "\n  line 7: the name \"two<0x0D><0x0A>lines\" cannot name a file",
          "\n  line 9: unit \"u7\" has no device",
          "\n  line 10: 'rfc2217://10.1.2.3' is not a device server address",
          "\n  line 11: '9601' is not a baud rate",
          "\n  line 12: 7 cells, but the header names 6 columns",
          "\n  line 13: 'X,9,1' is not a serial format", "\n  line 14: Cannot open '",
          "\n  line 15: unit \"u13\" has no golden file"})
        EXPECT_NE(r.err.find(said), std::string::npos) << said << "\n" << r.err;
    // The file as a whole.
    const std::pair<const char*, const char*> files[] = {
        {"device,name\r\n", "lists no units"},
        {"unit,port\r\nu1,COM1\r\n", "line 1: the header row has no column name and device"},
        {"name,device\r\nCaf\xE9,COM1\r\n", "line 2: the inventory is not UTF-8 text"},
    };
    for (const auto& [text, said] : files) {
        WriteText(F("file.csv"), text);
        const RunResult f = Run({"fleet", "status", F("file.csv")});
        EXPECT_EQ(f.status, 1);
        EXPECT_NE(f.err.find(said), std::string::npos) << f.err;
    }
}

// The units in the history: by MAC address where a read or backup copy holds one of its own, a
// write joined to the unit whose copies bear its name, and those not backed up lately marked.
TEST_F(Cli, HistoryListsTheUnitsItHasSeen) {
    const std::string history = HistoryFolderUnder(F("data"));
    std::filesystem::create_directories(history);
    ASSERT_EQ(Run({"new", "-o", F("plain.ORV")}).status, 0);
    ASSERT_EQ(Run({"mac-increment", F("plain.ORV"), "-o", F("mac.ORV")}).status, 0);
    char today[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "%Y-%m-%d %H.%M.%S", std::localtime(&now));
    const std::pair<std::string, const char*> copies[] = {
        {"2020-01-02 10.00.00 read ORV V2", "mac.ORV"},
        {"2020-01-03 10.00.00 backup boiler", "mac.ORV"},
        {"2020-01-04 10.00.00 write boiler", "plain.ORV"},
        {std::string(today) + " backup gate", "plain.ORV"},
        {"2020-01-05 10.00.00 write-unverified lift", "plain.ORV"},
        {"2020-01-06 10.00.00 before new untitled", "plain.ORV"},
    };
    for (const auto& [name, file] : copies)
        std::filesystem::copy_file(F(file), history + "/" + name + ".ORV");
    const RunResult r = Run({"history", "--units"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The line that starts with the unit holds these parts in this order.
    auto shows = [&r](const std::string& unit, const std::vector<std::string>& parts) {
        auto at = r.out.find("\n" + unit + " ");
        const auto end = r.out.find('\n', at + 1);
        for (const auto& p : parts)
            if (at == std::string::npos || (at = r.out.find(p, at)) > end) return false;
        return at != std::string::npos;
    };
    EXPECT_TRUE(shows("50:46:4A:00:00:01 (ORV V2, boiler)",
                      {" - ", "2020-01-02 10:00:00", "2020-01-04 10:00:00", "2020-01-03 10:00:00",
                       "STALE: not backed up for "}))
        << r.out;
    EXPECT_TRUE(shows("gate", {" - "})) << r.out;
    EXPECT_FALSE(shows("gate", {"STALE"})) << r.out;
    EXPECT_TRUE(
        shows("lift", {"2020-01-05 10:00:00 (unverified)", " - ", "STALE: never backed up"}))
        << r.out;
    EXPECT_NE(r.out.find("\n3 units, 2 not backed up within 90 days.\n"), std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace orv
