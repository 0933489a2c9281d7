// A serial device server behind the SerialPort interface: "tcp://HOST:PORT" (raw TCP: bytes as
// they are, the server's own port settings) or "rfc2217://HOST:PORT" (telnet Com Port Control:
// the rate and frame are sent to the server, 0xFF is doubled both ways).
//
// Open connects and, over RFC 2217, negotiates, each within the connect timeout, so that an
// unreachable server never holds an exchange for minutes. Every port has its own I/O context and
// nothing is shared between ports: many units can be driven at once, one port each, each from its
// own thread. The socket is closed on every path out of Open and by Close.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace orv {

struct NetLinkOptions {
    // For the TCP connect (name look-up included), and again for the RFC 2217 negotiation.
    std::chrono::milliseconds connectTimeout{3000};
    // Many links at once (a fleet): a reply is always waited for whole, and what has come of it
    // is acknowledged every few characters' time instead of waking at each piece a server holds
    // back until acknowledged. Fewer wake-ups, at a little delay per reply.
    bool manyAtOnce = false;
    // Asked every few tens of milliseconds while a connect or a negotiation waits: true gives
    // the open up at once (Ctrl+C). Not asked once the port is open.
    std::function<bool()> stopped;
};

// The most data a server may send before the serial line is set up (RFC 2217): anything before
// that is at unknown settings and is dropped anyway, and a server streaming without end must not
// fill the memory while the negotiation waits.
inline constexpr std::size_t kMaxDataBeforeSetUp = 8192;

// "3 s", "0.5 s": a time for messages.
std::string SecondsText(std::chrono::milliseconds time);

// The addresses each host leads to, in their canonical text ("127.0.0.1", "::1"; an IPv4 address
// mapped into IPv6 as IPv4), the names looked up at once and waited for together at most within;
// an address is its own. A host that leads nowhere, or not in time, has none.
std::map<std::string, std::vector<std::string>> HostAddresses(const std::vector<std::string>& hosts,
                                                              std::chrono::milliseconds within);

class NetSerialPort : public SerialPort {
  public:
    explicit NetSerialPort(NetLinkOptions options = {});
    ~NetSerialPort() override;
    NetSerialPort(const NetSerialPort&) = delete;
    NetSerialPort& operator=(const NetSerialPort&) = delete;

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override;
    void Close() override;
    bool IsOpen() const override { return open_.load(); }
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t BytesWaiting() override;
    std::optional<std::uint8_t> ReadByte() override;
    bool WaitForBytes(SerialClock::time_point deadline) override;
    // Sleeps until the whole reply has come (the socket's low-water mark), not at each of its
    // bytes: over a network the serial line's gaps are not seen anyway, and a thread woken per
    // byte at 9600 baud costs a share of a core when many units are read at once. A server that
    // sends no more until what it sent is acknowledged (Nagle's rule, a small congestion
    // window) would hold each reply for the system's delayed acknowledgement: once one is seen
    // doing so, each piece is taken as it comes (or, with manyAtOnce, acknowledged on a tick).
    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override;

    void SetOptions(const NetLinkOptions& options) { options_ = options; }
    // The settings the server confirmed at the last open over RFC 2217; nullopt over raw TCP.
    const std::optional<SerialSettings>& ServerSettings() const { return serverSettings_; }

  private:
    bool StopAsked() const;
    // When a wait that ends at deadline next looks whether to stop.
    SerialClock::time_point NextLook(SerialClock::time_point deadline) const;

    struct Connection;
    std::unique_ptr<Connection> c_;
    NetLinkOptions options_;
    std::atomic<bool> open_{false};
    std::optional<SerialSettings> serverSettings_;
};

}  // namespace orv
