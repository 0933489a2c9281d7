// orv-unit-sim: a simulated unit on a pseudo-terminal, or behind a device server of its own on a
// TCP port. Prints the device or address to open (first line of standard output), answers as the
// unit does, and logs each command it receives, one per line.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/qt/port_settings.h"
#include "model/defaults.h"
#include "unit_engine.h"
#include "unit_line.h"

namespace {

using orv::sim::Clock;
using orv::sim::UnitOptions;

volatile sig_atomic_t gStop = 0;
void OnSignal(int) {
    gStop = 1;
}

struct Options {
    UnitOptions unit;
    std::string eepromPath;
    std::string logPath;
    std::string timingPath;
    int com = 0;
    bool pace = false;
    int baud = 9600;
    std::optional<orv::sim::ListenSpec> listen;
    orv::sim::NetFaults net;
};

void Usage(FILE* to) {
    std::fputs(
        "Usage: orv-unit-sim [options]\n"
        "A simulated ORV Pro unit on a pseudo-terminal, or behind a device server on a TCP port\n"
        "(--listen). The first line printed is the device or address to open; stop with Ctrl+C.\n\n"
        "  --listen tcp:PORT    serve the unit on a TCP port instead, as a raw TCP device server\n"
        "  --listen rfc2217:PORT  ... or as an RFC 2217 one (the client sets the rate); on\n"
        "                       127.0.0.1 unless a host comes first (rfc2217:[::1]:PORT,\n"
        "                       tcp:0.0.0.0:PORT); port 0 takes a free one\n"
        "  --eeprom PATH        keep the 4096-byte EEPROM in this file (created from the default\n"
        "                       configuration on first use); without it the EEPROM lives in "
        "memory\n"
        "  --com N              map COM N to this unit in the settings store while running\n"
        "  --version1 TEXT      first version line\n"
        "  --version2 TEXT      second version line\n"
        "  --line-end crlf|lf|nul   how version lines end (default crlf)\n"
        "  --modules a,b,c,d    module type codes of banks 1..4 (default 15,0,0,0)\n"
        "  --pulse a,b,c,d      pulse reply bytes: fast OFF, fast ON, slow OFF, slow ON in 10 ms\n"
        "                       (default 12,12,48,48)\n"
        "  --baud N             the unit's baud rate (default 9600); requests sent at another "
        "rate\n"
        "                       are taken as line noise and not answered\n"
        "  --pace               send and take bytes no faster than the baud rate allows\n"
        "  --log FILE           log received commands to FILE instead of standard error\n"
        "  --timing FILE        when the unit stops, write to FILE when each block's reply began\n"
        "                       and ended on the line, and when the first byte of its request\n"
        "                       came from the line's driver (steady clock, ns; one block a line)\n"
        "faults:\n"
        "  --refuse-block N     answer 0x15 to every write of block N (240: the MAC block)\n"
        "  --forget-block N     answer 0x06 to every write of block N (0..239) but keep what\n"
        "                       the block held\n"
        "  --silent             answer nothing\n"
        "  --stop-after N       stop answering after N block reads/writes\n"
        "  --bad-probe          answer the connection probe with 0x12\n"
        "  --corrupt-nibbles    set the upper 4 bits of every nibble byte sent\n"
        "  --endless-version    answer the version request with a line that never ends\n"
        "device server faults (with --listen):\n"
        "  --close-after N      close the connection once N block reads/writes were served\n"
        "                       (once; later connections are served)\n"
        "  --never-answer       accept connections and never answer, nor negotiate\n"
        "  --never-accept       never accept: a connect waits until its time runs out\n"
        "  --slow-negotiation MS  hold every RFC 2217 negotiation answer MS milliseconds\n"
        "  --refuse-baud RATE   answer a request for RATE with the rate the port has\n"
        "  --no-control-ack     never answer the RFC 2217 flow control setting\n"
        "  --flood              send data without end from the moment a client connects\n"
        "  --endless-subnegotiation  (rfc2217) open a subnegotiation at connect and never end "
        "it\n"
        "  --stop-reading       never read what the client sends; over rfc2217 also ask it\n"
        "                       for an option again and again, so that its answers pile up\n",
        to);
}

bool ParseInt(const char* text, int lo, int hi, int& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseFour(const char* text, std::array<std::uint8_t, 4>& out) {
    std::string s(text);
    std::size_t pos = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t comma = s.find(',', pos);
        if ((k < 3) != (comma != std::string::npos)) return false;
        int v = 0;
        if (!ParseInt(s.substr(pos, comma - pos).c_str(), 0, 255, v)) return false;
        out[k] = static_cast<std::uint8_t>(v);
        pos = comma + 1;
    }
    return true;
}

std::optional<Options> ParseArgs(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "orv-unit-sim: %s needs a value\n", a.c_str());
                return nullptr;
            }
            return argv[++i];
        };
        auto bad = [&](const char* v) {
            std::fprintf(stderr, "orv-unit-sim: bad value for %s: %s\n", a.c_str(), v);
            return std::nullopt;
        };
        const char* v = nullptr;
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            std::exit(0);
        } else if (a == "--silent")
            o.unit.silent = true;
        else if (a == "--bad-probe")
            o.unit.badProbe = true;
        else if (a == "--corrupt-nibbles")
            o.unit.corruptNibbles = true;
        else if (a == "--endless-version")
            o.unit.endlessVersion = true;
        else if (a == "--pace")
            o.pace = true;
        else if (a == "--never-answer")
            o.net.neverAnswer = true;
        else if (a == "--never-accept")
            o.net.neverAccept = true;
        else if (a == "--no-control-ack")
            o.net.noControlAck = true;
        else if (a == "--flood")
            o.net.flood = true;
        else if (a == "--endless-subnegotiation")
            o.net.endlessSubnegotiation = true;
        else if (a == "--stop-reading")
            o.net.stopReading = true;
        else if (!(v = value()))
            return std::nullopt;
        else if (a == "--eeprom")
            o.eepromPath = v;
        else if (a == "--log")
            o.logPath = v;
        else if (a == "--timing")
            o.timingPath = v;
        else if (a == "--version1")
            o.unit.version[0] = v;
        else if (a == "--version2")
            o.unit.version[1] = v;
        else if (a == "--com") {
            if (!ParseInt(v, 1, 16, o.com)) return bad(v);
        } else if (a == "--baud") {
            if (!ParseInt(v, 50, 4000000, o.baud)) return bad(v);
        } else if (a == "--refuse-block") {
            if (!ParseInt(v, 0, 255, o.unit.refuseBlock)) return bad(v);
        } else if (a == "--forget-block") {
            if (!ParseInt(v, 0, orv::kConfigBlocks - 1, o.unit.forgetBlock)) return bad(v);
        } else if (a == "--stop-after") {
            if (!ParseInt(v, 0, 1 << 30, o.unit.stopAfter)) return bad(v);
        } else if (a == "--listen") {
            if (!(o.listen = orv::sim::ParseListenSpec(v))) return bad(v);
        } else if (a == "--close-after") {
            if (!ParseInt(v, 0, 1 << 30, o.net.closeAfter)) return bad(v);
        } else if (a == "--slow-negotiation") {
            if (!ParseInt(v, 1, 600000, o.net.slowNegotiationMs)) return bad(v);
        } else if (a == "--refuse-baud") {
            if (!ParseInt(v, 1, 4000000, o.net.refuseBaud)) return bad(v);
        } else if (a == "--modules") {
            if (!ParseFour(v, o.unit.modules)) return bad(v);
        } else if (a == "--pulse") {
            if (!ParseFour(v, o.unit.pulse)) return bad(v);
        } else if (a == "--line-end") {
            const std::string e = v;
            if (e == "crlf")
                o.unit.lineEnd = "\r\n";
            else if (e == "lf")
                o.unit.lineEnd = "\n";
            else if (e == "nul")
                o.unit.lineEnd = std::string(1, '\0');
            else
                return bad(v);
        } else {
            std::fprintf(stderr, "orv-unit-sim: unknown option %s (see --help)\n", a.c_str());
            return std::nullopt;
        }
    }
    const orv::sim::NetFaults none;
    if (!o.listen &&
        (o.net.closeAfter != none.closeAfter || o.net.neverAnswer || o.net.neverAccept ||
         o.net.slowNegotiationMs != 0 || o.net.refuseBaud != 0 || o.net.noControlAck ||
         o.net.flood || o.net.endlessSubnegotiation || o.net.stopReading)) {
        std::fprintf(stderr, "orv-unit-sim: the device server faults need --listen\n");
        return std::nullopt;
    }
    if (o.net.endlessSubnegotiation && !o.listen->rfc2217) {
        std::fprintf(stderr,
                     "orv-unit-sim: --endless-subnegotiation needs --listen rfc2217:PORT (raw TCP "
                     "has no telnet subnegotiation)\n");
        return std::nullopt;
    }
    return o;
}

