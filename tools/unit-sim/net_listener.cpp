// The simulated unit behind a device server of its own: one client at a time on a TCP port, raw or
// RFC 2217, with the faults real servers and networks show.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <deque>

#include "link/net/telnet.h"
#include "unit_line.h"

namespace orv::sim {
namespace {

namespace t = orv::telnet;

class NetLine : public UnitLine {
  public:
    NetLine(const ListenSpec& where, const NetFaults& faults, int unitBaud,
            std::function<void(const std::string&)> log)
        : where_(where), faults_(faults), unitBaud_(unitBaud), log_(std::move(log)) {}

    ~NetLine() override {
        Drop("");
        for (int fd : {listener_, filler_})
            if (fd >= 0) ::close(fd);
    }

    bool Listen() {
        sockaddr_storage addr{};
        socklen_t len = 0;
        const bool v6 = where_.host.find(':') != std::string::npos;
        if (v6) {
            auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
            a->sin6_family = AF_INET6;
            a->sin6_port = htons(static_cast<std::uint16_t>(where_.port));
            if (::inet_pton(AF_INET6, where_.host.c_str(), &a->sin6_addr) != 1)
                return Fail("address", "it is not an IPv6 address");
            len = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in*>(&addr);
            a->sin_family = AF_INET;
            a->sin_port = htons(static_cast<std::uint16_t>(where_.port));
            if (::inet_pton(AF_INET, where_.host.c_str(), &a->sin_addr) != 1)
                return Fail("address", "it is not an IPv4 address (an IPv6 one goes in brackets)");
            len = sizeof *a;
        }
        listener_ = ::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (faults_.stopReading) {
            // A small window, so that what the client sends backs up soon.
            const int small = 4096;
            ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        }
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0)
            return Fail("bind");
        // Never accepting: a backlog of none, filled by a connection of our own, so the system
        // answers no further connect at all and the client waits out its time.
        if (::listen(listener_, faults_.neverAccept ? 0 : 4) != 0) return Fail("listen");
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        where_.port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port
                               : reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
        if (faults_.neverAccept) {
            filler_ = ::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (filler_ < 0 || ::connect(filler_, reinterpret_cast<sockaddr*>(&addr), len) != 0)
                return Fail("connect to itself");
        }
        return true;
    }

    std::string Name() const override {
        const bool v6 = where_.host.find(':') != std::string::npos;
        return std::string(where_.rfc2217 ? "rfc2217://" : "tcp://") +
               (v6 ? "[" + where_.host + "]" : where_.host) + ":" + std::to_string(where_.port);
    }

    void AddPollFds(std::vector<pollfd>& fds, bool wantWrite) override {
        first_ = fds.size();
        fds.push_back({faults_.neverAccept ? -1 : listener_, POLLIN, 0});
        // The unit's paced bytes that fell due meanwhile: the socket takes them at once, so the
        // wait must end at once (a writable socket) rather than at the next request.
        const bool write = wantWrite || !out_.empty() || Flooding();
        const short read = faults_.stopReading ? 0 : POLLIN;
        fds.push_back({client_, static_cast<short>(read | (write ? POLLOUT : 0)), 0});
    }

    void Service(std::span<const pollfd> fds, std::vector<std::uint8_t>& received) override {
        if (fds.size() > first_ + 1) {
            // The old client's goodbye first: a client that closes and connects again at once
            // must not find its own last connection holding the port.
            if (client_ >= 0 && fds[first_ + 1].revents & (POLLIN | POLLHUP | POLLERR)) {
                if (faults_.stopReading)
                    Drop("client closed the connection");  // its bytes stay unread
                else
                    Read(received);
            }
            if (fds[first_].revents & POLLIN) Accept();
        }
        // Answers held back by a slow negotiation.
        while (!held_.empty() && held_.front().first <= Clock::now()) {
            Queue(held_.front().second);
            held_.pop_front();
        }
        Flush();
        if (Flooding() && out_.empty() && fds.size() > first_ + 1 &&
            (fds[first_ + 1].revents & POLLOUT))
            Flood();
    }

    std::size_t Send(std::span<const std::uint8_t> bytes) override {
        // Nobody to hear it, or nothing can be said inside a subnegotiation without end.
        if (client_ < 0 || faults_.neverAnswer || faults_.endlessSubnegotiation)
            return bytes.size();
        if (!where_.rfc2217) {
            Queue(t::Bytes(bytes.begin(), bytes.end()));
        } else {
            t::Bytes encoded;
            t::AppendData(bytes, encoded, !usBinary_);
            Queue(encoded);
        }
        Flush();
        return bytes.size();
    }

    int LineBaud(int) override { return where_.rfc2217 ? lineBaud_ : unitBaud_; }

    std::optional<Clock::time_point> NextDue() const override {
        if (held_.empty()) return std::nullopt;
        return held_.front().first;
    }

    void AfterServing(int blocksServed, bool allSent) override {
        if (faults_.closeAfter < 0 || closedOnce_ || client_ < 0) return;
        if (blocksServed >= faults_.closeAfter && allSent && out_.empty()) {
            closedOnce_ = true;
            Drop("closed the connection after " + std::to_string(blocksServed) + " blocks");
        }
    }

