// Many units at once: orv-cli fleet check against simulated units paced at 9600 baud, one unit
// and 32 side by side (through the simulator's RFC 2217 listeners on loopback, and through its
// pseudo-terminals), with the client's CPU time over the wall time; and 200 units with --jobs 64
// under the usual limit of 1024 open files, with the most descriptors and threads the client held
// (sampled from /proc every 10 ms); and 200 paced units all at once through the listeners.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "sim_process.h"

namespace {

namespace fs = std::filesystem;

enum class Line { kListener, kPty };

struct Outcome {
    double wall = 0;
    double cpu = 0;
    int status = -1;
    int peakFds = 0;
    int peakThreads = 0;
};

int CountFds(pid_t pid) {
    std::error_code ec;
    int n = 0;
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end;
         !ec && it != end; it.increment(ec))
        ++n;
    return n;
}

int CountThreads(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Threads:")) return std::stoi(line.substr(8));
    return 0;
}

// Runs orv-cli fleet check on the units with at most 1024 open files, as most systems allow;
// with raise, as a desktop session starts it (1024, which a program may raise up to 524288).
Outcome RunFleet(const std::string& dir, const std::vector<std::string>& devices, int baud,
                 int jobs, bool raise) {
    const std::string csv = dir + "/units.csv";
    {
        std::ofstream out(csv);
        out << "name,device,baud,golden\n";
        for (std::size_t k = 0; k < devices.size(); ++k)
            out << "unit-" << k + 1 << "," << devices[k] << "," << baud << ",golden.ORV\n";
    }
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit files{1024, raise ? rlim_t{524288} : rlim_t{1024}};
        ::setrlimit(RLIMIT_NOFILE, &files);
        ::setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        std::freopen((dir + "/fleet.out").c_str(), "w", stdout);
        std::freopen((dir + "/fleet.err").c_str(), "w", stderr);
        ::execl(ORV_CLI_PATH, ORV_CLI_PATH, "fleet", "check", csv.c_str(), "--jobs",
                std::to_string(jobs).c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    Outcome o;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        o.peakFds = std::max(o.peakFds, CountFds(pid));
        o.peakThreads = std::max(o.peakThreads, CountThreads(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    o.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    o.cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

// Starts the units (paced at baud; 0: not paced, at 9600) and checks them all.
Outcome CheckUnits(benchmark::State& state, int units, int baud, Line line, int jobs) {
    // A folder for each row, so that a failed row's output is still there after the others.
    const std::string dir =
        fs::temp_directory_path() /
        ("orv-fleet-bench-" + std::to_string(::getpid()) + "-" + std::to_string(units) + "-" +
         std::to_string(baud) + (line == Line::kListener ? "-listener" : "-pty"));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    const int made = std::system(
        (std::string(ORV_CLI_PATH) + " new -m 15,0,0,0 -o '" + dir + "/golden.ORV' >/dev/null")
            .c_str());
    std::vector<std::unique_ptr<orv::test::SimProcess>> sims;
    std::vector<std::string> devices;
    for (int k = 0; k < units; ++k) {
        std::vector<std::string> args{"--modules", "15,0,0,0", "--log", "/dev/null"};
        if (baud > 0) args.insert(args.end(), {"--pace", "--baud", std::to_string(baud)});
        if (line == Line::kListener) args.insert(args.end(), {"--listen", "rfc2217:0"});
        sims.push_back(std::make_unique<orv::test::SimProcess>(ORV_UNIT_SIM_PATH, args));
        devices.push_back(sims.back()->Device());
    }
    Outcome o;
    // 200 at once need more files than 1024: orv-cli raises its own limit as far as it may.
    for (auto _ : state) o = RunFleet(dir, devices, baud > 0 ? baud : 9600, jobs, jobs > 120);
    if (made != 0 || o.status != 0)
        state.SkipWithError(("fleet check ended with status " + std::to_string(o.status) +
                             "; see " + dir + "/fleet.err")
                                .c_str());
    state.counters["wall_s"] = o.wall;
    state.counters["cpu_fraction"] = o.cpu / o.wall;
    state.counters["peak_fds"] = o.peakFds;
    state.counters["peak_threads"] = o.peakThreads;
    return o;
}

// The wall time of one unit alone on each kind of line, for the ratio.
double gOneUnit[2] = {0, 0};

// Arguments: units, and the line (0 the RFC 2217 listener, 1 the pseudo-terminal).
void BM_FleetCheck(benchmark::State& state) {
    const int units = static_cast<int>(state.range(0));
    const Line line = state.range(1) == 0 ? Line::kListener : Line::kPty;
    const Outcome o = CheckUnits(state, units, 9600, line, units);
    double& one = gOneUnit[state.range(1)];
    if (units == 1) one = o.wall;
    state.counters["ratio_to_one"] = one > 0 ? o.wall / one : 0;
}
// 200 units, not paced (the machine's two cores cannot pace 64 simulators at a high rate), 64 at
// a time.
void BM_FleetScale(benchmark::State& state) {
    CheckUnits(state, static_cast<int>(state.range(0)), 0, Line::kListener, 64);
    state.counters["ratio_to_one"] = 0;  // the CSV output wants every counter in every row
}

BENCHMARK(BM_FleetCheck)
    ->Args({1, 0})
    ->Args({32, 0})
    ->Args({1, 1})
    ->Args({32, 1})
    ->Args({200, 0})  // all at once (--jobs 200): a unit's turn never waits for another's
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_FleetScale)->Arg(200)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
