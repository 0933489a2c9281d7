// Runs orv-unit-sim (or orv-cli) as a child process for the end-to-end tests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace orv::test {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The simulated unit on its pseudo-terminal; stopped (SIGTERM) when destroyed.
class SimProcess {
  public:
    // With a log path the unit logs its commands there (see Log()); without one the caller's
    // arguments say where, if anywhere.
    SimProcess(const std::string& exe, std::vector<std::string> args,
               const std::string& logPath = {})
        : logPath_(logPath) {
        args.insert(args.begin(), exe);
        if (!logPath.empty()) {
            args.push_back("--log");
            args.push_back(logPath);
        }
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive a crashed test
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        // The first line of its output is the device.
        pollfd pfd{out[0], POLLIN, 0};
        char c;
        while (::poll(&pfd, 1, 5000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
        ::close(out[0]);
        if (device_.empty()) throw std::runtime_error("orv-unit-sim printed no device");
    }
    ~SimProcess() { Stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Stops the unit with signal (SIGKILL makes its terminal vanish at once) and waits for it;
    // returns its exit status. Safe to call more than once.
    int Stop(int signal = SIGTERM) {
        if (pid_ <= 0) return status_;
        ::kill(pid_, signal);
        // A frozen unit must go on to act on the signal. Only then: a stray SIGCONT would cancel
        // the stop that the leak checker's tracer sends while the unit exits, and hang both.
        if (frozen_) ::kill(pid_, SIGCONT);
        int st = 0;
        ::waitpid(pid_, &st, 0);
        pid_ = -1;
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        return status_;
    }
    // The unit stops answering as if its cable were pulled, but keeps its terminal: a stopped
    // unit's terminal is freed, and another test's simulator may be given the same device name
    // and answer in its place.
    void Freeze() {
        if (pid_ > 0 && ::kill(pid_, SIGSTOP) == 0) frozen_ = true;
    }
    const std::string& Device() const { return device_; }
    // The most memory the unit has held so far (its peak resident size), in KiB; 0 once stopped.
    long PeakMemoryKb() const {
        std::istringstream status(ReadFile("/proc/" + std::to_string(pid_) + "/status"));
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
        return 0;
    }
    std::vector<std::string> Log() const { return Lines(ReadFile(logPath_)); }
    // Log lines that begin with prefix.
    std::vector<std::string> LogStarting(const std::string& prefix) const {
        std::vector<std::string> out;
        for (auto& l : Log())
            if (l.rfind(prefix, 0) == 0) out.push_back(l);
        return out;
    }

  private:
    std::string logPath_;
    std::string device_;
    pid_t pid_ = -1;
    int status_ = -1;
    bool frozen_ = false;
};

struct RunResult {
    int status = -1;
    std::string out, err;
};

// Runs a program to its end, capturing its output.
inline RunResult Run(const std::string& exe, std::vector<std::string> args,
                     const std::string& dir) {
    args.insert(args.begin(), exe);
    const std::string outPath = dir + "/run.out", errPath = dir + "/run.err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, STDOUT_FILENO);
        ::dup2(e, STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, ReadFile(outPath), ReadFile(errPath)};
}

}  // namespace orv::test