// The EEPROM as a file of 4096 bytes, written through block by block.
class EepromStore {
  public:
    bool Load(const std::string& path, const UnitOptions& unit, orv::Image& image) {
        FillDefault(unit, image);
        if (path.empty()) return true;
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
        if (fd_ < 0) {
            std::fprintf(stderr, "orv-unit-sim: cannot open %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
        const off_t size = ::lseek(fd_, 0, SEEK_END);
        if (size == 0) {
            if (::pwrite(fd_, image.data(), image.size(), 0) !=
                static_cast<ssize_t>(image.size())) {
                std::fprintf(stderr, "orv-unit-sim: cannot write %s: %s\n", path.c_str(),
                             std::strerror(errno));
                return false;
            }
            return true;
        }
        if (size != orv::kImageSize ||
            ::pread(fd_, image.data(), image.size(), 0) != static_cast<ssize_t>(image.size())) {
            std::fprintf(stderr, "orv-unit-sim: %s is not a 4096-byte EEPROM file\n", path.c_str());
            return false;
        }
        return true;
    }
    void SaveBlock(const orv::Image& image, int block) {
        if (fd_ < 0) return;
        const off_t at = static_cast<off_t>(block) * orv::kBlockSize;
        if (::pwrite(fd_, image.data() + at, orv::kBlockSize, at) != orv::kBlockSize)
            std::fprintf(stderr, "orv-unit-sim: cannot save block %d: %s\n", block,
                         std::strerror(errno));
    }
    ~EepromStore() {
        if (fd_ >= 0) ::close(fd_);
    }

  private:
    static void FillDefault(const UnitOptions& unit, orv::Image& image) {
        auto state = orv::MakeStartupState();
        for (int b = 0; b < orv::kBanks; ++b)
            state.moduleTypes[b] = unit.modules[b] < 16 ? unit.modules[b] : 0;
        image.fill(0);
        orv::BuildImage(state.rec, state.moduleTypes, image);
    }
    int fd_ = -1;
};

// Where the run of unit bytes that starts at outbound[at] ends: the line passes on at most
// `together` bytes at once, and what came before a pause of a few characters' time (a serial
// port's receive timeout) without waiting for more.
template <typename Queue>
std::size_t RunEnd(const Queue& outbound, std::size_t at, std::size_t together,
                   std::chrono::nanoseconds byteTime) {
    const auto pause = 4 * byteTime;
    std::size_t end = at + 1;
    while (end < outbound.size() && end - at < together &&
           outbound[end].due - outbound[end - 1].due <= pause)
        ++end;
    return end;
}

speed_t SpeedFor(int baud) {
    switch (baud) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B0;
    }
}

int BaudOf(speed_t s) {
    for (int b : {110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        if (SpeedFor(b) == s) return b;
    return 0;
}

// Restores the COM mapping that --com replaced, however the program ends.
struct ComMapping {
    int com = 0;
    std::optional<std::string> previous;
    void Map(int n, const std::string& device) {
        com = n;
        previous = orv::ReadComMapping(n);
        orv::SetComMapping(n, device);
    }
    ~ComMapping() {
        if (com == 0) return;
        if (previous)
            orv::SetComMapping(com, *previous);
        else
            orv::ClearComMapping(com);
    }
};

// The unit on a pseudo-terminal: the client opens the terminal side, whose speed says the rate
// the client set.
class PtyLine : public orv::sim::UnitLine {
  public:
    ~PtyLine() override {
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    bool Open(int baud) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            std::fprintf(stderr, "orv-unit-sim: cannot create a pseudo-terminal: %s\n",
                         std::strerror(errno));
            return false;
        }
        device_ = ::ptsname(master_);
        // Hold the terminal side open ourselves: the line stays up between the client's exchanges
        // and we can see the speed the client set.
        slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY);
        if (slave_ < 0) {
            std::fprintf(stderr, "orv-unit-sim: cannot open %s: %s\n", device_.c_str(),
                         std::strerror(errno));
            return false;
        }
        termios tio{};
        ::tcgetattr(slave_, &tio);
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, SpeedFor(baud) == B0 ? B9600 : SpeedFor(baud));
        ::tcsetattr(slave_, TCSANOW, &tio);
        return true;
    }
    std::string Name() const override { return device_; }
    void AddPollFds(std::vector<pollfd>& fds, bool wantWrite) override {
        first_ = fds.size();
        fds.push_back({master_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0});
    }
    void Service(std::span<const pollfd> fds, std::vector<std::uint8_t>& received) override {
        if (fds.size() <= first_ || !(fds[first_].revents & POLLIN)) return;
        std::uint8_t buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) received.insert(received.end(), buf, buf + n);
    }
    std::size_t Send(std::span<const std::uint8_t> bytes) override {
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    int LineBaud(int unitBaud) override {
        termios line{};
        if (::tcgetattr(slave_, &line) == 0) return BaudOf(::cfgetispeed(&line));
        return unitBaud;
    }

  private:
    int master_ = -1, slave_ = -1;
    std::string device_;
    std::size_t first_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = ParseArgs(argc, argv);
    if (!parsed) return 2;
    const Options& opt = *parsed;
    // Paced bytes are due every few tens of microseconds at the high rates; the default 50 us
    // timer slack would stretch every wait and make the line look slower than its baud rate.
    if (opt.pace) ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    FILE* log = stderr;
    if (!opt.logPath.empty()) {
        log = std::fopen(opt.logPath.c_str(), "w");
        if (!log) {
            std::fprintf(stderr, "orv-unit-sim: cannot write %s: %s\n", opt.logPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::setvbuf(log, nullptr, _IOLBF, 0);

    orv::Image eeprom{};
    EepromStore store;
    if (!store.Load(opt.eepromPath, opt.unit, eeprom)) return 1;

    std::unique_ptr<orv::sim::UnitLine> line;
    if (opt.listen) {
        line = orv::sim::ListenOnNetwork(
            *opt.listen, opt.net, opt.baud,
            [log](const std::string& text) { std::fprintf(log, "%s\n", text.c_str()); });
    } else {
        auto pty = std::make_unique<PtyLine>();
        if (pty->Open(opt.baud)) line = std::move(pty);
    }
    if (!line) return 1;
    const std::string device = line->Name();

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    ::sigprocmask(SIG_BLOCK, &blocked, &waitMask);  // delivered only inside ppoll
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);

    ComMapping mapping;
    if (opt.com != 0) mapping.Map(opt.com, device);

    std::printf("%s\n", device.c_str());
    std::fflush(stdout);
    std::fprintf(log, "listening | %s | baud %d%s%s\n", device.c_str(), opt.baud,
                 opt.pace ? ", paced" : "",
                 opt.com ? (", COM" + std::to_string(opt.com)).c_str() : "");

    orv::sim::UnitEngine engine(
        opt.unit, eeprom,
        [log](const std::string& line) { std::fprintf(log, "%s\n", line.c_str()); },
        [&](int block) { store.SaveBlock(eeprom, block); });

    // Wire time of one character: start bit, 8 data bits, stop bit.
    const auto byteTime = opt.pace ? std::chrono::nanoseconds(10'000'000'000LL / opt.baud)
                                   : std::chrono::nanoseconds(0);
    struct Timed {
        Clock::time_point due;  // arrival on the wire, or when it has left it
        std::uint8_t byte;
        int reply = -1;            // of outbound bytes: the block reply they belong to (--timing)
        Clock::time_point seen{};  // of inbound bytes: when the driver handed it over
    };
    std::deque<Timed> inbound, outbound;
    Clock::time_point rxFree{}, txFree{};
    constexpr std::size_t kMaxInbound = 65536;
    // The unit acts on a request once it is whole, so the bytes of one are taken together when
    // the last has crossed the line; a long run of input a few milliseconds at a time.
    constexpr auto kInboundBatch = std::chrono::milliseconds(5);
    constexpr auto kWaitAwake = std::chrono::microseconds(100);
    constexpr auto kWaitAwakeUpTo = std::chrono::microseconds(200);  // a byte's time: 57600 baud
    bool overrun = false;
    auto streamStarted = Clock::now();
    // When each block's reply began and ended on the line.
    struct ReplyTimes {
        Clock::time_point first{}, last{}, requestSeen{};
    };
    std::vector<ReplyTimes> timings;
    // When the first byte of the request being taken in came from the driver: what the line
    // before the unit (a pseudo-terminal, a device server) took shows apart from the unit's share.
    Clock::time_point requestSeen{};
    const std::size_t together = line->PassOnTogether();

    // A reply goes out from from on, one byte after another at the line's pace: a real unit
    // answers from when the request arrived, however late this loop came round to it.
    auto queueReply = [&](const std::vector<std::uint8_t>& bytes, Clock::time_point from,
                          bool blockReply) {
        int tag = -1;
        if (blockReply && !opt.timingPath.empty() && !bytes.empty()) {
            timings.push_back({{}, {}, requestSeen});
            tag = static_cast<int>(timings.size() - 1);
        }
        for (std::uint8_t b : bytes) {
            txFree = std::max(txFree, from) + byteTime;
            outbound.push_back({txFree, b, tag});
        }
    };

    while (!gStop) {
        const auto now = Clock::now();
        // Deliver what has fully arrived to the unit.
        std::vector<Timed> arrived;
        while (!inbound.empty() && inbound.front().due <= now) {
            arrived.push_back(inbound.front());
            inbound.pop_front();
        }
        if (!arrived.empty()) {
            const int lineBaud = line->LineBaud(opt.baud);
            if (lineBaud != opt.baud) {
                std::vector<std::uint8_t> noise;
                for (const Timed& t : arrived) noise.push_back(t.byte);
                std::fprintf(log, "noise | %s | line set to %d baud, unit at %d: not understood\n",
                             orv::HexBytes(noise).c_str(), lineBaud, opt.baud);
            } else {
                // One byte at a time, so that each reply starts when its request was whole.
                std::vector<std::uint8_t> reply;
                for (const Timed& t : arrived) {
                    const bool wasStreaming = engine.Streaming();
                    const int served = engine.BlocksServed();
                    if (requestSeen == Clock::time_point{}) requestSeen = t.seen;
                    reply.clear();
                    engine.Receive(std::span<const std::uint8_t>(&t.byte, 1), reply);
                    if (engine.Streaming() && !wasStreaming) streamStarted = Clock::now();
                    queueReply(reply, t.due, engine.BlocksServed() != served);
                    if (!reply.empty()) requestSeen = {};  // the next byte starts another
                }
            }
        }
        if (engine.Streaming()) {
            if (Clock::now() - streamStarted > std::chrono::seconds(20)) {
                engine.StopStream();
            } else if (outbound.size() < 256) {
                std::vector<std::uint8_t> more;
                engine.MoreStream(more, 64);
                queueReply(more, Clock::now(), false);
            }
        }
        // Put on the line what has fully left the unit: runs of bytes, as the line passes them
        // on (see below), each once its last byte has left.
        std::vector<std::uint8_t> ready;
        const auto sendNow = Clock::now();
        Clock::time_point nextRun = Clock::time_point::max();
        for (std::size_t at = 0; at < outbound.size();) {
            const std::size_t end = RunEnd(outbound, at, together, byteTime);
            if (outbound[end - 1].due > sendNow) {
                nextRun = outbound[end - 1].due;
                break;
            }
            for (; at < end; ++at) ready.push_back(outbound[at].byte);
        }
        if (!ready.empty()) {
            const std::size_t n = line->Send(ready);
            const auto sent = Clock::now();
            for (std::size_t k = 0; k < n; ++k) {
                const int tag = outbound[k].reply;
                if (tag < 0) continue;
                if (timings[tag].first == Clock::time_point{}) timings[tag].first = sent;
                timings[tag].last = sent;
            }
            outbound.erase(outbound.begin(), outbound.begin() + static_cast<std::ptrdiff_t>(n));
        }
        line->AfterServing(engine.BlocksServed(), outbound.empty());

        // Sleep until input, the next byte due, or a signal.
        Clock::time_point next = Clock::time_point::max();
        if (!inbound.empty())
            next = std::min(inbound.back().due, inbound.front().due + kInboundBatch);
        if (engine.Streaming() && outbound.empty()) next = Clock::now();  // keep the line busy
        bool wantWrite = false;
        if (!outbound.empty()) {
            if (nextRun == Clock::time_point::max())
                wantWrite = true;  // the line did not take everything due
            else
                next = std::min(next, nextRun);
        }
        if (const auto due = line->NextDue()) next = std::min(next, *due);
        std::vector<pollfd> pfds;
        line->AddPollFds(pfds, wantWrite);
        // Two moments end the client's or the unit's wait: the last byte of a request arriving
        // (the unit answers from then on) and the last byte of a reply leaving. At the high rates
        // they keep their time: a sleep may wake some tens of microseconds late, a few per cent
        // of a block at 115200 baud, so the last moments before them are waited awake. Not the
        // other bytes: they are due by the clock, not by when the one before them went, so a
        // late wake-up costs them nothing; and not at the low rates, where it is a fraction of a
        // per mille and a site's worth of simulated units would keep the processor busy for it.
        const bool onTime =
            opt.pace && byteTime <= kWaitAwakeUpTo && next != Clock::time_point::max() &&
            ((!outbound.empty() && next == nextRun && nextRun == outbound.back().due) ||
             (!inbound.empty() && next == inbound.back().due));
        const bool awake = onTime && next - Clock::now() < kWaitAwake;
        timespec ts{};
        timespec* timeout = nullptr;
        if (next != Clock::time_point::max()) {
            const auto wakeAt = onTime ? next - kWaitAwake : next;
            const auto left = std::max(wakeAt - Clock::now(), Clock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            ts.tv_sec = ns / 1'000'000'000;
            ts.tv_nsec = ns % 1'000'000'000;
            timeout = &ts;
        }
        int r = 0;
        if (awake) {
            timespec none{};
            while ((r = ::ppoll(pfds.data(), pfds.size(), &none, &waitMask)) == 0 &&
                   Clock::now() < next) {
            }
        } else {
            r = ::ppoll(pfds.data(), pfds.size(), timeout, &waitMask);
        }
        if (r < 0 && errno != EINTR) break;
        if (r < 0)
            for (auto& p : pfds) p.revents = 0;
        std::vector<std::uint8_t> received;
        line->Service(pfds, received);
        const auto seen = Clock::now();  // what one read handed over came together
        for (std::uint8_t b : received) {
            // A paced line takes no more than its rate: what a client sends faster piles up, and
            // beyond what a serial port's buffer holds it is lost, as on a real line.
            if (inbound.size() >= kMaxInbound) {
                if (!overrun)
                    std::fprintf(log, "overrun | | input beyond %zu bytes dropped\n", kMaxInbound);
                overrun = true;
                continue;
            }
            overrun = false;
            rxFree = std::max(rxFree, seen) + byteTime;
            inbound.push_back({rxFree, b, -1, seen});
        }
    }
    std::fprintf(log, "stopped | | %d blocks served\n", engine.BlocksServed());
    if (!opt.timingPath.empty()) {
        if (FILE* out = std::fopen(opt.timingPath.c_str(), "w")) {
            auto ns = [](Clock::time_point t) {
                return static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch())
                        .count());
            };
            for (const ReplyTimes& t : timings)
                std::fprintf(out, "%lld %lld %lld\n", ns(t.first), ns(t.last), ns(t.requestSeen));
            std::fclose(out);
        } else {
            std::fprintf(stderr, "orv-unit-sim: cannot write %s: %s\n", opt.timingPath.c_str(),
                         std::strerror(errno));
        }
    }
    return 0;
}
