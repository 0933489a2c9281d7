// Full-configuration transfers through the real serial path against orv-unit-sim --pace, which
// moves bytes no faster than the line rate. Each time is also given as a ratio to the wire time
// of the bytes moved (a read moves 256 x 39 bytes, a write 240 x 38, a write verified adds the
// read-back of 240 x 39), so the ratio shows what the editor adds of its own; cpu_fraction is the
// client's CPU time over the wall time. The same through a device server (ser2net, RFC 2217), and
// how closely a connect to a server that never accepts keeps its time.
//
// Each block is also taken apart: request sent (by the client) -> its first byte handed to the
// simulated unit -> first reply byte -> last reply byte (put on the line by the unit, --timing) ->
// next request. The first is the line's share before the unit (a pseudo-terminal's driver, a device
// server); the unit's is what the next two take beyond the line's own time for the bytes; the
// client's is the last (with the way back through the line).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <vector>

#include "link/net/device_port.h"
#include "link/protocol.h"
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

// The client's side of the per-block breakdown: when each block request went out, and how long it
// is on the line.
class RequestClock : public SerialPort {
  public:
    struct Request {
        std::chrono::steady_clock::time_point at;
        std::size_t size;
    };
    explicit RequestClock(SerialPort& inner) : inner_(inner) {}
    std::vector<Request> requests;

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override {
        return inner_.Open(device, settings, failure, detail);
    }
    void Close() override { inner_.Close(); }
    bool IsOpen() const override { return inner_.IsOpen(); }
    bool Write(std::span<const std::uint8_t> bytes) override {
        const bool block = bytes.size() >= 2 && bytes[0] == proto::kCommandPrefix &&
                           (bytes[1] == proto::kCmdReadBlock || bytes[1] == proto::kCmdWriteBlock);
        if (block) requests.push_back({std::chrono::steady_clock::now(), bytes.size()});
        return inner_.Write(bytes);
    }
    std::size_t BytesWaiting() override { return inner_.BytesWaiting(); }
    std::optional<std::uint8_t> ReadByte() override { return inner_.ReadByte(); }
    bool WaitForBytes(SerialClock::time_point deadline) override {
        return inner_.WaitForBytes(deadline);
    }
    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override {
        return inner_.WaitForReply(deadline, count);
    }

  private:
    SerialPort& inner_;
};

// Per block, in microseconds: what the line before the unit (the pseudo-terminal's driver, a device
// server) took to hand it the request's first byte, the unit's time from then beyond the line's to
// its first reply byte and from there to its last, and the client's from the last to its next
// request (within one step).
struct BlockShares {
    double lineInUs = 0, firstUs = 0, lastUs = 0, clientUs = 0;
    double lastReplyNs = 0;  // when the last reply byte left the unit
    bool known = false;
};

