#include "link/net/net_serial_port.h"

#include <algorithm>
#include <asio.hpp>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#ifdef _WIN32
#include <mstcpip.h>
#endif

#include "link/device_address.h"
#include "link/net/telnet.h"

namespace orv {
namespace {

using asio::ip::tcp;

// How long a Write may wait for the network to take its bytes (a server that stopped reading).
constexpr auto kWriteTimeout = std::chrono::seconds(5);
// How long Close waits for the server to take the last bytes and end its side.
constexpr auto kCloseTimeout = std::chrono::milliseconds(250);
// How often a wait for a whole reply looks whether part of it is held up.
constexpr auto kHoldLook = std::chrono::milliseconds(10);
// How often a connect or a negotiation asks whether it is to stop.
constexpr auto kStopLook = std::chrono::milliseconds(50);
constexpr const char* kStoppedText = "stopped before the connection was made";

// A name look-up cannot be cancelled, so it runs on a thread of its own that is left to finish
// when its time is up; the caller stops waiting at its deadline.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    asio::error_code error;
    std::vector<tcp::endpoint> endpoints;
};

std::shared_ptr<Lookup> StartLookup(const std::string& host, std::uint16_t port) {
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port] {
        asio::io_context io;
        tcp::resolver resolver(io);
        asio::error_code ec;
        const auto results = resolver.resolve(host, std::to_string(port), ec);
        std::lock_guard lock(lookup->mutex);
        lookup->error = ec;
        for (const auto& r : results) lookup->endpoints.push_back(r.endpoint());
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    return lookup;
}

// What a server that hung up said first, when it was a line of text ("Port already in use").
std::string TextSaid(const std::deque<std::uint8_t>& data) {
    std::string text(data.begin(), data.end());
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    if (text.empty() || text.size() > 160) return {};
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E) return {};
    return text;
}

