// orv-cli fleet against a site of simulated units behind their own device servers on loopback:
// units the same as their golden file, changed, silent, refusing a block, going silent in the
// middle of a read, fitted with other modules, and two units on one line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <asio.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "files/config_file.h"
#include "model/defaults.h"
#include "sim_process.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::SimProcess;

class FleetE2E : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("orv-fleet-e2e-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
        history_ = dir_ + "/data/orv-config/history";
        ASSERT_EQ(Cli({"new", "-m", "15,0,0,0", "-o", dir_ + "/golden.ORV"}).status, 0);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A unit behind the simulator's listener (rfc2217, or tcp with raw), logging to NAME.log.
    SimProcess& Unit(const std::string& name, std::vector<std::string> args, bool raw = false) {
        const auto baud = std::find(args.begin(), args.end(), "--baud");
        bauds_[name] = baud == args.end() ? "9600" : *(baud + 1);
        args.insert(args.end(), {"--listen", raw ? "tcp:0" : "rfc2217:0"});
        sims_[name] =
            std::make_unique<SimProcess>(ORV_UNIT_SIM_PATH, args, dir_ + "/" + name + ".log");
        return *sims_[name];
    }
    // The inventory: a row per unit, the name first; rows may share a unit's device.
    void Inventory(const std::vector<std::pair<std::string, std::string>>& rows) {
        std::ofstream csv(dir_ + "/units.csv");
        csv << "Name,Device,Baud,Golden,Room\r\n";
        for (const auto& [name, unit] : rows)
            csv << name << "," << sims_.at(unit)->Device() << "," << bauds_.at(unit)
                << ",golden.ORV,plant\r\n";
    }
    test::RunResult Cli(const std::vector<std::string>& args) {
        return test::Run(ORV_CLI_PATH, args, dir_);
    }
    // The run's JSON units by name.
    static std::map<std::string, nlohmann::json> Units(const test::RunResult& r) {
        std::map<std::string, nlohmann::json> units;
        const nlohmann::json run = nlohmann::json::parse(r.out);
        for (const auto& u : run.at("units")) units[u.at("name").get<std::string>()] = u;
        return units;
    }
    int CopiesNamed(const std::string& part) const {
        int n = 0;
        std::error_code ec;
        for (fs::directory_iterator it(history_, ec), end; !ec && it != end; it.increment(ec))
            n += it->path().filename().string().find(part) != std::string::npos;
        return n;
    }

    std::string dir_, history_;
    std::map<std::string, std::unique_ptr<SimProcess>> sims_;
    std::map<std::string, std::string> bauds_;
};