// starts: the index of each transfer's first request (the client's share ends with a transfer).
BlockShares Breakdown(const std::vector<RequestClock::Request>& requests,
                      const std::vector<std::size_t>& starts, const std::string& timingFile,
                      int baud) {
    struct Reply {
        long long first, last, requestSeen;  // ns of the steady clock
    };
    std::vector<Reply> replies;
    std::ifstream in(timingFile);
    for (long long first = 0, last = 0, seen = 0; in >> first >> last >> seen;)
        replies.push_back({first, last, seen});
    BlockShares b;
    if (replies.size() != requests.size() || replies.empty()) return b;
    const double charUs = kBitsPerByte * 1e6 / baud;
    auto ns = [](std::chrono::steady_clock::time_point t) {
        return static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count());
    };
    int clients = 0;
    for (std::size_t k = 0; k < replies.size(); ++k) {
        const bool read = requests[k].size == proto::kReadRequestSize;
        const double replyBytes = read ? proto::kReadReplySize : 1;
        b.lineInUs += (replies[k].requestSeen - ns(requests[k].at)) / 1e3;
        // The first reply byte is on the line once the request and that byte have crossed it.
        b.firstUs += (replies[k].first - replies[k].requestSeen) / 1e3 -
                     (static_cast<double>(requests[k].size) + 1) * charUs;
        b.lastUs += (replies[k].last - replies[k].first) / 1e3 - (replyBytes - 1) * charUs;
        if (k + 1 < replies.size() && requests[k + 1].size == requests[k].size &&
            std::find(starts.begin(), starts.end(), k + 1) == starts.end()) {
            b.clientUs += (ns(requests[k + 1].at) - replies[k].last) / 1e3;
            ++clients;
        }
    }
    const double n = static_cast<double>(replies.size());
    b.lineInUs /= n;
    b.lastReplyNs = static_cast<double>(replies.back().last);
    b.firstUs /= n;
    b.lastUs /= n;
    b.clientUs /= std::max(clients, 1);
    b.known = true;
    return b;
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
    const std::string timing = dir + "/timing-" + std::to_string(::getpid()) + ".txt";
    std::filesystem::remove(timing);
    std::vector<std::string> args = {"--pace", "--baud", std::to_string(baud), "--timing", timing};
    if (path == Path::kSimListener) args.insert(args.end(), {"--listen", "rfc2217:0"});
    test::SimProcess sim(ORV_UNIT_SIM_PATH, args, dir + "/sim.log");
    std::optional<test::Ser2NetProcess> server;
    if (path == Path::kDeviceServer) server.emplace(dir, sim.Device(), true, baud);

    DevicePort line([] { return std::make_unique<QtSerialPort>(); });
    RequestClock port(line);
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

    double cpu = 0, wall = 0, openUs = 0;
    std::vector<double> walls;
    std::vector<std::size_t> starts;
    std::chrono::steady_clock::time_point lastEnd{};
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        const std::size_t before = port.requests.size();
        starts.push_back(before);
        const auto t0 = std::chrono::steady_clock::now();
        kind == Kind::kRead ? session.ReadClick() : session.WriteClick();
        lastEnd = std::chrono::steady_clock::now();
        walls.push_back(std::chrono::duration<double>(lastEnd - t0).count());
        wall += walls.back();
        // Before the first block request: the port opened, the image built.
        if (port.requests.size() > before)
            openUs +=
                std::chrono::duration<double, std::micro>(port.requests[before].at - t0).count();
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
    // Several transfers at the fast rate: the median is the one shown, so that a stall of the
    // machine (a tenth of a second is a tenth of such a transfer) shows in the range, not in it.
    std::sort(walls.begin(), walls.end());
    const double median = walls.empty() ? 0 : walls[walls.size() / 2];
    state.counters["wire_s"] = wire;
    state.counters["median_s"] = median;
    state.counters["ratio_to_wire"] = median / wire;
    state.counters["least_ratio"] = walls.empty() ? 0 : walls.front() / wire;
    state.counters["most_ratio"] = walls.empty() ? 0 : walls.back() / wire;
    state.counters["cpu_s"] = cpu / n;
    state.counters["cpu_fraction"] = cpu / wall;
    state.counters["error_s"] = 0;  // the CSV output wants every counter in every row
    state.counters["open_us"] = openUs / n;
    server.reset();
    sim.Stop();  // it writes its timing as it stops
    const BlockShares shares = Breakdown(port.requests, starts, timing, baud);
    // Without the breakdown the transfer's own figures still hold; the shares show as nan.
    if (!shares.known)
        std::fprintf(stderr,
                     "the simulated unit's timing (%s) does not match the %zu block "
                     "requests sent; no breakdown\n",
                     timing.c_str(), port.requests.size());
    const double unknown = std::numeric_limits<double>::quiet_NaN();
    // After the last reply byte (of the last run): the image decoded or the history copy kept,
    // the port closed.
    state.counters["close_us"] =
        shares.known ? (static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                lastEnd.time_since_epoch())
                                                .count()) -
                        shares.lastReplyNs) /
                           1e3
                     : unknown;
    state.counters["line_in_us"] = shares.known ? shares.lineInUs : unknown;
    state.counters["unit_first_us"] = shares.known ? shares.firstUs : unknown;
    state.counters["unit_last_us"] = shares.known ? shares.lastUs : unknown;
    state.counters["client_us"] = shares.known ? shares.clientUs : unknown;
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
void BM_ServerPacedWriteVerify(benchmark::State& state) {
    Transfer(state, Kind::kWriteVerify, Path::kDeviceServer);
}
void BM_ListenerPacedRead(benchmark::State& state) {
    Transfer(state, Kind::kRead, Path::kSimListener);
}
void BM_ListenerPacedWrite(benchmark::State& state) {
    Transfer(state, Kind::kWrite, Path::kSimListener);
}
void BM_ListenerPacedWriteVerify(benchmark::State& state) {
    Transfer(state, Kind::kWriteVerify, Path::kSimListener);
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
    for (const char* other : {"wire_s", "median_s", "least_ratio", "most_ratio", "ratio_to_wire",
                              "cpu_s", "cpu_fraction", "open_us", "close_us", "line_in_us",
                              "unit_first_us", "unit_last_us", "client_us"})
        state.counters[other] = 0;
}

// At 115200 baud each transfer five times (the median shown, and the range), at 9600 once (a
// stall is a small part of its ten seconds).
#define ORV_FAST(bm) \
    BENCHMARK(bm)->Arg(115200)->Iterations(5)->UseRealTime()->Unit(benchmark::kSecond)
#define ORV_SLOW(bm) \
    BENCHMARK(bm)->Arg(9600)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond)
ORV_FAST(BM_PacedRead);
ORV_SLOW(BM_PacedRead);
ORV_FAST(BM_PacedWrite);
ORV_SLOW(BM_PacedWrite);
ORV_FAST(BM_ServerPacedRead);
ORV_SLOW(BM_ServerPacedRead);
ORV_FAST(BM_ServerPacedWrite);
ORV_SLOW(BM_ServerPacedWrite);
ORV_FAST(BM_ListenerPacedRead);
ORV_SLOW(BM_ListenerPacedRead);
// At 115200 only: what a device server adds shows most where the wire is fast.
ORV_FAST(BM_ListenerPacedWrite);
ORV_FAST(BM_ServerPacedWriteVerify);
ORV_FAST(BM_ListenerPacedWriteVerify);
BENCHMARK(BM_ConnectNeverAccepted)->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);
ORV_FAST(BM_PacedWriteVerify);
ORV_SLOW(BM_PacedWriteVerify);

}  // namespace
