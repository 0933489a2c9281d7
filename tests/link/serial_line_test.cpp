// The serial line's waits, end to end through the QSerialPort adapter on a pseudo-terminal whose
// other side the test plays as the unit: a block read's reply that comes whole, paced, with a
// pause, cut short or not at all. A reply is waited for whole, but each byte keeps its own
// timeout: a unit that stops part way fails a quarter second after its last byte, as when every
// byte was waited for alone, and a pause shorter than that fails nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "link/comms.h"
#include "link/exchanges.h"
#include "link/protocol.h"
#include "link/qt/qt_serial_port.h"

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The unit's end of a pseudo-terminal.
class FakeUnitLine {
  public:
    FakeUnitLine() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            device_ = ::ptsname(master_);
    }
    ~FakeUnitLine() { HangUp(); }
    const std::string& Device() const { return device_; }

    // The next count bytes the client sends, waiting at most within.
    std::vector<std::uint8_t> Take(std::size_t count, milliseconds within) {
        std::vector<std::uint8_t> got;
        const auto end = Clock::now() + within;
        while (got.size() < count && Clock::now() < end) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            std::uint8_t buf[64];
            const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
            if (n > 0) got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    void Send(std::uint8_t byte) { EXPECT_EQ(::write(master_, &byte, 1), 1); }
    void HangUp() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string device_;
};

// A part of the reply: after a pause, so many of its bytes at the line's pace.
struct Piece {
    int pauseMs;
    int bytes;
};

struct ReplyRow {
    const char* name;
    int baud;
    std::vector<Piece> pieces;
    bool hangUp;  // the far end closes after the pieces
    bool read;    // the whole block arrives
};

// Byte i of block 5 is i * 17, so the nibbles cover 0x00 to 0x0F and include 0x11-like values
// only as data; the three leading bytes are 0x00, 0x11 and 0x13, which the line must pass as
// they are.
std::vector<std::uint8_t> BlockReply() {
    std::vector<std::uint8_t> reply{0x00, 0x11, 0x13};
    for (int i = 0; i < kBlockSize; ++i) {
        const int value = (i * 17) & 0xFF;
        reply.push_back(static_cast<std::uint8_t>(value & 0x0F));
        reply.push_back(static_cast<std::uint8_t>(value >> 4));
    }
    return reply;
}

const ReplyRow kReplyRows[] = {
    {"whole at once", 9600, {{0, 35}}, false, true},
    {"paced at 115200", 115200, {{0, 35}}, false, true},
    {"paced at 9600", 9600, {{0, 35}}, false, true},
    {"a late start", 115200, {{120, 35}}, false, true},
    {"a pause shorter than the timeout", 9600, {{0, 20}, {200, 15}}, false, true},
    {"two pauses", 115200, {{0, 5}, {150, 10}, {150, 20}}, false, true},
    {"slow line, byte by byte", 1200, {{0, 35}}, false, true},
    {"no reply", 115200, {}, false, false},
    {"stops after ten bytes", 115200, {{0, 10}}, false, false},
    {"stops after ten bytes at 9600", 9600, {{0, 10}}, false, false},
    {"stops one byte short", 9600, {{0, 34}}, false, false},
    {"stops after a pause", 9600, {{0, 10}, {150, 10}}, false, false},
    {"slow line stops", 1200, {{0, 6}}, false, false},
    {"hangs up part way", 115200, {{0, 10}}, true, false},
};

