// Full-configuration transfers through the real serial path against orv-unit-sim --pace, which
// moves bytes no faster than the line rate. Each time is also given as a ratio to the wire time
// of the bytes moved (a read moves 256 x 39 bytes, a write 240 x 38, a write verified adds the
// read-back of 240 x 39), so the ratio shows what the editor adds of its own; cpu_fraction is the
// client's CPU time over the wall time. The same through a device server (ser2net, RFC 2217), and
// how closely a connect to a server that never accepts keeps its time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "link/net/device_port.h"
#include "link/qt/qt_serial_port.h"
#include "link/unit_session.h"
#include "model/defaults.h"
#include "model/lists.h"
#include "ser2net_process.h"
#include "sim_process.h"

namespace {

using namespace orv;

constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop
constexpr double kReadBytes = 256 * (4 + 35);
constexpr double kWriteBytes = 240 * (37 + 1);
constexpr double kReadBackBytes = 240 * (4 + 35);

enum class Kind { kRead, kWrite, kWriteVerify };

double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

class NullUi : public LinkUi {
  public:
    std::string lastMessage;
    void ShowMessage(const std::string& text, const std::string&, MessageIcon) override {
        lastMessage = text;
    }
    void SetBusy(bool) override {}
    void SetProgress(int, bool) override {}
};

void EnsureApp() {
    static int argc = 1;
    static char name[] = "link_bench";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        static std::string dir = [] {
            char tmpl[] = "/tmp/orv-link-bench-XXXXXX";
            return std::string(::mkdtemp(tmpl));
        }();
        ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);  // never touch the user's settings
        static QCoreApplication app(argc, argv);
    }
}

// Through a device server: ser2net (RFC 2217, the rate set by the client) in front of the
// simulated unit's pseudo-terminal, on loopback.
// Or the simulator's own RFC 2217 listener: what the client adds, without ser2net's share.
enum class Path { kSerial, kDeviceServer, kSimListener };

void Transfer(benchmark::State& state, Kind kind, Path path = Path::kSerial) {
    EnsureApp();
    const int baud = static_cast<int>(state.range(0));
    const std::string dir = std::filesystem::temp_directory_path() / "orv-link-bench";
    std::filesystem::create_directories(dir);
    std::vector<std::string> args = {"--pace", "--baud", std::to_string(baud)};
    if (path == Path::kSimListener) args.insert(args.end(), {"--listen", "rfc2217:0"});
    test::SimProcess sim(ORV_UNIT_SIM_PATH, args, dir + "/sim.log");
    std::optional<test::Ser2NetProcess> server;
    if (path == Path::kDeviceServer) server.emplace(dir, sim.Device(), true, baud);

    DevicePort port([] { return std::make_unique<QtSerialPort>(); });
    const std::string device = server ? server->Address() : sim.Device();
    Comms comms(port, [device](int) { return std::optional<std::string>(device); });
    StartupState s = MakeStartupState();
    s.moduleTypes = {15, 0, 0, 0};
    for (std::size_t p = 0; p < kBaudRateItems.size(); ++p)
        if (kBaudRateItems[p].text == std::to_string(baud)) s.rec.lstBaudPC = static_cast<int>(p);
    Image image{};
    NullUi ui;
    UnitSession session(s.rec, s.moduleTypes, image, comms, ui);
    session.SetWriteChecks({kind == Kind::kWriteVerify, false});

    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        kind == Kind::kRead ? session.ReadClick() : session.WriteClick();
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += CpuSeconds() - cpu0;
        if (session.LastOutcome() != ClickOutcome::kDone) {
            state.SkipWithError(("transfer failed: " + ui.lastMessage).c_str());
            break;
        }
    }
    const double bytes = kind == Kind::kRead    ? kReadBytes
                         : kind == Kind::kWrite ? kWriteBytes
                                                : kWriteBytes + kReadBackBytes;
    const double wire = bytes * kBitsPerByte / baud;
    const double n = static_cast<double>(state.iterations());
    state.counters["wire_s"] = wire;
    state.counters["ratio_to_wire"] = wall / n / wire;
    state.counters["cpu_s"] = cpu / n;
    state.counters["cpu_fraction"] = cpu / wall;
    state.counters["error_s"] = 0;  // the CSV output wants every counter in every row
}

void BM_PacedRead(benchmark::State& state) {
    Transfer(state, Kind::kRead);
}
void BM_PacedWrite(benchmark::State& state) {
    Transfer(state, Kind::kWrite);
}
void BM_PacedWriteVerify(benchmark::State& state) {
    Transfer(state, Kind::kWriteVerify);
}
void BM_ServerPacedRead(benchmark::State& state) {
    Transfer(state, Kind::kRead, Path::kDeviceServer);
}
void BM_ServerPacedWrite(benchmark::State& state) {
    Transfer(state, Kind::kWrite, Path::kDeviceServer);
}
void BM_ListenerPacedRead(benchmark::State& state) {
    Transfer(state, Kind::kRead, Path::kSimListener);
}

// A connect to a server that never accepts ends when the connect timeout (3 s) is up: error_s is
// how far from it.
void BM_ConnectNeverAccepted(benchmark::State& state) {
    EnsureApp();
    test::SimProcess server(ORV_UNIT_SIM_PATH, {"--listen", "rfc2217:0", "--never-accept"},
                            std::filesystem::temp_directory_path() / "orv-link-bench-never.log");
    NetSerialPort port;
    double worst = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        OpenFailure failure = OpenFailure::kNone;
        if (port.Open(server.Device(), {9600, 'N', 8, 1}, &failure, nullptr) ||
            failure != OpenFailure::kTimedOut) {
            state.SkipWithError("the connect did not time out");
            break;
        }
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        worst = std::max(worst, std::abs(s - 3.0));
    }
    state.counters["error_s"] = worst;
    for (const char* other : {"wire_s", "ratio_to_wire", "cpu_s", "cpu_fraction"})
        state.counters[other] = 0;
}

BENCHMARK(BM_PacedRead)
    ->Arg(115200)
    ->Arg(9600)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_PacedWrite)
    ->Arg(115200)
    ->Arg(9600)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ServerPacedRead)
    ->Arg(115200)
    ->Arg(9600)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ServerPacedWrite)
    ->Arg(115200)
    ->Arg(9600)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ListenerPacedRead)
    ->Arg(115200)
    ->Arg(9600)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ConnectNeverAccepted)->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_PacedWriteVerify)
    ->Arg(115200)
    ->Arg(9600)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