TEST_F(FleetE2E, BackupCheckAndWriteASite) {
    Unit("same", {"--pace", "--baud", "115200"});  // shared by two rows: a second at once fails
    Unit("changed", {}, true);
    Unit("silent", {"--silent"});
    Unit("refusing", {"--refuse-block", "5"});
    Unit("stops", {"--stop-after", "100"});
    Unit("other", {"--modules", "15,13,0,0"});
    // The changed unit holds another message and IP address than the golden file.
    StartupState s = MakeStartupState();
    Image image{};
    ASSERT_TRUE(ReadConfigFile(dir_ + "/golden.ORV", s.rec, s.moduleTypes, image).ok);
    s.rec.txtMsg[0] = "RISER EAST";
    s.rec.txtIP[3] = "7";
    ASSERT_TRUE(WriteConfigFile(dir_ + "/changed.ORV", s.rec, s.moduleTypes, image).ok);
    ASSERT_EQ(
        Cli({"write", dir_ + "/changed.ORV", "-d", sims_["changed"]->Device(), "--no-history"})
            .status,
        0);
    Inventory({{"same-a", "same"},
               {"same-b", "same"},
               {"changed", "changed"},
               {"silent", "silent"},
               {"refusing", "refusing"},
               {"stops", "stops"},
               {"other", "other"}});
    const std::string csv = dir_ + "/units.csv";

    // Backup: a unit that goes silent in the middle of its read is reported and not kept.
    auto r = Cli({"fleet", "backup", csv, "--into", dir_ + "/backups", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    auto units = Units(r);
    for (const char* kept : {"same-a", "same-b", "changed", "refusing", "other"}) {
        EXPECT_EQ(units[kept]["outcome"], "backed up") << kept << r.err;
        EXPECT_EQ(CopiesNamed(std::string("backup ") + kept), 1) << kept;
        EXPECT_TRUE(fs::exists(dir_ + "/backups/" + kept + ".ORV")) << kept;
    }
    EXPECT_EQ(units["other"]["modules"], nlohmann::json::parse("[15,13,0,0]"));
    EXPECT_EQ(units["changed"]["columns"]["Room"], "plant");
    EXPECT_NE(units["stops"]["errors"].dump().find("Comms failure while getting EEprom"),
              std::string::npos);
    for (const char* lost : {"silent", "stops"}) {
        EXPECT_EQ(units[lost]["outcome"], "not backed up") << lost;
        EXPECT_EQ(CopiesNamed(lost), 0) << lost;
        EXPECT_FALSE(fs::exists(dir_ + "/backups/" + lost + ".ORV")) << lost;
    }

    // Check: the differences in diff's words; 2 wins over 1; --ignore leaves fields out.
    r = Cli({"fleet", "check", csv, "--json", "--report", dir_ + "/site.html"});
    EXPECT_EQ(r.status, 2) << r.err;
    units = Units(r);
    const std::map<std::string, std::string> outcomes{
        {"same-a", "same"},     {"same-b", "same"},   {"changed", "different"},
        {"silent", "not read"}, {"refusing", "same"}, {"stops", "not read"},
        {"other", "different"}};
    for (const auto& [name, outcome] : outcomes) EXPECT_EQ(units[name]["outcome"], outcome) << name;
    EXPECT_EQ(units["changed"]["differences"],
              nlohmann::json::parse(R"(["IP address: 0.0.0.0 -> 0.0.0.7",
                  "Bank 1 channel 1 RESET: message 'BANK 1 CHAN 1 RESET' -> 'RISER EAST'"])"));
    EXPECT_EQ(units["other"]["differences"][0],
              "Bank 2 module: NOT FITTED -> Type 13: 16-Channel Dry Contact Input Module");
    EXPECT_TRUE(sims_["same"]->LogStarting("net | | refused").empty());
    const std::string html = test::ReadFile(dir_ + "/site.html");
    EXPECT_EQ(html.find("<script"), std::string::npos);
    for (const auto& [name, outcome] : outcomes)
        EXPECT_NE(html.find(">" + name + "</"), std::string::npos) << name;
    r = Cli({"fleet", "check", csv, "--json", "--ignore", "ip,message,module"});
    units = Units(r);
    EXPECT_EQ(units["changed"]["outcome"], "same");
    EXPECT_EQ(units["changed"]["differences_ignored"], 2);

    // Write: backed up first, verified after; never over other modules; a refused block stops.
    r = Cli({"fleet", "write", csv, "--yes", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    units = Units(r);
    for (const char* written : {"same-a", "same-b", "changed"})
        EXPECT_EQ(units[written]["outcome"], "written and verified") << written << r.err;
    EXPECT_EQ(units["refusing"]["outcome"], "partly written");
    // The block refused four times is not held: the count is the acknowledged one.
    EXPECT_EQ(units["refusing"]["blocks_written"], 5);
    EXPECT_EQ(units["refusing"]["blocks_acknowledged"], 5);
    EXPECT_EQ(units["other"]["outcome"], "not written");
    EXPECT_NE(units["other"]["errors"].dump().find("modules differ"), std::string::npos);
    EXPECT_TRUE(sims_["other"]->LogStarting("write ").empty());
    EXPECT_EQ(units["silent"]["outcome"], "not written");

    // The units the history has seen: by name here (every simulator holds the default MAC), with
    // the times of their last write and backup (two colons each), a partly written one without.
    r = Cli({"history", "--units"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& line : test::Lines(r.out)) {
        const bool written = line.starts_with("changed ") || line.starts_with("same-a ");
        if (written || line.starts_with("refusing ")) {
            EXPECT_EQ(std::count(line.begin(), line.end(), ':'), written ? 4 : 2) << line;
        }
    }
}

// The highest block the unit acknowledged, plus one, from its log ("write N | ... | sent 06"),
// counting the writes after the first `earlier` of them.
int BlocksAcknowledged(const SimProcess& unit, std::size_t earlier) {
    const auto writes = unit.LogStarting("write ");
    int held = 0;
    for (std::size_t k = earlier; k < writes.size(); ++k)
        if (writes[k].find("| sent 06") != std::string::npos)
            held = std::max(held, std::stoi(writes[k].substr(6)) + 1);
    return held;
}

// Ctrl+C during a write: Writes under way end, no unit starts; twice: they stop half way, and
// each unit's count covers every block its simulator acknowledged (a block sent counts).
TEST_F(FleetE2E, CtrlCSaysWhichUnitsWereWrittenPartlyOrNotAtAll) {
    for (const char* name : {"u1", "u2", "u3"}) Unit(name, {"--pace", "--baud", "57600"});
    Inventory({{"u1", "u1"}, {"u2", "u2"}, {"u3", "u3"}});
    for (const int presses : {1, 2}) {
        SCOPED_TRACE(presses);
        fs::remove_all(history_);
        std::map<std::string, std::size_t> earlier;
        for (const char* name : {"u1", "u2"})
            earlier[name] = sims_[name]->LogStarting("write ").size();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::freopen((dir_ + "/out").c_str(), "w", stdout);
            ::freopen((dir_ + "/err").c_str(), "w", stderr);
            ::execl(ORV_CLI_PATH, ORV_CLI_PATH, "fleet", "write", (dir_ + "/units.csv").c_str(),
                    "--yes", "--jobs", "2", "--json", "--report", (dir_ + "/site.html").c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Two units backed up: their Writes begin.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (CopiesNamed("backup") < 2 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int k = 0; k < presses; ++k) {
            ::kill(pid, SIGINT);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 130);
        // A block in flight when the run ended is taken by the unit a moment later.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const std::string text = test::ReadFile(dir_ + "/err");
        const auto units = Units({0, test::ReadFile(dir_ + "/out"), ""});
        const std::string html = test::ReadFile(dir_ + "/site.html");
        if (presses == 1) {
            EXPECT_NE(text.find("Written: u1, u2.\n"), std::string::npos) << text;
        } else {
            EXPECT_NE(text.find("Partly written, holding a mix"), std::string::npos) << text;
            EXPECT_EQ(text.find("Written:"), std::string::npos) << text;
            for (const char* name : {"u1", "u2"}) {
                const int acknowledged = BlocksAcknowledged(*sims_[name], earlier[name]);
                const int held = units.at(name).at("blocks_written");
                EXPECT_GT(acknowledged, 0) << name;
                EXPECT_LT(acknowledged, 240) << name;
                EXPECT_GE(held, acknowledged) << name;
                EXPECT_LE(held, acknowledged + 1) << name;
                EXPECT_EQ(units.at(name).at("outcome"), "partly written") << name;
                const std::string words =
                    "partly written (up to " + std::to_string(held) + " of 240)";
                EXPECT_NE(text.find(std::string(name) + " ("), std::string::npos) << text;
                EXPECT_NE(text.find(words), std::string::npos) << words << "\n" << text;
                EXPECT_NE(html.find(words), std::string::npos) << words;
            }
        }
        EXPECT_NE(text.find("Untouched: u3.\n"), std::string::npos) << text;
        EXPECT_TRUE(sims_["u3"]->LogStarting("write ").empty());
        // The report names the backup each unit was given before its Write.
        for (const char* name : {"u1", "u2"})
            EXPECT_NE(html.find(" backup " + std::string(name)), std::string::npos) << name;
    }
}

// A unit that goes silent in the middle of its Write may have taken the block whose
// acknowledgement never came: it counts, and the unit is partly written up to it.
TEST_F(FleetE2E, ABlockSentWithoutAnswerCountsAsPossiblyTaken) {
    // The backup reads 256 blocks; the 45th write is the last the unit answers.
    Unit("fading", {"--stop-after", std::to_string(256 + 45)});
    Inventory({{"fading", "fading"}});
    const auto r = Cli({"fleet", "write", dir_ + "/units.csv", "--yes", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    const auto u = Units(r).at("fading");
    EXPECT_EQ(u.at("outcome"), "partly written");
    EXPECT_EQ(u.at("blocks_acknowledged"), 45);
    EXPECT_EQ(u.at("blocks_written"), 46);
    EXPECT_EQ(BlocksAcknowledged(*sims_["fading"], 0), 45);
    EXPECT_NE(r.err.find("fading ("), std::string::npos);
    EXPECT_NE(r.err.find("): partly written (up to 46 of 240)"), std::string::npos) << r.err;
}

// On a terminal the block of units at work is cut to the terminal's height, so that redrawing it
// never leaves lines scrolled out of reach: 30 units connecting at once on 15 rows.
TEST_F(FleetE2E, TheLiveBlockFitsTheTerminal) {
    constexpr int kRows = 15, kUnits = 30;
    // Servers that take the connection and never negotiate: each unit stays "connecting".
    asio::io_context io;
    std::vector<std::unique_ptr<asio::ip::tcp::acceptor>> servers;
    {
        std::ofstream csv(dir_ + "/units.csv");
        csv << "name,device\r\n";
        for (int k = 0; k < kUnits; ++k) {
            servers.push_back(std::make_unique<asio::ip::tcp::acceptor>(
                io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)));
            csv << "u" << k << ",rfc2217://127.0.0.1:" << servers.back()->local_endpoint().port()
                << "\r\n";
        }
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    winsize size{};
    size.ws_row = kRows;
    size.ws_col = 100;
    ::ioctl(master, TIOCSWINSZ, &size);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int slave = ::open(terminal.c_str(), O_RDWR);
        ::dup2(slave, STDERR_FILENO);
        ::freopen((dir_ + "/out").c_str(), "w", stdout);
        ::execl(ORV_CLI_PATH, ORV_CLI_PATH, "fleet", "status", (dir_ + "/units.csv").c_str(),
                "--jobs", "30", "--connect-timeout", "1.5", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string shown;
    for (;;) {
        pollfd pfd{master, POLLIN, 0};
        if (::poll(&pfd, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) shown.append(buffer, static_cast<std::size_t>(n));
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) break;
    }
    ::close(master);
    // Each redraw first moves up over the lines drawn before: never more than fit.
    int most = 0, redraws = 0;
    for (auto at = shown.find("\x1b["); at != std::string::npos; at = shown.find("\x1b[", at + 1)) {
        const auto end = shown.find_first_not_of("0123456789", at + 2);
        if (end == std::string::npos || shown[end] != 'A' || end == at + 2) continue;
        most = std::max(most, std::stoi(shown.substr(at + 2, end - at - 2)));
        ++redraws;
    }
    EXPECT_GT(redraws, 0);
    EXPECT_LE(most, kRows - 2);
    EXPECT_GT(most, 3);
    EXPECT_NE(shown.find("more lines"), std::string::npos);
}

// Ctrl+C reaches a unit still connecting: a server that never accepts does not hold the run for
// its connect timeout.
TEST_F(FleetE2E, CtrlCStopsAUnitThatIsStillConnecting) {
    Unit("slow", {"--never-accept"});
    Inventory({{"slow", "slow"}});
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::freopen((dir_ + "/out").c_str(), "w", stdout);
        ::freopen((dir_ + "/err").c_str(), "w", stderr);
        ::execl(ORV_CLI_PATH, ORV_CLI_PATH, "fleet", "status", (dir_ + "/units.csv").c_str(),
                "--connect-timeout", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_NE(test::ReadFile(dir_ + "/out").find("slow ("), std::string::npos);
    EXPECT_NE(test::ReadFile(dir_ + "/out").find("Stopped by Ctrl+C."), std::string::npos)
        << test::ReadFile(dir_ + "/out");
}

// One device server written two ways is one line: its units run one after another, never two
// connections at once.
TEST_F(FleetE2E, OneServerWrittenTwoWaysIsOneLine) {
    SimProcess& unit = Unit("both", {"--pace", "--baud", "115200"});
    const std::string port = unit.Device().substr(unit.Device().rfind(':') + 1);
    {
        std::ofstream csv(dir_ + "/units.csv");
        csv << "name,device,baud\r\n"
            << "by-address,rfc2217://127.0.0.1:" << port << ",115200\r\n"
            << "by-name,rfc2217://localhost:" << port << ",115200\r\n"
            << "by-case,RFC2217://LOCALHOST:" << port << ",115200\r\n";
    }
    const auto r = Cli({"fleet", "status", dir_ + "/units.csv", "--json", "--jobs", "3", "-v"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& [name, u] : Units(r)) EXPECT_EQ(u.at("outcome"), "reachable") << name;
    EXPECT_TRUE(unit.LogStarting("net | | refused").empty());
    // The activity log, each line headed by its unit and set apart from the time after it.
    const auto count = [&r](const std::string& part) {
        std::size_t n = 0;
        for (auto at = r.err.find(part); at != std::string::npos; at = r.err.find(part, at + 1))
            ++n;
        return n;
    };
    EXPECT_GT(count("\nby-name: "), 0u) << r.err;
    EXPECT_EQ(count("by-name:"), count("by-name: ")) << r.err;
}

// What a unit or a file says is shown as text wherever it goes: escaped for JSON (C1 controls
// too), visible escapes on the page, markup never taken as markup; module types by name.
TEST_F(FleetE2E, HostileTextIsEscapedForEachSink) {
    const std::string hostile =
        "ORV \x1B]0;owned\x07 <script>alert(1)</script> \x9B"
        "2J";
    Unit("odd", {"--version1", hostile, "--modules", "15,13,14,0"});
    {
        std::ofstream csv(dir_ + "/units.csv");
        csv << "name,device,Note\r\n"
            << "odd," << sims_["odd"]->Device() << ",\"<b>\xC2\x9B</b>\"\r\n";
    }
    const auto r =
        Cli({"fleet", "status", dir_ + "/units.csv", "--json", "--report", dir_ + "/site.html"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* raw : {"\x1B", "\x07", "\xC2\x9B"}) {
        EXPECT_EQ(r.out.find(raw), std::string::npos) << "raw in the JSON";
        EXPECT_EQ(r.err.find(raw), std::string::npos) << "raw on the terminal";
    }
    EXPECT_NE(r.out.find("\\u001b]0;owned\\u0007"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\\u009b2J"), std::string::npos) << r.out;
    // The version line as the unit sent it (Latin-1 read as such), when the JSON is read back.
    EXPECT_EQ(Units(r).at("odd").at("firmware").at(0),
              "ORV \x1B]0;owned\x07 <script>alert(1)</script> \xC2\x9B"
              "2J");
    const std::string html = test::ReadFile(dir_ + "/site.html");
    for (const char* raw : {"\x1B", "\x07", "\xC2\x9B", "<script", "<b>"})
        EXPECT_EQ(html.find(raw), std::string::npos) << raw;
    EXPECT_NE(html.find("ORV \\x1B]0;owned\\x07 &lt;script&gt;alert(1)&lt;/script&gt; \\x9B2J"),
              std::string::npos);
    EXPECT_NE(html.find("<thead>"), std::string::npos);
    EXPECT_NE(html.find("Bank 2: Type 13: 16-Channel Dry Contact Input Module"), std::string::npos);
}

// backup --into keeps the units' backups in the folder given even when the history cannot keep
// them (a history folder that is a file here).
TEST_F(FleetE2E, BackupIntoAFolderWithoutAHistory) {
    Unit("u1", {});
    Inventory({{"u1", "u1"}});
    fs::create_directories(dir_ + "/blocked");
    std::ofstream(dir_ + "/blocked/orv-config") << "a file where the history's folder goes";
    ::setenv("XDG_DATA_HOME", (dir_ + "/blocked").c_str(), 1);
    const auto r =
        Cli({"fleet", "backup", dir_ + "/units.csv", "--into", dir_ + "/backups", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_ + "/backups/u1.ORV"));
    const auto u = Units(r).at("u1");
    EXPECT_EQ(u.at("outcome"), "backed up");
    EXPECT_NE(u.at("warnings").dump().find("Cannot keep a copy in the history folder"),
              std::string::npos)
        << u.dump();
}

}  // namespace
}  // namespace orv
