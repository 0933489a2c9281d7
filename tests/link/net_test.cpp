// Device server addresses, the telnet framing and the RFC 2217 client's negotiation, without a
// network: bytes in, bytes and states out. And how long replies take from a server on loopback
// that holds what it sends until it is acknowledged.
#include <gtest/gtest.h>

#include <algorithm>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <thread>

#include "link/device_address.h"
#include "link/net/net_serial_port.h"
#include "link/net/telnet.h"

namespace orv {
namespace {

using telnet::Bytes;
constexpr std::uint8_t IAC = telnet::kIac, SB = telnet::kSb, SE = telnet::kSe;
constexpr std::uint8_t WILL = telnet::kWill, WONT = telnet::kWont, DO = telnet::kDo,
                       DONT = telnet::kDont, COM = telnet::kComPort;

struct AddressCase {
    const char* text;
    std::optional<NetAddress> address;
    const char* error;  // part of the message when refused
};

TEST(NetAddress, ParsesOrSaysWhatIsWrong) {
    using P = NetProtocol;
    const AddressCase cases[] = {
        {"rfc2217://10.1.2.3:4001", NetAddress{P::kRfc2217, "10.1.2.3", 4001}, ""},
        {"TCP://unit-7.plant.example:23", NetAddress{P::kRawTcp, "unit-7.plant.example", 23}, ""},
        {"rfc2217://[::1]:4001/", NetAddress{P::kRfc2217, "::1", 4001}, ""},
#ifdef _WIN32
        {"tcp://[fe80::1%1]:65535", NetAddress{P::kRawTcp, "fe80::1%1", 65535}, ""},
#else
        {"tcp://[fe80::1%lo]:65535", NetAddress{P::kRawTcp, "fe80::1%lo", 65535}, ""},
        {"tcp://[fe80::1%nosuchif9]:4001", std::nullopt, "no network interface 'nosuchif9'"},
#endif
        {"rfc2217://[::ffff:10.1.2.3]:4001", NetAddress{P::kRfc2217, "::ffff:10.1.2.3", 4001}, ""},
        {"rfc2217://[1:2:3:4:5:6:7:8]:4001", NetAddress{P::kRfc2217, "1:2:3:4:5:6:7:8", 4001}, ""},
        {"rfc2217://[:]:4500", std::nullopt, "'[:]' is not an IPv6 address"},
        {"rfc2217://[:::1]:4500", std::nullopt, "'[:::1]' is not an IPv6 address"},
        {"rfc2217://[1::2::3]:4500", std::nullopt, "is not an IPv6 address"},
        {"rfc2217://[1:2:3:4:5:6:7:8:9]:4500", std::nullopt, "is not an IPv6 address"},
        {"rfc2217://[12345::1]:4500", std::nullopt, "is not an IPv6 address"},
        {"rfc2217://[::1%]:4500", std::nullopt, "nothing follows the '%'"},
        {"telnet://10.1.2.3:23", std::nullopt, "'telnet://' is not a kind of device server"},
        {"rfc2217://", std::nullopt, "names no host"},
        {"rfc2217://:4001", std::nullopt, "no host before the port"},
        {"rfc2217://10.1.2.3", std::nullopt, "it has no port"},
        {"rfc2217://10.1.2.3:", std::nullopt, "it has no port"},
        {"rfc2217://10.1.2.3:0", std::nullopt, "'0' is not a TCP port"},
        {"rfc2217://10.1.2.3:70000", std::nullopt, "'70000' is not a TCP port"},
        {"rfc2217://10.1.2.3:40x1", std::nullopt, "'40x1' is not a TCP port"},
        {"rfc2217://300.1.2.3:4001", std::nullopt, "'300.1.2.3' is not an IPv4 address"},
        {"rfc2217://plant room:4001", std::nullopt, "'plant room' is not a host name"},
        {"rfc2217://fe80::1:4001", std::nullopt,
         "goes in brackets, as in rfc2217://[fe80::1]:4001"},
        {"rfc2217://[fe80::1:4001", std::nullopt, "has no ']'"},
        {"rfc2217://[unit]:4001", std::nullopt, "'[unit]' is not an IPv6 address"},
        {"rfc2217://[::1]4001", std::nullopt, "comes ':' and the port"},
    };
    for (const auto& c : cases) {
        const NetAddressResult r = ParseNetAddress(c.text);
        EXPECT_EQ(r.address, c.address) << c.text;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << c.text << ": " << r.error;
        if (r.address) {
            EXPECT_TRUE(r.error.empty()) << c.text;
            EXPECT_EQ(ParseNetAddress(NetAddressText(*r.address)).address, r.address) << c.text;
        }
    }
    EXPECT_FALSE(IsNetAddress("/dev/ttyUSB0"));
    EXPECT_FALSE(IsNetAddress("COM5"));
    EXPECT_TRUE(IsRawTcpAddress("tcp://10.1.2.3:4001"));
    EXPECT_FALSE(IsRawTcpAddress("rfc2217://10.1.2.3:4001"));
}

// Received streams, cut anywhere, give the same data and commands.
TEST(Telnet, DecodesDataAndCommandsAcrossAnySplit) {
    struct Case {
        const char* name;
        Bytes wire;
        bool nvt;
        Bytes data;
        std::vector<telnet::Command> commands;
    };
    const Case cases[] = {
        {"doubled IAC is one 0xFF",
         {0x13, IAC, IAC, 0x00, IAC, IAC},
         false,
         {0x13, 0xFF, 0, 0xFF},
         {}},
        {"verbs between data",
         {1, IAC, DO, COM, 2, IAC, WONT, 1, 3},
         false,
         {1, 2, 3},
         {{DO, COM, {}}, {WONT, 1, {}}}},
        {"subnegotiation with a doubled IAC in it",
         {IAC, SB, COM, 101, 0, 0, IAC, IAC, 0x10, IAC, SE, 9},
         false,
         {9},
         {{SB, COM, {101, 0, 0, 0xFF, 0x10}}}},
        {"binary keeps CR NUL", {'\r', 0, 'a'}, false, {'\r', 0, 'a'}, {}},
        {"NVT drops the NUL after CR only",
         {'\r', 0, 0, '\r', '\n'},
         true,
         {'\r', 0, '\r', '\n'},
         {}},
        {"other commands carry nothing", {IAC, 241, 5, IAC, 249}, false, {5}, {}},
        // A one-byte command inside a subnegotiation is skipped: the subnegotiation goes on
        // and nothing of it leaks into the data.
        {"NOP inside a subnegotiation",
         {IAC, SB, COM, 101, IAC, telnet::kNop, 7, IAC, SE, 9},
         false,
         {9},
         {{SB, COM, {101, 7}}}},
        // A verb where IAC SE belongs ends the subnegotiation and is a verb, not data.
        {"verb where the end belongs",
         {IAC, SB, COM, 101, 1, IAC, WILL, 3, 9},
         false,
         {9},
         {{SB, COM, {101, 1}}, {WILL, 3, {}}}},
    };
    for (const auto& c : cases) {
        for (std::size_t cut = 0; cut <= c.wire.size(); ++cut) {
            telnet::Decoder d;
            d.SetPeerNvt(c.nvt);
            std::deque<std::uint8_t> data;
            std::vector<telnet::Command> commands;
            const auto keep = [&commands](const telnet::Command& k) { commands.push_back(k); };
            d.Feed(std::span(c.wire).first(cut), data, keep);
            d.Feed(std::span(c.wire).subspan(cut), data, keep);
            EXPECT_EQ(Bytes(data.begin(), data.end()), c.data) << c.name << ", cut at " << cut;
            EXPECT_EQ(commands, c.commands) << c.name << ", cut at " << cut;
        }
    }
    Bytes out;
    telnet::AppendData(Bytes{0xFF, '\r', 0x11, 0xFF}, out, true);
    EXPECT_EQ(out, (Bytes{0xFF, 0xFF, '\r', 0, 0x11, 0xFF, 0xFF}));
}

// A subnegotiation that goes on and on is dropped at the cap, whatever the pieces it comes in:
// what it held is given back, it is not handed over, and what follows its end is read as ever.
TEST(Telnet, EndlessSubnegotiationIsCappedNotKept) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{700}, std::size_t{65536}}) {
        SCOPED_TRACE(piece);
        telnet::Decoder d;
        std::deque<std::uint8_t> data;
        std::vector<telnet::Command> commands;
        const auto keep = [&commands](const telnet::Command& k) { commands.push_back(k); };
        const Bytes open{IAC, SB, COM};
        d.Feed(open, data, keep);
        const Bytes filler(piece, 'x');
        for (std::size_t sent = 0; sent < 1'000'000; sent += piece) d.Feed(filler, data, keep);
        EXPECT_TRUE(d.SubnegotiationTooLong());
        d.Feed(Bytes{IAC, SE, 'a', IAC, DO, 1}, data, keep);
        EXPECT_EQ(Bytes(data.begin(), data.end()), Bytes{'a'});
        EXPECT_EQ(commands, (std::vector<telnet::Command>{{DO, 1, {}}}));
    }
    // Up to the cap a subnegotiation is whole.
    telnet::Decoder d;
    std::deque<std::uint8_t> data;
    std::vector<telnet::Command> commands;
    Bytes wire{IAC, SB, COM};
    wire.insert(wire.end(), telnet::kMaxSubnegotiation, 'y');
    wire.insert(wire.end(), {IAC, SE});
    d.Feed(wire, data, [&commands](const telnet::Command& k) { commands.push_back(k); });
    EXPECT_FALSE(d.SubnegotiationTooLong());
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].payload.size(), telnet::kMaxSubnegotiation);
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Reply(std::uint8_t code, Bytes value) {
    value.insert(value.begin(), code);
    return telnet::Subnegotiation(COM, value);
}

