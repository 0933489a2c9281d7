// Runs the built orv-cli binary and checks what it writes and its exit statuses.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "../print/pdf_text.h"
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
        // A report that cannot be written is refused before the inventory is even read.
        {{"fleet", "check", "no-such.csv", "--report", "/no-such-folder/site.html"},
         2,
         "",
         "Cannot write the report '/no-such-folder/site.html': there is no folder "
         "/no-such-folder/. Nothing was started."},
        {{"fleet", "status", "no-such.csv", "--report", "."}, 2, "", "it is a folder"},
        // Seconds in decimals only: "0x10" is no 16 s.
        {{"connect", "-d", "rfc2217://[::1]:4001", "--connect-timeout", "0x10"},
         2,
         "",
         "'0x10' is not a connect timeout"},
        {{"connect", "-d", "rfc2217://[::1]:4001", "--connect-timeout", "1e1"},
         2,
         "",
         "'1e1' is not a connect timeout"},
        {{"connect", "-d", "rfc2217://[:]:4500"}, 2, "", "'[:]' is not an IPv6 address"},
        // What was typed is echoed, never obeyed by the terminal.
        {{"frob\x1B]0;owned\x07"}, 2, "", "unknown command 'frob\\x1B]0;owned\\x07'"},
        {{"new", "-o", "x.ORV",
          "--\xC2\x9B"
          "2J"},
         2,
         "",
         "unknown option '--\\x9B2J'"},
        {{"show", "--help"}, 0, "--pdf OUT.pdf", ""},
        {{"show", "a.ORV", "--json", "--pdf", "a.pdf"},
         2,
         "",
         "--json and --pdf cannot go together"},
        {{"show", "a.ORV", "--paper", "A4"}, 2, "", "--paper goes with --pdf OUT.pdf"},
        {{"show", "a.ORV", "--pdf", "a.pdf", "--paper", "B5"}, 2, "", "'B5' is not a paper size"},
        {{"show", "a.ORV", "--pdf"}, 2, "", "option '--pdf' needs a value"},
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

