// The simulated unit's side of the line, as its main loop sees it: a pseudo-terminal, or a TCP
// listener that plays a serial device server (raw TCP or RFC 2217) with the unit behind it.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::sim {

using Clock = std::chrono::steady_clock;

class UnitLine {
  public:
    virtual ~UnitLine() = default;
    // What a client opens: "/dev/pts/3", "rfc2217://127.0.0.1:40123".
    virtual std::string Name() const = 0;
    // The descriptors to wait on; wantWrite when the unit has bytes the line did not take yet.
    virtual void AddPollFds(std::vector<pollfd>& fds, bool wantWrite) = 0;
    // After the wait (fds as filled by poll, from AddPollFds's first entry on): takes in what
    // arrived and appends the bytes meant for the unit to received.
    virtual void Service(std::span<const pollfd> fds, std::vector<std::uint8_t>& received) = 0;
    // Puts the unit's bytes on the line; returns how many it took.
    virtual std::size_t Send(std::span<const std::uint8_t> bytes) = 0;
    // The rate the line runs at now; the unit understands only unitBaud.
    virtual int LineBaud(int unitBaud) = 0;
    // When the line has something to do by itself (a delayed answer), if ever.
    virtual std::optional<Clock::time_point> NextDue() const { return std::nullopt; }
    // Told after each round how many block reads and writes the unit has served, and whether
    // everything it sent has left.
    virtual void AfterServing(int /*blocksServed*/, bool /*allSent*/) {}
};

// --listen tcp:PORT | rfc2217:PORT, optionally with a host before the port ("rfc2217:[::1]:0",
// "tcp:0.0.0.0:4001"); loopback by default. Port 0: one the system chooses.
struct ListenSpec {
    bool rfc2217 = false;
    std::string host = "127.0.0.1";
    int port = 0;
};
std::optional<ListenSpec> ParseListenSpec(std::string_view text);

// The device server's faults.
struct NetFaults {
    int closeAfter = -1;        // close the connection once this many blocks were served
    bool neverAnswer = false;   // accept, then never answer (nor negotiate)
    bool neverAccept = false;   // never accept: a connect waits until its time runs out
    int slowNegotiationMs = 0;  // hold every negotiation answer this long
    int refuseBaud = 0;         // answer a request for this rate with the rate the port has
    bool noControlAck = false;  // never answer the flow control setting
    bool flood = false;         // send data without end from the moment a client connects
    bool endlessSubnegotiation = false;  // RFC 2217: start a subnegotiation and never end it
    bool stopReading = false;  // never read what the client sends (RFC 2217: while asking it
                               // again and again for an option it refuses, so its answers pile up)
};

// Opens the listener for a unit at unitBaud (the rate of the server's port until an RFC 2217
// client sets another); nullptr (the reason printed) when it cannot.
std::unique_ptr<UnitLine> ListenOnNetwork(const ListenSpec& spec, const NetFaults& faults,
                                          int unitBaud,
                                          std::function<void(const std::string&)> log);

}  // namespace orv::sim