// The server's side of a negotiation, and what the client makes of it.
TEST(ComPortClient, NegotiatesTheLineOrSaysWhyNot) {
    const SerialSettings wanted{115200, 'E', 7, 2};
    const Bytes rate{0, 1, 0xC2, 0};  // 115200
    const Bytes confirmAll =
        Join({Reply(101, rate), Reply(102, {7}), Reply(103, {3}), Reply(104, {2})});
    struct Case {
        const char* name;
        Bytes server;
        bool done;
        const char* failure;
        bool optionRefused;
    };
    const Case cases[] = {
        {"confirms everything", Join({telnet::Verb(DO, COM), confirmAll, Reply(105, {1})}), true,
         "", false},
        {"never answers the flow control", Join({telnet::Verb(DO, COM), confirmAll}), true, "",
         false},
        {"turns the option down", telnet::Verb(DONT, COM), false, "turned down RFC 2217", true},
        {"answers another rate",
         Join({telnet::Verb(DO, COM), Reply(101, {0, 0, 0x25, 0x80}), Reply(102, {7}),
               Reply(103, {3}), Reply(104, {2})}),
         false, "asked for 115200 baud, it answered 9600 baud", false},
        {"answers no parity", Join({telnet::Verb(DO, COM), Reply(103, {1})}), false,
         "asked for parity E, it answered N", false},
        {"answers before the option is agreed: those count for nothing",
         Join({confirmAll, telnet::Verb(DO, COM)}), false, "", false},
        {"still missing the stop bits",
         Join({telnet::Verb(DO, COM), Reply(101, rate), Reply(102, {7}), Reply(103, {3})}), false,
         "", false},
    };
    // A server whose subnegotiation never ends is given up, whatever it confirmed.
    {
        telnet::ComPortClient client(wanted);
        client.Start();
        std::deque<std::uint8_t> data;
        Bytes reply;
        Bytes server = Join({telnet::Verb(DO, COM), confirmAll, Bytes{IAC, SB, COM}});
        server.insert(server.end(), telnet::kMaxSubnegotiation + 1, 'z');
        client.Receive(server, data, reply);
        EXPECT_FALSE(client.Done());
        EXPECT_NE(client.ProtocolFailure().find("subnegotiation of more than 4096 bytes"),
                  std::string::npos)
            << client.ProtocolFailure();
    }
    for (const auto& c : cases) {
        telnet::ComPortClient client(wanted);
        const Bytes start = client.Start();
        EXPECT_EQ(start,
                  Join({telnet::Verb(WILL, COM), telnet::Verb(WILL, 0), telnet::Verb(DO, 0)}));
        std::deque<std::uint8_t> data;
        Bytes reply;
        for (std::uint8_t b : c.server) client.Receive(std::span(&b, 1), data, reply);
        EXPECT_EQ(client.Done(), c.done) << c.name;
        EXPECT_NE(client.Failure().find(c.failure), std::string::npos)
            << c.name << ": " << client.Failure();
        EXPECT_EQ(client.Failure().empty(), *c.failure == '\0') << c.name;
        EXPECT_EQ(client.OptionRefused(), c.optionRefused) << c.name;
        EXPECT_TRUE(data.empty()) << c.name;
        if (client.OptionTaken()) {
            // The settings go out once the server took the option, and no flow control is asked.
            EXPECT_EQ(reply,
                      Join({telnet::SetBaudRate(115200), telnet::Subnegotiation(COM, Bytes{2, 7}),
                            telnet::Subnegotiation(COM, Bytes{3, 3}),
                            telnet::Subnegotiation(COM, Bytes{4, 2}),
                            telnet::Subnegotiation(COM, Bytes{5, 1})}))
                << c.name;
        }
    }
}