// Settings that cannot work as meant are named by every way a configuration comes in or is
// shown, and never refused.
TEST_F(Cli, ImpossibleSettingsAreNamedNotRefused) {
    const std::string window =
        "orv-cli: warning: Fast ON Min 500 ms is above Fast ON Max 380 ms: no pulse can fall in "
        "that window.\n";
    const std::string range =
        "orv-cli: warning: Bank 1 relay 1 Close: first RIC 2000020 is above last RIC 2000010: the "
        "range holds no RIC.\n";
    ASSERT_EQ(Run({"new", "--modules", "14,0,0,0", "-o", F("relays.ORV")}).status, 0);
    nlohmann::json j = nlohmann::json::parse(Run({"export", F("relays.ORV")}).out);
    j["txtPulseTime"][0] = "500";
    j["txtRlyRIC"][0] = "2000020";
    j["txtRlyRIC"][4] = "2000010";
    WriteText(F("odd.json"), j.dump());
    WriteText(F("odd.csv"),
              "Bank,Channel,State,RIC,RIC To,Function,Pager Type,Paging Rate,Repeat,Seconds,"
              "Message\n1,1,Close,2000020,2000010,A,,,,0,\n");
    struct Row {
        std::vector<std::string> args;
        std::string warnings;
    };
    const Row rows[] = {
        {{"import", F("odd.json"), "-o", F("odd.ORV")}, window + range},
        {{"show", F("odd.ORV")}, window + range},
        // The table names the row as well.
        {{"import-csv", F("relays.ORV"), F("odd.csv"), "-o", F("csv.ORV")},
         "orv-cli: warning: row 2: bank 1 relay 1 Close: the RIC range 2000020-2000010 ends "
         "before it starts\n" +
             range},
        {{"show", F("relays.ORV")}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[1]);
        const RunResult r = Run(row.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, row.warnings);
    }
    const nlohmann::json back = nlohmann::json::parse(Run({"export", F("odd.ORV")}).out);
    EXPECT_EQ(back["txtPulseTime"][0], "500");
    EXPECT_EQ(back["txtRlyRIC"][4], "2000010");
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

// A message longer than anyone can type is cut to 69 characters on the way in, and said, whether
// or not the unit could have held it packed.
TEST_F(Cli, ImportCutsLongMessagesAndSaysSo) {
    nlohmann::json j;
    j["ModuleType"] = {15, 0, 0, 0};
    std::vector<std::string> msgs(256, "");
    msgs[1] = "X01 ALARM " + std::string(70, 'Q');
    j["txtMsg"] = msgs;
    WriteText(F("long.json"), j.dump());
    const RunResult imported = Run({"import", F("long.json"), "-o", F("long.ORV")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.err,
              "orv-cli: warning: txtMsg[1]: longer than 69 characters: cut to 69; \"QQQQQQQQQQQ\" "
              "was left out.\n");
    const nlohmann::json back = nlohmann::json::parse(Run({"export", F("long.ORV")}).out);
    EXPECT_EQ(back["txtMsg"][1], "X01 ALARM " + std::string(59, 'Q'));
}

// show --pdf: the commissioning sheet, whose text holds every message, RIC and module name of the
// fitted banks. orv-cli.exe has no Qt to draw it with, and says where to get one.
TEST_F(Cli, ShowWritesTheCommissioningSheetAsAPdf) {
    ASSERT_EQ(Run({"new", "-m", "15,13,14,0", "-o", F("site.ORV")}).status, 0);
    const nlohmann::json j = nlohmann::json::parse(Run({"export", F("site.ORV")}).out);
#ifdef _WIN32
    const RunResult r = Run({"show", F("site.ORV"), "--pdf", F("site.pdf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write PDF files"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("File > Export PDF"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(F("site.pdf")));
#else
    const RunResult r = Run({"show", F("site.ORV"), "--pdf", F("site.pdf"), "--paper", "letter"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("Wrote the commissioning sheet of '" + F("site.ORV") + "' to '" +
                                  F("site.pdf") + "': "))
        << r.out;
    EXPECT_TRUE(r.out.ends_with(" pages, Letter.\n")) << r.out;
    const std::string text = test::PdfText(F("site.pdf"));
    EXPECT_NE(text.find("site.ORV"), std::string::npos);
    // Banks 1 and 2 take input: the states their module shows; bank 3 is a relay bank.
    for (int i = 0; i < 128; ++i) {
        const bool contact = i >= 64, shown = !contact || i % 4 == 0 || i % 4 == 3;
        const std::string msg = j["txtMsg"][i], ric = j["txtRIC"][i];
        if (shown) {
            EXPECT_NE(text.find(msg), std::string::npos) << msg;
            EXPECT_NE(text.find(ric), std::string::npos) << ric;
        } else {
            // What the default held there (the build empties it): not on the sheet either way.
            const std::string unused = "BANK 2 CHAN " + std::to_string((i % 64) / 4 + 1) +
                                       (i % 4 == 1 ? " SLOW" : " FAST");
            EXPECT_EQ(text.find(unused), std::string::npos) << unused;
        }
    }
    for (int k = 128; k < 192; ++k) {
        if (k % 8 != 3 && k % 8 != 7) {
            EXPECT_NE(text.find(j["txtRlyRIC"][k].get<std::string>()), std::string::npos) << k;
        }
    }
    for (const char* name :
         {"Type 15: 16-Channel Opto-Isolated DC Voltage Input Module",
          "Type 13: 16-Channel Dry Contact Input Module", "Type 14: 8-Channel Relay Output Module"})
        EXPECT_NE(text.find(name), std::string::npos) << name;
    EXPECT_EQ(text.find("BANK 4 CHAN"), std::string::npos);  // not fitted

    // The paper of the locale, unless told; a file that cannot be written is said.
    const struct {
        std::vector<std::string> extra;
        const char* lang;
        const char* paper;
    } papers[] = {
        {{}, "en_US.UTF-8", " pages, Letter.\n"},
        {{}, "en_GB.UTF-8", " pages, A4.\n"},
        {{"--paper", "A4"}, "en_US.UTF-8", " pages, A4.\n"},
    };
    const char* const localeVariables[] = {"LC_ALL", "LC_PAPER", "LANG"};
    std::vector<std::pair<std::string, std::string> > saved;
    for (const char* v : localeVariables)
        if (const char* value = std::getenv(v)) saved.emplace_back(v, value);
    for (const auto& p : papers) {
        SCOPED_TRACE(p.lang);
        UnsetEnv("LC_ALL");
        UnsetEnv("LC_PAPER");
        SetEnv("LANG", p.lang);
        std::vector<std::string> args{"show", F("site.ORV"), "--pdf", F("p.pdf")};
        args.insert(args.end(), p.extra.begin(), p.extra.end());
        const RunResult paper = Run(args);
        EXPECT_EQ(paper.status, 0) << paper.err;
        EXPECT_TRUE(paper.out.ends_with(p.paper)) << paper.out;
    }
    for (const char* v : localeVariables) UnsetEnv(v);
    for (const auto& [name, value] : saved) SetEnv(name.c_str(), value);
    const RunResult refused = Run({"show", F("site.ORV"), "--pdf", F("no such folder/x.pdf")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Cannot write '" + F("no such folder/x.pdf") + "': "),
              std::string::npos)
        << refused.err;
#endif
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
          "\n  line 7: the name \"two\\x0D\\x0Alines\" cannot name a file",
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

// Inventories as spreadsheets save them: names counted in characters and shown as written, a
// file separated by semicolons told so, two columns of one name both kept, and a refused
// inventory still answered in JSON when JSON is asked for.
TEST_F(Cli, FleetInventoryAsSpreadsheetsWriteIt) {
    ASSERT_EQ(Run({"new", "-o", F("g.ORV")}).status, 0);
    std::string dashes60;  // 60 characters, 120 bytes
    for (int k = 0; k < 30; ++k) dashes60 += "a\xE2\x80\x93";
    const std::string dashes61 = dashes60 + "b";
    const struct {
        std::string csv;
        int status;
        std::string inErr;     // expected on standard error
        const char* notInErr;  // never on standard error
    } cases[] = {
        {"name,device\r\n" + dashes60 + ",tcp://127.0.0.1:9\r\n", 1, "", "longer than"},
        {"name,device\r\n" + dashes61 + ",tcp://127.0.0.1:9\r\n", 1,
         "\"" + dashes61 + "\" is longer than 60 characters", "<0x"},
        {"name;device;golden\r\nu1;COM1;g.ORV\r\n", 1, "separated by semicolons", ""},
        {"name,device\r\nu1,COM1\r\n", 1, "", "semicolons"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv);
        WriteText(F("units.csv"), c.csv);
        const RunResult r = Run({"fleet", "status", F("units.csv"), "--connect-timeout", "1"});
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
        if (*c.notInErr) {
            EXPECT_EQ(r.err.find(c.notInErr), std::string::npos) << r.err;
        }
    }

    WriteText(F("units.csv"),
              "name,device,Room,Room,Note\r\nu1,tcp://127.0.0.1:9,a,b,\xC2\x9B\r\n");
    RunResult r = Run({"fleet", "status", F("units.csv"), "--json", "--connect-timeout", "1"});
    EXPECT_EQ(r.status, 1) << r.err;
    // C1 controls are escaped although JSON would let them through: U+009B is a CSI.
    EXPECT_EQ(r.out.find("\xC2\x9B"), std::string::npos);
    EXPECT_NE(r.out.find("\\u009b"), std::string::npos) << r.out;
    auto units = nlohmann::json::parse(r.out).at("units");
    EXPECT_EQ(units.at(0).at("columns"),
              nlohmann::json::parse(R"j({"Room": "a", "Room (2)": "b", "Note": "\u009b"})j"));

    // One unit is asked about as one; with no answer (standard input empty) nothing is written.
    WriteText(F("units.csv"), "name,device,golden\r\nu1,tcp://127.0.0.1:9,g.ORV\r\n");
    r = Run({"fleet", "write", F("units.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("This unit will be written, backed up to the history first"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Write it? [y/N]"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Nothing was written"), std::string::npos) << r.err;

    WriteText(F("units.csv"), "name,device\r\nu1,\r\n");
    r = Run({"fleet", "check", F("units.csv"), "--json"});
    EXPECT_EQ(r.status, 2);
    const auto refused = nlohmann::json::parse(r.out);
    EXPECT_EQ(refused.at("exit_status"), 2);
    EXPECT_EQ(refused.at("units"), nlohmann::json::array());
    ASSERT_FALSE(refused.at("refused").empty());
    EXPECT_NE(refused.dump().find("line 1: the header row has no column golden"), std::string::npos)
        << r.out;
}

// A unit replaced by another of the same name, a name that ends as a copy's number does, a copy
// that no longer opens: each unit is listed once, with its own writes.
TEST_F(Cli, HistoryUnitsOfOneNameStayApart) {
    SetEnv(kHistoryBaseVariable, F("data"));
    const std::string history = HistoryFolderUnder(F("data"));
    std::filesystem::create_directories(history);
    ASSERT_EQ(Run({"new", "-o", F("plain.ORV")}).status, 0);
    ASSERT_EQ(Run({"mac-increment", F("plain.ORV"), "-o", F("mac1.ORV")}).status, 0);
    ASSERT_EQ(Run({"mac-increment", F("mac1.ORV"), "-o", F("mac2.ORV")}).status, 0);
    WriteText(F("broken.ORV"), "not a configuration");
    const std::pair<const char*, const char*> copies[] = {
        // oldest first
        {"2020-01-02 10.00.00 backup pump", "mac1.ORV"},
        {"2020-01-02 10.00.01 write pump", "plain.ORV"},
        {"2020-03-01 10.00.00 backup pump", "mac2.ORV"},
        {"2020-03-01 10.00.01 write pump", "plain.ORV"},
        {"2020-04-01 10.00.00 backup pump (2) (1)", "plain.ORV"},
        {"2020-04-02 10.00.00 backup broken", "broken.ORV"},
    };
    int age = static_cast<int>(std::size(copies));
    for (const auto& [name, file] : copies) {
        const std::string path = history + "/" + name + ".ORV";
        std::filesystem::copy_file(F(file), path);
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(age--));
    }
    const RunResult r = Run({"history", "--units"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"\n50:46:4A:00:00:01 (pump)  ", "\n50:46:4A:00:00:02 (pump)  ", "\npump (2)  ",
          "\nbroken  ", "\n4 units, 4 not backed up within 90 days.\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    const auto lineOf = [&r](const std::string& start) {
        const auto at = r.out.find("\n" + start);
        return r.out.substr(at, r.out.find('\n', at + 1) - at);
    };
    EXPECT_NE(lineOf("50:46:4A:00:00:01").find("2020-01-02 10:00:01"), std::string::npos) << r.out;
    EXPECT_NE(lineOf("50:46:4A:00:00:02").find("2020-03-01 10:00:01"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\npump  "), std::string::npos) << r.out;  // no third pump
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
