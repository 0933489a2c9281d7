// orv-cli through a device server, end to end: Debian's ser2net in front of the simulated unit's
// pseudo-terminal and the simulator's own listener, each as RFC 2217 and as raw TCP, on loopback
// ports chosen free at run time.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "files/config_file.h"
#include "model/defaults.h"
#include "ser2net_process.h"
#include "sim_process.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

struct Server {
    const char* name;
    bool ser2net;  // else the simulator's own listener
    bool rfc2217;  // else raw TCP
};

// Over RFC 2217 the unit runs at 19200 and the server's port starts at 9600, so Auto Baud has
// to find the rate and every other command must set it; over raw TCP the server's port is the
// unit's rate and Auto Baud refuses. The unit's first version line holds 0xFF, the telnet escape.
TEST(NetE2E, CliThroughEachDeviceServer) {
    const Server servers[] = {{"ser2net_rfc2217", true, true},
                              {"ser2net_raw", true, false},
                              {"sim_rfc2217", false, true},
                              {"sim_raw", false, false}};
    for (const Server& server : servers) {
        SCOPED_TRACE(server.name);
        const std::string dir = fs::temp_directory_path() /
                                ("orv-net-e2e-" + std::to_string(::getpid()) + "-" + server.name);
        fs::create_directories(dir);
        const std::string unitBaud = server.rfc2217 ? "19200" : "9600";
        std::vector<std::string> simArgs = {
            "--eeprom", dir + "/unit.eeprom", "--modules",  "15,13,14,0", "--baud",
            unitBaud,   "--version1",         "ORV \xFF V2"};
        if (!server.ser2net) {
            simArgs.push_back("--listen");
            simArgs.push_back(server.rfc2217 ? "rfc2217:0" : "tcp:0");
        }
        test::SimProcess sim(ORV_UNIT_SIM_PATH, simArgs, dir + "/sim.log");
        std::optional<test::Ser2NetProcess> ser2net;
        if (server.ser2net) ser2net.emplace(dir, sim.Device(), server.rfc2217, 9600);
        const std::string address = server.ser2net ? ser2net->Address() : sim.Device();
        auto cli = [&](std::vector<std::string> args) {
            args.insert(args.end(), {"--device", address});
            if (server.rfc2217) args.insert(args.end(), {"--baud", unitBaud});
            return test::Run(ORV_CLI_PATH, args, dir);
        };

        auto r = test::Run(ORV_CLI_PATH, {"autobaud", "--device", address}, dir);
        if (server.rfc2217) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_NE(r.out.find("Found the unit at 19200 baud on " + address), std::string::npos)
                << r.out;
            EXPECT_NE(r.out.find("The device server set its port to 19200,N,8,1"),
                      std::string::npos)
                << r.out;
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("Auto Baud cannot search the baud rate over raw TCP"),
                      std::string::npos)
                << r.err;
        }

        r = cli({"connect"});
        EXPECT_EQ(r.status, 0) << r.err;
        // 0xFF went through the server doubled and came back one byte: ÿ in the unit's Latin-1.
        EXPECT_NE(r.out.find("Version line 1: ORV \xC3\xBF V2\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Bank 2: Type 13"), std::string::npos) << r.out;

        const std::string read = dir + "/read.ORV", edited = dir + "/edited.ORV";
        r = cli({"read", "-o", read, "--no-history"});
        ASSERT_EQ(r.status, 0) << r.err;
        StartupState s = MakeStartupState();
        Image image{};
        ASSERT_TRUE(ReadConfigFile(read, s.rec, s.moduleTypes, image).ok);
        EXPECT_EQ(s.rec.txtVer[0], "ORV \xFF V2");
        s.rec.txtMsg[0] = std::string("RISER ") + server.name;
        ASSERT_TRUE(WriteConfigFile(edited, s.rec, s.moduleTypes, image).ok);

        r = cli({"write", edited, "--no-history"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("and verified it"), std::string::npos) << r.out;
        r = cli({"verify", edited});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        r = cli({"verify", read});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.out.find("channel 1 RESET: message"), std::string::npos) << r.out;
    }
}

}  // namespace
}  // namespace orv