// Options: the server's echo would send our own bytes back as replies; binary both ways keeps
// every byte value; requests we made are not answered again.
TEST(ComPortClient, RefusesEchoAndAgreesToBinaryWithoutLoops) {
    telnet::ComPortClient client({9600, 'N', 8, 1});
    client.Start();
    std::deque<std::uint8_t> data;
    Bytes reply;
    const Bytes server = Join({telnet::Verb(WILL, 3), telnet::Verb(DO, 3), telnet::Verb(WILL, 1),
                               telnet::Verb(DONT, 1), telnet::Verb(DO, 0), telnet::Verb(WILL, 0),
                               telnet::Verb(DO, 24), telnet::Verb(WILL, 0), Bytes{'\r', 0}});
    client.Receive(server, data, reply);
    EXPECT_EQ(reply, Join({telnet::Verb(DO, 3), telnet::Verb(WILL, 3), telnet::Verb(DONT, 1),
                           telnet::Verb(WONT, 24)}));
    EXPECT_EQ(Bytes(data.begin(), data.end()), (Bytes{'\r', 0}));  // binary: the NUL is data
    Bytes out;
    client.AppendData(Bytes{'\r', 0xFF}, out);
    EXPECT_EQ(out, (Bytes{'\r', 0xFF, 0xFF}));
}