TEST(SerialLine, ABlockReplyKeepsEachBytesTimeout) {
    const std::vector<std::uint8_t> reply = BlockReply();
    for (const ReplyRow& row : kReplyRows) {
        SCOPED_TRACE(row.name);
        FakeUnitLine unit;
        ASSERT_FALSE(unit.Device().empty());
        QtSerialPort port;
        Comms comms(port, [&unit](int) { return std::optional<std::string>(unit.Device()); });
        const int baudPosition = row.baud == 115200 ? 9 : row.baud == 9600 ? 5 : 2;
        ASSERT_TRUE(comms.OpenComms(0, baudPosition, 18)) << comms.OpenFailureMessage();
        const auto charTime = CharacterTime(comms.Settings());

        Clock::time_point lastByte{};
        std::vector<std::uint8_t> request;
        std::thread unitThread([&] {
            request = unit.Take(proto::kReadRequestSize, milliseconds(2000));
            lastByte = Clock::now();
            std::size_t at = 0;
            for (const Piece& piece : row.pieces) {
                std::this_thread::sleep_for(milliseconds(piece.pauseMs));
                for (int k = 0; k < piece.bytes; ++k) {
                    unit.Send(reply[at++]);
                    lastByte = Clock::now();
                    std::this_thread::sleep_for(charTime);
                }
            }
            if (row.hangUp) {
                unit.HangUp();
                lastByte = Clock::now();
            }
        });
        Image image{};
        const bool read = ReadBlock(comms, 5, image);
        const auto ended = Clock::now();
        unitThread.join();
        comms.CloseComms();

        EXPECT_EQ(request, std::vector<std::uint8_t>({0x13, 0x23, 0x05, 0x00}));
        EXPECT_EQ(read, row.read);
        const double afterLast = std::chrono::duration<double>(ended - lastByte).count();
        if (row.read) {
            for (int i = 0; i < kBlockSize; ++i)
                EXPECT_EQ(image[5 * kBlockSize + i], (i * 17) & 0xFF) << "byte " << i;
            // Taken as soon as it was whole, not at a timeout.
            EXPECT_LT(afterLast, 0.1);
        } else if (row.hangUp) {
            // A line that is gone is not waited for.
            EXPECT_LT(afterLast, 0.15);
        } else {
            // Failed by the timeout of the first byte that did not come: not sooner, and not
            // a reply's worth of timeouts later.
            EXPECT_GE(afterLast, 0.245);
            EXPECT_LT(afterLast, 0.4);
        }
    }
}

// A paced reply wakes the waiting thread a few times, not once per byte: the terminal wakes a
// poller at every byte it takes in.
TEST(SerialLine, APacedReplyWakesTheClientAFewTimes) {
    const std::vector<std::uint8_t> reply = BlockReply();
    for (const int baud : {9600, 115200}) {
        SCOPED_TRACE(baud);
        FakeUnitLine unit;
        ASSERT_FALSE(unit.Device().empty());
        QtSerialPort port;
        Comms comms(port, [&unit](int) { return std::optional<std::string>(unit.Device()); });
        ASSERT_TRUE(comms.OpenComms(0, baud == 115200 ? 9 : 5, 18)) << comms.OpenFailureMessage();
        const auto charTime = CharacterTime(comms.Settings());
        std::thread unitThread([&] {
            unit.Take(proto::kReadRequestSize, milliseconds(2000));
            for (std::uint8_t b : reply) {
                unit.Send(b);
                std::this_thread::sleep_for(charTime);
            }
        });
        rusage before{}, after{};
        ::getrusage(RUSAGE_THREAD, &before);
        Image image{};
        EXPECT_TRUE(ReadBlock(comms, 5, image));
        ::getrusage(RUSAGE_THREAD, &after);
        unitThread.join();
        comms.CloseComms();
        const long wakeUps =
            (after.ru_nvcsw - before.ru_nvcsw) + (after.ru_nivcsw - before.ru_nivcsw);
        EXPECT_LE(wakeUps, 12) << "of a reply of " << reply.size() << " bytes";
    }
}

// A Write's acknowledgement is one byte with its own 5 s: it is taken the moment it comes.
TEST(SerialLine, AnAcknowledgementIsTakenAtOnce) {
    FakeUnitLine unit;
    ASSERT_FALSE(unit.Device().empty());
    QtSerialPort port;
    Comms comms(port, [&unit](int) { return std::optional<std::string>(unit.Device()); });
    ASSERT_TRUE(comms.OpenComms(0, 9, 18)) << comms.OpenFailureMessage();
    for (const int pauseMs : {0, 30, 300}) {
        SCOPED_TRACE(pauseMs);
        // A read's whole-reply wait before it must not hold the next single byte back.
        std::thread first([&] {
            unit.Take(proto::kReadRequestSize, milliseconds(2000));
            for (std::uint8_t b : BlockReply()) unit.Send(b);
        });
        Image image{};
        EXPECT_TRUE(ReadBlock(comms, 0, image));
        first.join();

        Clock::time_point sent{};
        std::thread unitThread([&] {
            unit.Take(proto::kWriteRequestSize, milliseconds(2000));
            std::this_thread::sleep_for(milliseconds(pauseMs));
            sent = Clock::now();
            unit.Send(proto::kAck);
        });
        const auto request = proto::WriteBlockRequest(
            3, std::span<const std::uint8_t, kBlockSize>(image.data(), kBlockSize));
        comms.Write(request);
        const std::uint8_t ack = comms.RxByte(proto::kBlockAckTimeoutMs);
        const auto got = Clock::now();
        unitThread.join();
        EXPECT_FALSE(comms.RxTimedOut());
        EXPECT_EQ(ack, proto::kAck);
        EXPECT_LT(std::chrono::duration<double>(got - sent).count(), 0.05);
    }
    comms.CloseComms();
}

}  // namespace
}  // namespace orv
