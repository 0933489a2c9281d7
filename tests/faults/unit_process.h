// orv-unit-sim as a child process for the fault matrix: started with its options, stopped politely
// at the end, or killed outright to make its pseudo-terminal vanish in the middle of an exchange.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace orv::faults {

class UnitProcess {
  public:
    UnitProcess(const std::string& exe, std::vector<std::string> args) {
        args.insert(args.begin(), exe);
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
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
        // Its first line of output names the terminal device.
        pollfd pfd{out[0], POLLIN, 0};
        char c;
        while (::poll(&pfd, 1, 5000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
        ::close(out[0]);
        if (device_.empty()) throw std::runtime_error("orv-unit-sim printed no device");
    }
    ~UnitProcess() { Stop(SIGTERM); }
    UnitProcess(const UnitProcess&) = delete;
    UnitProcess& operator=(const UnitProcess&) = delete;

    // Ends the unit with signal and waits for it; safe to call more than once.
    void Stop(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    const std::string& Device() const { return device_; }

  private:
    pid_t pid_ = -1;
    std::string device_;
};

}  // namespace orv::faults