// A stop asked for (Ctrl+C) ends an open that waits for a silent server at once, not at the end
// of its connect timeout.
TEST(NetSerialPort, AStopEndsAnOpenThatWaits) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    const auto port = acceptor.local_endpoint().port();
    asio::ip::tcp::socket held(io);
    std::thread server([&] { acceptor.accept(held); });  // takes the client, never negotiates
    std::atomic<bool> stop{false};
    NetLinkOptions options;
    options.connectTimeout = std::chrono::seconds(30);
    options.stopped = [&stop] { return stop.load(); };
    NetSerialPort link(options);
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    OpenFailure failure = OpenFailure::kNone;
    std::string detail;
    EXPECT_FALSE(link.Open("rfc2217://127.0.0.1:" + std::to_string(port), {9600, 'N', 8, 1},
                           &failure, &detail));
    const auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    server.join();
    EXPECT_EQ(failure, OpenFailure::kOther);
    EXPECT_NE(detail.find("stopped"), std::string::npos) << detail;
    EXPECT_LT(took, std::chrono::seconds(2));
}

// Hosts written two ways lead to one address; an address is its own, in its usual form.
TEST(HostAddresses, NamesAndAddressesInTheirCanonicalForm) {
    const auto found = HostAddresses(
        {"127.0.0.1", "localhost", "::ffff:127.0.0.1", "0:0::1", "no-such-host.invalid"},
        std::chrono::seconds(5));
    EXPECT_EQ(found.at("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(found.at("::ffff:127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(found.at("0:0::1"), std::vector<std::string>{"::1"});
    const auto& local = found.at("localhost");
    EXPECT_NE(std::find(local.begin(), local.end(), "127.0.0.1"), local.end());
    EXPECT_TRUE(found.at("no-such-host.invalid").empty());
}

#ifdef __linux__
// A device server on loopback that answers each one-byte request with the characters 0, 1, ...
// reply - 1, one write each with `gap` between them (as its serial side delivers them), and then
// waits for the client to end. With Nagle's rule (ser2net's default) it sends nothing more of a
// reply until what it sent is acknowledged; without, each character goes at once.
class CharacterServer {
  public:
    CharacterServer(int replies, std::size_t reply, std::chrono::microseconds gap, bool nagle)
        : acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0}) {
        thread_ = std::thread([this, replies, reply, gap, nagle] {
            asio::ip::tcp::socket s(io_);
            acceptor_.accept(s);
            accepted_ = true;
            s.set_option(asio::ip::tcp::no_delay(!nagle));
            std::uint8_t request = 0;
            asio::error_code ec;
            for (int r = 0; r < replies && !ec; ++r) {
                asio::read(s, asio::buffer(&request, 1), ec);
                for (std::size_t k = 0; k < reply && !ec; ++k) {
                    const std::uint8_t b = static_cast<std::uint8_t>(k);
                    asio::write(s, asio::buffer(&b, 1), ec);
                    std::this_thread::sleep_for(gap);
                }
            }
            asio::read(s, asio::buffer(&request, 1), ec);  // until the client ends
        });
    }
    // A test that stopped before its link connected must not wait for ever: a connect of our own
    // lets the server end.
    ~CharacterServer() {
        if (!accepted_) {
            asio::io_context io;
            asio::ip::tcp::socket poke(io);
            asio::error_code ignored;
            poke.connect(acceptor_.local_endpoint(), ignored);
            poke.close(ignored);
        }
        thread_.join();
    }
    std::string Address() const {
        return "tcp://127.0.0.1:" + std::to_string(acceptor_.local_endpoint().port());
    }

  private:
    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    std::atomic<bool> accepted_{false};
    std::thread thread_;
};

