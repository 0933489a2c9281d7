// Debian's ser2net as the device server in front of a serial device (the simulated unit's
// pseudo-terminal), on a loopback port chosen free at run time; stopped when destroyed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "sim_process.h"

namespace orv::test {

// A loopback port free now: the system's choice for a socket that is then closed again.
inline int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// True once something listens on 127.0.0.1:port (from the kernel's table: no connection is made,
// which would open the server's device).
inline bool ListeningOn(int port) {
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::ifstream in("/proc/net/tcp");
    for (std::string line; std::getline(in, line);)
        if (line.find(local) != std::string::npos && line.find(" 0A ") != std::string::npos)
            return true;  // 0A: LISTEN
    return false;
}

class Ser2NetProcess {
  public:
    // rfc2217: telnet with Com Port Control, else raw TCP; the device's own settings are
    // baud,N,8,1. chardelay off: ser2net then sends each reply on as it comes instead of
    // gathering characters for a while.
    Ser2NetProcess(const std::string& dir, const std::string& device, bool rfc2217, int baud)
        : port_(FreeLoopbackPort()) {
        const std::string config = dir + "/ser2net.yaml";
        std::ofstream(config) << "connection: &unit\n"
                              << "    accepter: " << (rfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
                              << "127.0.0.1," << port_ << "\n"
                              << "    connector: serialdev," << device << "," << baud
                              << "n81,local\n"
                              << "    options:\n"
                              << "      chardelay: false\n";
        address_ =
            std::string(rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
        const std::string log = dir + "/ser2net.log";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            std::freopen(log.c_str(), "w", stdout);
            std::freopen(log.c_str(), "a", stderr);
            // -n: stay in front, -u: no lock files, -P: a pid file of its own.
            ::execlp("ser2net", "ser2net", "-n", "-u", "-c", config.c_str(), "-P",
                     (dir + "/ser2net.pid").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!ListeningOn(port_)) {
            int st = 0;
            if (::waitpid(pid_, &st, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("ser2net ended at start: " + ReadFile(log));
            }
            if (std::chrono::steady_clock::now() > until)
                throw std::runtime_error("ser2net is not listening");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~Ser2NetProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    Ser2NetProcess(const Ser2NetProcess&) = delete;
    Ser2NetProcess& operator=(const Ser2NetProcess&) = delete;

    const std::string& Address() const { return address_; }

  private:
    int port_;
    std::string address_;
    pid_t pid_ = -1;
};

}  // namespace orv::test
