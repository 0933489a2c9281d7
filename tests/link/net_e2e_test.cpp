// orv-cli through a device server, end to end: Debian's ser2net in front of the simulated unit's
// pseudo-terminal and the simulator's own listener, each as RFC 2217 and as raw TCP, on loopback
// ports chosen free at run time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <asio.hpp>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

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

// A run of orv-cli measured: its status, output, wall time and peak memory. Killed after
// limit, as a server that holds the link for ever would otherwise hold the test.
struct Measured {
    int status = -1;
    std::string err;
    double seconds = 0;
    long maxRssKb = 0;
};
Measured RunMeasured(const std::vector<std::string>& args, const std::string& dir,
                     std::chrono::seconds limit) {
    std::vector<std::string> argv{ORV_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string errPath = dir + "/measured.err";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(e, STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        std::vector<char*> v;
        for (auto& a : argv) v.push_back(a.data());
        v.push_back(nullptr);
        ::execv(v[0], v.data());
        ::_exit(127);
    }
    Measured m;
    int st = 0;
    rusage usage{};
    while (::wait4(pid, &st, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() - start > limit) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &st, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    m.maxRssKb = usage.ru_maxrss;
    m.err = test::ReadFile(errPath);
    return m;
}

// Servers that stream without end, never end a subnegotiation or stop reading: each connect is
// given up within the connect timeout and a second, in little memory, saying what the server did.
TEST(NetE2E, HostileServersAreBoundedInTimeAndMemory) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::vector<const char*> said;  // one of these
    } servers[] = {
        {"flood_raw", {"--listen", "tcp:0", "--flood"}, {"keeps sending"}},
        // Mostly given up while negotiating; under load the negotiation may end first, and the
        // drain or the look whether the unit still sends (which may find the server still
        // serving the first connection) tells it.
        {"flood_rfc2217",
         {"--listen", "rfc2217:0", "--flood"},
         {"bytes of data before the serial line was set up", "keeps sending",
          "Port already in use"}},
        {"endless_subnegotiation",
         {"--listen", "rfc2217:0", "--endless-subnegotiation"},
         {"a subnegotiation of more than 4096 bytes"}},
        {"stops_reading", {"--listen", "rfc2217:0", "--stop-reading"}, {"stopped taking data"}},
    };
    for (const auto& server : servers) {
        SCOPED_TRACE(server.name);
        const std::string dir = fs::temp_directory_path() /
                                ("orv-net-e2e-" + std::to_string(::getpid()) + "-" + server.name);
        fs::create_directories(dir);
        test::SimProcess sim(ORV_UNIT_SIM_PATH, server.args, dir + "/sim.log");
        const Measured m =
            RunMeasured({"connect", "--device", sim.Device(), "--connect-timeout", "1"}, dir,
                        std::chrono::seconds(20));
        EXPECT_EQ(m.status, 1) << m.err;
        EXPECT_LT(m.seconds, 2.0);
        EXPECT_LT(m.maxRssKb, 150 * 1024);
        EXPECT_TRUE(std::any_of(server.said.begin(), server.said.end(), [&m](const char* s) {
            return m.err.find(s) != std::string::npos;
        })) << m.err;
        sim.Stop();
        fs::remove_all(dir);
    }
}

// A listen address that is none is named as such, not followed by "Success".
TEST(NetE2E, SimulatorSaysWhyItCannotListen) {
    const std::string dir =
        fs::temp_directory_path() / ("orv-net-e2e-" + std::to_string(::getpid()) + "-listen");
    fs::create_directories(dir);
    const struct {
        const char* listen;
        const char* said;
    } cases[] = {
        {"tcp:300.1.2.3:0", "(address): it is not an IPv4 address"},
        {"rfc2217:[::g]:0", "(address): it is not an IPv6 address"},
    };
    for (const auto& c : cases) {
        const auto r = test::Run(ORV_UNIT_SIM_PATH, {"--listen", c.listen}, dir);
        EXPECT_EQ(r.status, 1) << c.listen;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Success"), std::string::npos) << r.err;
    }
    fs::remove_all(dir);
}

// The simulator's own side: a client that opens a subnegotiation and never ends it is dropped at
// the decoder's cap, and the simulator's memory stays small meanwhile.
TEST(NetE2E, SimulatorDropsAClientWhoseSubnegotiationNeverEnds) {
    const std::string dir =
        fs::temp_directory_path() / ("orv-net-e2e-" + std::to_string(::getpid()) + "-client-sb");
    fs::create_directories(dir);
    test::SimProcess sim(ORV_UNIT_SIM_PATH, {"--listen", "rfc2217:0", "--pace"}, dir + "/sim.log");
    const std::string address = sim.Device().substr(sim.Device().find("://") + 3);
    const auto colon = address.rfind(':');
    asio::io_context io;
    asio::ip::tcp::socket client(io);
    client.connect({asio::ip::make_address(address.substr(0, colon)),
                    static_cast<unsigned short>(std::stoi(address.substr(colon + 1)))});
    const std::uint8_t open[] = {255, 250, 44};
    asio::write(client, asio::buffer(open));
    const std::vector<std::uint8_t> filler(65536, 'x');
    asio::error_code ec;
    std::size_t sent = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!ec && sent < (256u << 20) && std::chrono::steady_clock::now() < until)
        sent += asio::write(client, asio::buffer(filler), ec);
    EXPECT_TRUE(ec) << "the simulator took " << sent << " bytes of one subnegotiation";
    EXPECT_LT(sim.PeakMemoryKb(), 150 * 1024);
    const auto closed = sim.LogStarting("net | | the client sent a subnegotiation of more than");
    EXPECT_EQ(closed.size(), 1u);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orv