// An error's text to go inside a sentence of ours: without its closing full stop.
std::string Sentence(const asio::error_code& ec) {
    std::string text = ec.message();
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::string SecondsText(std::chrono::milliseconds time) {
    char text[32];
    const long long ms = time.count();
    if (ms % 1000 == 0)
        std::snprintf(text, sizeof text, "%lld s", ms / 1000);
    else
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

namespace {

std::string CanonicalAddress(const asio::ip::address& a) {
    if (a.is_v6() && a.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).to_string();
    return a.to_string();
}

}  // namespace

std::map<std::string, std::vector<std::string>> HostAddresses(const std::vector<std::string>& hosts,
                                                              std::chrono::milliseconds within) {
    // Names are looked up a few dozen at a time, each on a thread of its own.
    constexpr std::size_t kAtOnce = 32;
    std::map<std::string, std::vector<std::string>> out;
    std::vector<std::string> names;
    for (const auto& host : hosts) {
        if (out.contains(host)) continue;
        asio::error_code ec;
        const asio::ip::address ip = asio::ip::make_address(host, ec);
        out[host] = {};
        if (!ec)
            out[host] = {CanonicalAddress(ip)};
        else
            names.push_back(host);
    }
    const auto until = SerialClock::now() + within;
    for (std::size_t first = 0; first < names.size(); first += kAtOnce) {
        std::vector<std::pair<std::string, std::shared_ptr<Lookup>>> asked;
        for (std::size_t k = first; k < names.size() && k < first + kAtOnce; ++k)
            asked.emplace_back(names[k], StartLookup(names[k], 0));
        for (const auto& [host, lookup] : asked) {
            std::unique_lock lock(lookup->mutex);
            lookup->done.wait_until(lock, until, [&] { return lookup->finished; });
            if (!lookup->finished || lookup->error) continue;
            std::vector<std::string>& addresses = out[host];
            for (const auto& endpoint : lookup->endpoints) {
                const std::string a = CanonicalAddress(endpoint.address());
                if (std::find(addresses.begin(), addresses.end(), a) == addresses.end())
                    addresses.push_back(a);
            }
        }
    }
    return out;
}

struct NetSerialPort::Connection {
    asio::io_context io{1};
    tcp::socket socket{io};
    std::array<std::uint8_t, 4096> buffer{};
    bool reading = false;
    bool closed = false;        // the server ended the connection, or it broke
    bool sendTimedOut = false;  // a write was not taken in time: the server stopped reading
    std::deque<std::uint8_t> data;
    std::optional<telnet::ComPortClient> telnet;  // RFC 2217 only
    telnet::Bytes replies;                        // negotiation answers still to send
    int lowWater = 1;                             // bytes the socket waits for before waking
    // Whether a reply may be waited for whole. A server that gathers small writes (Nagle's rule)
    // sends nothing more of a reply until its first piece is acknowledged, and an
    // acknowledgement goes out at once only when the piece is read as it comes: with such a
    // server every piece is taken as it comes.
    bool wholeReplies = true;
    SerialClock::duration byteTime{};  // one character on the line at the rate set

    // Wakes the next wait only once this many bytes have come (where the system can).
    void WakeAt(std::size_t bytes) {
        const int want = static_cast<int>(std::clamp<std::size_t>(bytes, 1, buffer.size()));
        if (want == lowWater) return;
        asio::error_code ignored;
        socket.set_option(asio::socket_base::receive_low_watermark(want), ignored);
        lowWater = want;
    }

    // Runs one handler (the read's, or the write's) or returns false at the deadline.
    bool RunOne(SerialClock::time_point deadline) {
        io.restart();
        return io.run_one_until(deadline) > 0;
    }

    void StartRead() {
        if (reading || closed) return;
        reading = true;
        socket.async_read_some(asio::buffer(buffer), [this](asio::error_code ec, std::size_t n) {
            reading = false;
            if (ec) {
                closed = true;
                return;
            }
            AcknowledgeAtOnce();
            const std::span<const std::uint8_t> got(buffer.data(), n);
            if (telnet)
                telnet->Receive(got, data, replies);
            else
                data.insert(data.end(), got.begin(), got.end());
        });
    }

    // A device server that gathers small writes (Nagle's rule, ser2net's default) sends the rest
    // of a reply only once its first piece is acknowledged; a delayed acknowledgement would hold
    // every reply some 40 ms. Linux forgets the setting after a while, so it is renewed at each
    // read.
    void AcknowledgeAtOnce() {
#ifdef TCP_QUICKACK
        asio::error_code ignored;
        socket.set_option(asio::detail::socket_option::boolean<IPPROTO_TCP, TCP_QUICKACK>(true),
                          ignored);
#endif
    }

    // Sends bytes as they are; false when the connection is gone or the time ran out.
    bool Send(std::span<const std::uint8_t> bytes, SerialClock::time_point deadline) {
        if (closed) return false;
        bool done = false;
        asio::error_code error;
        asio::async_write(socket, asio::buffer(bytes.data(), bytes.size()),
                          [&](asio::error_code ec, std::size_t) {
                              done = true;
                              error = ec;
                          });
        while (!done && RunOne(deadline)) {
        }
        if (!done || error) {
            sendTimedOut = !done;
            // A write that may be half done leaves the stream unusable.
            asio::error_code ignored;
            socket.close(ignored);
            io.restart();
            io.poll();  // let the cancelled handlers finish while their captures live
            closed = true;
            return false;
        }
        return true;
    }

    // Takes in what has arrived (waiting until the deadline for something to); false at the
    // deadline. Negotiation answers go out at once, given until sendBy to leave.
    bool Pump(SerialClock::time_point deadline, SerialClock::time_point sendBy) {
        StartRead();
        const bool ran = RunOne(deadline);
        FlushReplies(sendBy);
        return ran;
    }
    bool Pump(SerialClock::time_point deadline) {
        return Pump(deadline, SerialClock::now() + kWriteTimeout);
    }
    void Poll() {
        StartRead();
        io.restart();
        io.poll();
        FlushReplies(SerialClock::now() + kWriteTimeout);
    }
    // Ends the connection: our side first, then what still comes is taken in until the server
    // ends its side (bounded), so that the last bytes sent reach it (closing with unread input
    // would reset the connection and may drop them), and a server that serves one client at a
    // time has let go of this one before the next connect.
    void Shutdown() {
        asio::error_code ec;
        if (!closed) {
            socket.shutdown(tcp::socket::shutdown_send, ec);
            const auto until = SerialClock::now() + kCloseTimeout;
            // What still comes is dropped as it comes: a server streaming without end must not
            // fill the memory meanwhile.
            while (!closed && Pump(until, until)) data.clear();
            data.clear();
        }
        socket.close(ec);
        io.restart();
        io.poll();  // cancelled handlers end here, while what they use lives
    }

    void FlushReplies(SerialClock::time_point sendBy) {
        if (replies.empty()) return;
        const telnet::Bytes out = std::move(replies);
        replies.clear();
        Send(out, sendBy);
    }
};

NetSerialPort::NetSerialPort(NetLinkOptions options) : options_(options) {}

NetSerialPort::~NetSerialPort() {
    Close();
}

bool NetSerialPort::StopAsked() const {
    return options_.stopped && options_.stopped();
}

SerialClock::time_point NetSerialPort::NextLook(SerialClock::time_point deadline) const {
    return options_.stopped ? std::min(deadline, SerialClock::now() + kStopLook) : deadline;
}

bool NetSerialPort::Open(const std::string& device, const SerialSettings& settings,
                         OpenFailure* failure, std::string* detail) {
    Close();
    serverSettings_.reset();
    auto fail = [&](OpenFailure f, const std::string& why) {
        if (failure) *failure = f;
        if (detail) *detail = why;
        return false;
    };
    const NetAddressResult parsed = ParseNetAddress(device);
    if (!parsed.address) return fail(OpenFailure::kBadAddress, parsed.error);
    const NetAddress& address = *parsed.address;
    const std::string waited = SecondsText(options_.connectTimeout);
    const auto connectBy = SerialClock::now() + options_.connectTimeout;

    std::vector<tcp::endpoint> endpoints;
    asio::error_code ec;
    const asio::ip::address ip = asio::ip::make_address(address.host, ec);
    if (!ec) {
        endpoints.emplace_back(ip, address.port);
    } else {
        const auto lookup = StartLookup(address.host, address.port);
        std::unique_lock lock(lookup->mutex);
        while (!lookup->finished) {
            if (StopAsked()) return fail(OpenFailure::kOther, kStoppedText);
            if (SerialClock::now() >= connectBy)
                return fail(OpenFailure::kTimedOut,
                            waited + " (the look-up of the name " + address.host + " took longer)");
            lookup->done.wait_until(lock, NextLook(connectBy));
        }
        if (lookup->error || lookup->endpoints.empty())
            return fail(OpenFailure::kHostNotFound,
                        lookup->error ? Sentence(lookup->error) : "it has no address");
        endpoints = lookup->endpoints;
    }

    auto c = std::make_unique<Connection>();
    c->byteTime = std::chrono::duration_cast<SerialClock::duration>(
        std::chrono::duration<double>(10.0 / std::max(settings.baud, 1)));
    bool connected = false;
    asio::error_code connectError;
    asio::async_connect(c->socket, endpoints, [&](asio::error_code e, const tcp::endpoint&) {
        connected = true;
        connectError = e;
    });
    bool stopped = false;
    while (!connected && !(stopped = StopAsked()) && SerialClock::now() < connectBy)
        c->RunOne(NextLook(connectBy));
    if (!connected || connectError) {
        const bool timedOut = !connected;
        asio::error_code ignored;
        c->socket.close(ignored);
        c->io.restart();
        c->io.poll();  // the cancelled connect ends here, while its captures live
        if (stopped) return fail(OpenFailure::kOther, kStoppedText);
        if (timedOut) return fail(OpenFailure::kTimedOut, waited);
        if (connectError == asio::error::connection_refused)
            return fail(OpenFailure::kRefused, Sentence(connectError));
        return fail(OpenFailure::kOther, Sentence(connectError));
    }
    // The protocol is one short request and its reply after another: nothing may wait to be
    // gathered into a larger packet.
    c->socket.set_option(tcp::no_delay(true), ec);
    // A few blocks' worth in flight is all the protocol ever has. A fixed send buffer keeps
    // what a server that stops reading makes us hold small, and tells it within the same
    // 64 KiB of owed answers whatever size the system would have grown the buffer to.
    c->socket.set_option(asio::socket_base::send_buffer_size(64 * 1024), ec);
#ifdef _WIN32
    // Windows acknowledges each segment at once when asked (otherwise it waits for a second one
    // or up to 200 ms), so a server that holds a reply until acknowledged is not held up. Older
    // systems refuse; they keep the delay.
    TCP_ACK_FREQUENCY_PARAMETERS everySegment{1};
    DWORD returned = 0;
    ::WSAIoctl(c->socket.native_handle(), SIO_TCP_SET_ACK_FREQUENCY, &everySegment,
               sizeof everySegment, nullptr, 0, &returned, nullptr, nullptr);
#endif

    if (address.protocol == NetProtocol::kRfc2217) {
        c->telnet.emplace(settings);
        const auto negotiateBy = SerialClock::now() + options_.connectTimeout;
        const telnet::Bytes start = c->telnet->Start();
        c->Send(start, negotiateBy);
        const telnet::ComPortClient& t = *c->telnet;
        // Each answer the negotiation owes the server is given the negotiation's own time to
        // leave: a server that stops reading must not hold the open past it.
        while (!t.Done() && t.Failure().empty() && t.ProtocolFailure().empty() && !c->closed &&
               c->data.size() <= kMaxDataBeforeSetUp && !(stopped = StopAsked()) &&
               SerialClock::now() < negotiateBy)
            c->Pump(NextLook(negotiateBy), negotiateBy);
        const std::string rawAdvice = "; if its port is set up for raw TCP, use tcp://" +
                                      device.substr(device.find("://") + 3) + " instead";
        std::string why;
        OpenFailure kind = OpenFailure::kNegotiation;
        if (stopped) {
            kind = OpenFailure::kOther;
            why = kStoppedText;
        } else if (!t.ProtocolFailure().empty()) {
            why = t.ProtocolFailure();
        } else if (c->data.size() > kMaxDataBeforeSetUp) {
            why = "it sent more than " + std::to_string(kMaxDataBeforeSetUp) +
                  " bytes of data before the serial line was set up, and kept sending";
        } else if (c->sendTimedOut) {
            why =
                "it stopped taking data (what was sent to it was not taken within " + waited + ")";
        } else if (!t.Failure().empty()) {
            if (t.OptionRefused()) {
                why = t.Failure() + rawAdvice;
            } else {
                kind = OpenFailure::kSettingsRefused;
                why = SettingsText(settings) + " (" + t.Failure() + ")";
            }
        } else if (c->closed) {
            const std::string said = TextSaid(c->data);
            why = "it closed the connection" + (said.empty() ? "" : " saying \"" + said + "\"");
        } else if (!t.Done()) {
            why = t.Missing() + " within " + waited + (t.OptionTaken() ? "" : rawAdvice);
        }
        if (!why.empty()) {
            c->Shutdown();
            return fail(kind, why);
        }
        serverSettings_ = t.ServerSettings();
    }
    if (failure) *failure = OpenFailure::kNone;
    c_ = std::move(c);
    open_ = true;
    return true;
}

void NetSerialPort::Close() {
    if (c_) {
        c_->Shutdown();
        c_.reset();
    }
    open_ = false;
}

bool NetSerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (!c_ || c_->closed) return false;
    if (!c_->telnet) return c_->Send(bytes, SerialClock::now() + kWriteTimeout);
    telnet::Bytes escaped;
    escaped.reserve(bytes.size() + 8);
    c_->telnet->AppendData(bytes, escaped);
    return c_->Send(escaped, SerialClock::now() + kWriteTimeout);
}

std::size_t NetSerialPort::BytesWaiting() {
    if (!c_) return 0;
    if (c_->data.empty()) c_->Poll();
    return c_->data.size();
}

std::optional<std::uint8_t> NetSerialPort::ReadByte() {
    if (BytesWaiting() == 0) return std::nullopt;
    const std::uint8_t b = c_->data.front();
    c_->data.pop_front();
    return b;
}

bool NetSerialPort::WaitForBytes(SerialClock::time_point deadline) {
    return WaitForReply(deadline, 1);
}

bool NetSerialPort::WaitForReply(SerialClock::time_point deadline, std::size_t count) {
    if (!c_) return false;
    // A closed connection has nothing more to give: no waiting for it. The bytes still to come
    // are at least as many on the wire (RFC 2217 doubles 0xFF), so the mark never waits too long.
    Connection& c = *c_;
    std::size_t heldBefore = 0;
    while (c.data.size() < count && !c.closed) {
        if (!c.wholeReplies) {
            c.WakeAt(1);
            if (!c.Pump(deadline)) break;
            continue;
        }
        c.WakeAt(count - c.data.size());
        // Many links at once acknowledge every few characters' time (a millisecond at least).
        const SerialClock::duration every =
            options_.manyAtOnce
                ? std::max<SerialClock::duration>(4 * c.byteTime, std::chrono::milliseconds(1))
                : SerialClock::duration(kHoldLook);
        const auto look = std::min(deadline, SerialClock::now() + every);
        if (c.Pump(look)) continue;
        if (SerialClock::now() >= deadline) break;
        asio::error_code ec;
        const std::size_t held = c.socket.available(ec);
        if (options_.manyAtOnce) {
            // What has come is taken in, and so acknowledged (the system acknowledges only
            // once the socket has been read empty).
            if (!ec && held > 0) {
                c.WakeAt(1);
                c.Pump(SerialClock::now() + std::chrono::milliseconds(1));
            }
        } else if (!ec && held > 0 && held == heldBefore) {
            // Part of the reply is here and nothing has come since the last look: the server
            // is waiting for it to be acknowledged.
            c.wholeReplies = false;
        }
        heldBefore = held;
    }
    // The deadline is a byte's, not the reply's: what has come of the reply by then, still below
    // the low-water mark, is handed over (a slow line, a busy server), so that only a unit that
    // sent nothing for that long times out.
    if (c.data.empty() && !c.closed) {
        c.WakeAt(1);
        c.Poll();
    }
    return !c.data.empty();
}

}  // namespace orv
