// orv-cli fleet against a site of simulated units behind their own device servers on loopback:
// units the same as their golden file, changed, silent, refusing a block, going silent in the
// middle of a read, fitted with other modules, and two units on one line.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
    EXPECT_EQ(units["refusing"]["blocks_written"], 5);
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

// Ctrl+C during a write: Writes under way end, no unit starts; twice: they stop half way.
TEST_F(FleetE2E, CtrlCSaysWhichUnitsWereWrittenPartlyOrNotAtAll) {
    for (const char* name : {"u1", "u2", "u3"}) Unit(name, {"--pace", "--baud", "57600"});
    Inventory({{"u1", "u1"}, {"u2", "u2"}, {"u3", "u3"}});
    for (const int presses : {1, 2}) {
        SCOPED_TRACE(presses);
        fs::remove_all(history_);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::freopen((dir_ + "/out").c_str(), "w", stdout);
            ::freopen((dir_ + "/err").c_str(), "w", stderr);
            ::execl(ORV_CLI_PATH, ORV_CLI_PATH, "fleet", "write", (dir_ + "/units.csv").c_str(),
                    "--yes", "--jobs", "2", static_cast<char*>(nullptr));
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
        const std::string out = test::ReadFile(dir_ + "/out");
        if (presses == 1) {
            EXPECT_NE(out.find("Written: u1, u2.\n"), std::string::npos) << out;
        } else {
            EXPECT_NE(out.find("Partly written, holding a mix"), std::string::npos) << out;
            EXPECT_EQ(out.find("Written:"), std::string::npos) << out;
        }
        EXPECT_NE(out.find("Untouched: u3.\n"), std::string::npos) << out;
        EXPECT_TRUE(sims_["u3"]->LogStarting("write ").empty());
    }
}

}  // namespace
}  // namespace orv