  private:
    bool Flooding() const {
        return client_ >= 0 &&
               (faults_.flood ||
                (where_.rfc2217 && (faults_.endlessSubnegotiation || faults_.stopReading)));
    }

    // As much as the socket takes of what never ends: data, the payload of a subnegotiation
    // opened at connect, or requests for an option the client refuses (each to be answered).
    void Flood() {
        if (floodChunk_.empty()) {
            static constexpr char kText[] = "ORV-PRO FLOOD WITHOUT END ";
            const bool asking = where_.rfc2217 && faults_.stopReading && !faults_.flood &&
                                !faults_.endlessSubnegotiation;
            const t::Bytes ask = t::Verb(t::kDo, 99);
            while (floodChunk_.size() < 16384) {
                if (asking)
                    floodChunk_.insert(floodChunk_.end(), ask.begin(), ask.end());
                else
                    floodChunk_.insert(floodChunk_.end(), kText, kText + sizeof kText - 1);
            }
        }
        // From where the last send stopped, so that a request is never cut in two.
        const std::size_t at = flooded_ % floodChunk_.size();
        const ssize_t n = ::send(client_, floodChunk_.data() + at, floodChunk_.size() - at,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) flooded_ += static_cast<std::size_t>(n);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            Drop("the connection broke after " + std::to_string(flooded_) +
                 " bytes sent without end");
    }

    bool Fail(const char* what, const char* why = nullptr) {
        std::fprintf(stderr, "orv-unit-sim: cannot listen on %s (%s): %s\n", Name().c_str(), what,
                     why ? why : std::strerror(errno));
        return false;
    }

    void Accept() {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        if (client_ >= 0) {
            // One client at a time, as a serial port has one line.
            static const char kBusy[] = "Port already in use\r\n";
            (void)!::write(fd, kBusy, sizeof kBusy - 1);
            ::close(fd);
            log_("net | | refused a second client: port in use");
            return;
        }
        client_ = fd;
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        decoder_ = t::Decoder();
        decoder_.SetPeerNvt(where_.rfc2217);
        usBinary_ = comPort_ = false;
        lineBaud_ = unitBaud_;  // each connection starts from the port's own rate
        out_.clear();
        held_.clear();
        log_(std::string("net | | client connected") +
             (faults_.neverAnswer ? " (never answering)" : ""));
        if (where_.rfc2217 && !faults_.neverAnswer) {
            t::Bytes hello;
            for (auto [verb, option] :
                 {std::pair{t::kDo, t::kComPort}, {t::kWill, t::kBinary}, {t::kDo, t::kBinary}}) {
                const t::Bytes v = t::Verb(verb, option);
                hello.insert(hello.end(), v.begin(), v.end());
            }
            sentDo_ = {t::kComPort, t::kBinary};
            sentWill_ = {t::kBinary};
            if (faults_.endlessSubnegotiation) {
                hello.insert(hello.end(), {t::kIac, t::kSb, t::kComPort});
                log_("net | | opening a subnegotiation that never ends");
            }
            Answer(hello);
        }
        flooded_ = 0;
        if (faults_.flood) log_("net | | flooding the client with data");
        if (faults_.stopReading)
            log_("net | | not reading what the client sends" +
                 std::string(where_.rfc2217 ? ", asking it for option 99 without end" : ""));
    }

    void Read(std::vector<std::uint8_t>& received) {
        std::uint8_t buf[4096];
        const ssize_t n = ::read(client_, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            Drop("client closed the connection");
            return;
        }
        if (n < 0 || faults_.neverAnswer) return;
        const std::span<const std::uint8_t> got(buf, static_cast<std::size_t>(n));
        if (!where_.rfc2217) {
            received.insert(received.end(), got.begin(), got.end());
            return;
        }
        std::deque<std::uint8_t> data;
        decoder_.Feed(got, data, [this](const t::Command& c) { OnCommand(c); });
        received.insert(received.end(), data.begin(), data.end());
        if (decoder_.SubnegotiationTooLong())
            Drop("the client sent a subnegotiation of more than " +
                 std::to_string(t::kMaxSubnegotiation) + " bytes: connection closed");
    }

    // The server's side of the negotiation: binary both ways and the Com Port Control option;
    // every other option refused.
    void OnCommand(const t::Command& c) {
        // Inside a subnegotiation without end, nothing else can be said.
        if (faults_.endlessSubnegotiation) return;
        auto has = [](const std::vector<std::uint8_t>& v, std::uint8_t o) {
            return std::find(v.begin(), v.end(), o) != v.end();
        };
        switch (c.verb) {
            case t::kWill:
                if (c.option == t::kComPort) comPort_ = true;
                if (c.option == t::kBinary) decoder_.SetPeerNvt(false);
                if (c.option == t::kComPort || c.option == t::kBinary) {
                    if (!has(sentDo_, c.option)) Answer(t::Verb(t::kDo, c.option));
                    sentDo_.push_back(c.option);
                } else {
                    Answer(t::Verb(t::kDont, c.option));
                }
                break;
            case t::kDo:
                if (c.option == t::kBinary) {
                    usBinary_ = true;
                    if (!has(sentWill_, c.option)) Answer(t::Verb(t::kWill, c.option));
                    sentWill_.push_back(c.option);
                } else {
                    Answer(t::Verb(t::kWont, c.option));
                }
                break;
            case t::kSb:
                if (c.option == t::kComPort && !c.payload.empty()) OnComPort(c.payload);
                break;
            default:
                break;
        }
    }