// Waiting for a reply whole without acknowledging its first piece would hold every reply of a
// Nagle server for the system's delayed acknowledgement (40 ms or more); with each piece taken
// in, thirty replies of 35 characters over about 7 ms each take little more than their own
// time. Both ways of waiting: one link, and many at once.
TEST(NetSerialPort, ReplyHeldUntilAcknowledgedIsNotDelayed) {
    constexpr int kReplies = 30;
    constexpr std::size_t kReply = 35;
    for (const bool manyAtOnce : {false, true}) {
        SCOPED_TRACE(manyAtOnce ? "many at once" : "one link");
        CharacterServer server(kReplies, kReply, std::chrono::microseconds(200), true);
        NetLinkOptions options;
        options.manyAtOnce = manyAtOnce;
        NetSerialPort link(options);
        ASSERT_TRUE(link.Open(server.Address(), {115200, 'N', 8, 1}, nullptr, nullptr));
        const auto t0 = std::chrono::steady_clock::now();
        for (int r = 0; r < kReplies; ++r) {
            const std::uint8_t request = 'G';
            ASSERT_TRUE(link.Write({&request, 1}));
            ASSERT_TRUE(link.WaitForReply(
                std::chrono::steady_clock::now() + std::chrono::seconds(2), kReply));
            ASSERT_EQ(link.BytesWaiting(), kReply);
            for (std::size_t k = 0; k < kReply; ++k)
                ASSERT_EQ(link.ReadByte(),
                          std::optional<std::uint8_t>(static_cast<std::uint8_t>(k)));
        }
        const auto took = std::chrono::steady_clock::now() - t0;
        link.Close();
        // About 0.3 s of replies; held for the delayed acknowledgement they take over 1.2 s.
        EXPECT_LT(took, std::chrono::milliseconds(1000));
    }
}

// A server that sends each character at once, at a slow rate: the reply takes longer on the line
// than a byte may keep the client waiting, but no byte is late. Each wait with the per-byte
// deadline must hand over what has come by then, however little of the reply it is, or a Read at
// 1200 baud (and any unit slowed by a busy machine) would fail as if the unit had stopped.
TEST(NetSerialPort, ReplySlowerThanOneWaitIsHandedOverAsItComes) {
    constexpr std::size_t kReply = 35;
    constexpr auto kCharTime = std::chrono::milliseconds(9);  // 35 of them: 315 ms
    constexpr auto kByteTimeout = std::chrono::milliseconds(250);
    for (const bool manyAtOnce : {false, true}) {
        SCOPED_TRACE(manyAtOnce ? "many at once" : "one link");
        CharacterServer server(1, kReply, kCharTime, false);
        NetLinkOptions options;
        options.manyAtOnce = manyAtOnce;
        NetSerialPort link(options);
        ASSERT_TRUE(link.Open(server.Address(), {1200, 'N', 8, 1}, nullptr, nullptr));
        const std::uint8_t request = 'G';
        ASSERT_TRUE(link.Write({&request, 1}));
        // As the exchanges take a reply: a byte at a time, each with its own deadline.
        for (std::size_t k = 0; k < kReply; ++k) {
            if (link.BytesWaiting() == 0) {
                ASSERT_TRUE(
                    link.WaitForReply(std::chrono::steady_clock::now() + kByteTimeout, kReply - k))
                    << "byte " << k << " of the reply timed out";
            }
            ASSERT_EQ(link.ReadByte(), std::optional<std::uint8_t>(static_cast<std::uint8_t>(k)));
        }
        link.Close();
    }
}
#endif

}  // namespace
}  // namespace orv