    void OnComPort(const t::Bytes& p) {
        const std::uint8_t code = p[0];
        if (code == t::kSetBaudRate && p.size() >= 5) {
            const int asked =
                static_cast<int>((std::uint32_t{p[1]} << 24) | (std::uint32_t{p[2]} << 16) |
                                 (std::uint32_t{p[3]} << 8) | p[4]);
            const bool refused = asked != 0 && asked == faults_.refuseBaud;
            if (asked != 0 && !refused) lineBaud_ = asked;
            log_("net | | baud rate asked " + std::to_string(asked) + ", set " +
                 std::to_string(lineBaud_) + (refused ? " (refused)" : ""));
            const auto v = static_cast<std::uint32_t>(lineBaud_);
            Answer(t::Subnegotiation(
                t::kComPort,
                t::Bytes{t::kServerReply + t::kSetBaudRate, static_cast<std::uint8_t>(v >> 24),
                         static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                         static_cast<std::uint8_t>(v)}));
        } else if (code >= t::kSetDataSize && code <= t::kSetControl && p.size() >= 2) {
            if (code == t::kSetControl && faults_.noControlAck) {
                log_("net | | flow control setting not answered");
                return;
            }
            const std::uint8_t defaults[] = {0, 0, 8, 1, 1, t::kNoFlowControl};
            const std::uint8_t value = p[1] != 0 ? p[1] : defaults[code];
            Answer(t::Subnegotiation(
                t::kComPort, t::Bytes{static_cast<std::uint8_t>(t::kServerReply + code), value}));
        }
    }

    // A negotiation answer: at once, or after the slow negotiation's delay.
    void Answer(const t::Bytes& bytes) {
        if (faults_.slowNegotiationMs > 0) {
            held_.emplace_back(Clock::now() + std::chrono::milliseconds(faults_.slowNegotiationMs),
                               bytes);
            return;
        }
        Queue(bytes);
    }
    void Queue(const t::Bytes& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

    void Flush() {
        if (client_ < 0 || out_.empty()) return;
        const ssize_t n = ::send(client_, out_.data(), out_.size(), MSG_NOSIGNAL);
        if (n > 0) out_.erase(out_.begin(), out_.begin() + n);
        if (n < 0 && errno != EAGAIN && errno != EINTR) Drop("the connection broke");
    }

    void Drop(const std::string& why) {
        if (client_ < 0) return;
        // Logged first: whoever sees the connection end finds the reason already written.
        if (!why.empty()) log_("net | | " + why);
        ::close(client_);
        client_ = -1;
        out_.clear();
        held_.clear();
    }

    ListenSpec where_;
    NetFaults faults_;
    int unitBaud_;
    std::function<void(const std::string&)> log_;
    int listener_ = -1;
    int filler_ = -1;
    int client_ = -1;
    std::size_t first_ = 0;
    t::Decoder decoder_;
    bool usBinary_ = false;
    bool comPort_ = false;
    bool closedOnce_ = false;
    std::size_t flooded_ = 0;
    t::Bytes floodChunk_;
    int lineBaud_ = 0;
    std::vector<std::uint8_t> sentDo_, sentWill_;
    t::Bytes out_;
    std::deque<std::pair<Clock::time_point, t::Bytes>> held_;
};

}  // namespace

std::optional<ListenSpec> ParseListenSpec(std::string_view text) {
    ListenSpec spec;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view kind = text.substr(0, colon);
    if (kind != "tcp" && kind != "rfc2217") return std::nullopt;
    spec.rfc2217 = kind == "rfc2217";
    std::string_view rest = text.substr(colon + 1);
    const std::size_t last = rest.rfind(':');
    if (last != std::string_view::npos) {
        std::string_view host = rest.substr(0, last);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
        if (host.empty()) return std::nullopt;
        spec.host = std::string(host);
        rest = rest.substr(last + 1);
    }
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), spec.port);
    if (rest.empty() || ec != std::errc{} || end != rest.data() + rest.size() || spec.port < 0 ||
        spec.port > 65535)
        return std::nullopt;
    return spec;
}

std::unique_ptr<UnitLine> ListenOnNetwork(const ListenSpec& spec, const NetFaults& faults,
                                          int unitBaud,
                                          std::function<void(const std::string&)> log) {
    auto line = std::make_unique<NetLine>(spec, faults, unitBaud, std::move(log));
    if (!line->Listen()) return nullptr;
    return line;
}

}  // namespace orv::sim
