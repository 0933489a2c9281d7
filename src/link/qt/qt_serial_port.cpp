#include "link/qt/qt_serial_port.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

// The terminal's descriptor is used directly: this adapter is for POSIX systems (Windows has its
// own in link/win32).
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace orv {
namespace {

QSerialPort::Parity ToQtParity(char parity) {
    switch (parity) {
        case 'E':
            return QSerialPort::EvenParity;
        case 'O':
            return QSerialPort::OddParity;
        default:
            return QSerialPort::NoParity;
    }
}

QSerialPort::DataBits ToQtDataBits(int bits) {
    switch (bits) {
        case 5:
            return QSerialPort::Data5;
        case 6:
            return QSerialPort::Data6;
        case 7:
            return QSerialPort::Data7;
        default:
            return QSerialPort::Data8;
    }
}

std::string DeviceGroup(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0) {
        if (const group* g = ::getgrgid(st.st_gid)) return g->gr_name;
        return std::to_string(st.st_gid);
    }
    return {};
}

// How long a unit may take beyond the line's own time before a reply is looked at again: its
// turn-around and the system's scheduling.
constexpr std::chrono::microseconds kReplySlack{500};
// What of a reply is watched for byte by byte after the sleep: a few characters, and no less
// than the time a woken thread may be late.
constexpr int kReplyTailChars = 2;
constexpr std::chrono::microseconds kReplyTail{500};

}  // namespace

OpenFailure ClassifyOpenError(const std::string& device, int qtError, std::string* detail) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(device, ec);
    if (qtError == QSerialPort::DeviceNotFoundError || !exists) return OpenFailure::kNoSuchDevice;
    if (qtError == QSerialPort::PermissionError || qtError == QSerialPort::OpenError) {
        // Qt reports a device held by another program (lock file, exclusive use) as a
        // permission error too; only a failing access check means the user lacks the rights.
        if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
            if (detail) *detail = DeviceGroup(device);
            return OpenFailure::kNoPermission;
        }
        return OpenFailure::kBusy;
    }
    // A file or a folder opens, or fails to, as what it is; a device that is no terminal
    // (/dev/null) refuses the terminal settings with ENOTTY, which Qt reports as an unsupported
    // setting. Neither is a rate or format the user could change.
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)))
        return OpenFailure::kNotSerial;
    if (detail && *detail == std::strerror(ENOTTY)) return OpenFailure::kNotSerial;
    if (qtError == QSerialPort::UnsupportedOperationError) return OpenFailure::kBadSettings;
    return OpenFailure::kOther;
}

QtSerialPort::QtSerialPort() = default;

QtSerialPort::~QtSerialPort() {
    Close();
}

bool QtSerialPort::Open(const std::string& device, const SerialSettings& settings,
                        OpenFailure* failure, std::string* detail) {
    Close();
    // QSerialPort sets up socket notifiers, which need an event dispatcher in this thread even
    // though no event loop ever runs them. A plain std::thread has none until an event loop
    // object is made there.
    if (QCoreApplication::instance() && !QAbstractEventDispatcher::instance()) QEventLoop prepare;
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(QString::fromStdString(device));
    port->setBaudRate(settings.baud);
    port->setParity(ToQtParity(settings.parity));
    port->setDataBits(ToQtDataBits(settings.dataBits));
    port->setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);  // 0x11 and 0x13 are ordinary protocol bytes

    if (!port->open(QIODevice::ReadWrite)) {
        std::string why = port->errorString().toStdString();
        const OpenFailure f = ClassifyOpenError(device, port->error(), &why);
        if (failure) *failure = f;
        if (detail) *detail = why;
        return false;
    }
    // Some drivers refuse a setting only once the device is open.
    if (port->baudRate() != settings.baud) {
        if (failure) *failure = OpenFailure::kBadSettings;
        if (detail) *detail = SettingsText(settings);
        port->close();
        return false;
    }
    const int fd = static_cast<int>(port->handle());
    termios tio{};
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0) {
        if (failure) *failure = OpenFailure::kOther;
        if (detail) *detail = std::strerror(errno);
        port->close();
        return false;
    }
    // Reads never block (the waits do that, with their deadlines), and readiness starts at one
    // byte; closing the port gives the terminal back the settings it had before.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
    if (failure) *failure = OpenFailure::kNone;
    port_ = std::move(port);
    fd_ = fd;
    gone_ = false;
    wakeAt_ = 1;
    charTime_ = CharacterTime(settings);
    inBegin_ = inEnd_ = 0;
    open_ = true;
    return true;
}

void QtSerialPort::Close() {
    if (port_) {
        // What was written is with the driver already; closing lets it finish sending.
        if (port_->isOpen()) port_->close();
        port_.reset();
    }
    fd_ = -1;
    inBegin_ = inEnd_ = 0;
    open_ = false;
}

bool QtSerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || gone_) return false;
    // A driver that takes nothing for this long has stopped sending (a flow-controlled or broken
    // line): the write fails rather than waiting for ever.
    constexpr std::chrono::seconds kStalled{5};
    auto giveUp = SerialClock::now() + kStalled;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            giveUp = SerialClock::now() + kStalled;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            gone_ = errno == EIO || errno == ENXIO || errno == ENODEV;
            return false;
        }
        // The driver's buffer is full: wait until it takes more.
        if (!(PollUntil(POLLOUT, giveUp) & POLLOUT)) return false;
    }
    return true;
}

bool QtSerialPort::Fill() {
    if (fd_ < 0 || gone_) return false;
    if (inBegin_ == inEnd_) inBegin_ = inEnd_ = 0;
    if (inEnd_ == in_.size() && inBegin_ > 0) {
        std::copy(in_.begin() + static_cast<std::ptrdiff_t>(inBegin_),
                  in_.begin() + static_cast<std::ptrdiff_t>(inEnd_), in_.begin());
        inEnd_ -= inBegin_;
        inBegin_ = 0;
    }
    while (inEnd_ < in_.size()) {
        const ssize_t n = ::read(fd_, in_.data() + inEnd_, in_.size() - inEnd_);
        if (n > 0) {
            inEnd_ += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // Nothing more now (a terminal whose other end is gone reads as end or EIO).
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) gone_ = true;
        break;
    }
    return !gone_;
}

std::size_t QtSerialPort::BytesWaiting() {
    if (fd_ < 0) return 0;
    if (Buffered() == 0) Fill();
    return Buffered();
}

std::optional<std::uint8_t> QtSerialPort::ReadByte() {
    if (BytesWaiting() == 0) return std::nullopt;
    return in_[inBegin_++];
}

void QtSerialPort::WakeAt(std::size_t count) {
    const std::size_t want = std::clamp<std::size_t>(count, 1, 255);
    if (want == wakeAt_ || fd_ < 0) return;
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return;
    tio.c_cc[VMIN] = static_cast<cc_t>(want);
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &tio) == 0) wakeAt_ = want;
}

short QtSerialPort::PollUntil(short events, SerialClock::time_point until) {
    for (;;) {
        const auto left = std::max<SerialClock::duration>(until - SerialClock::now(), {});
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        pollfd p{fd_, events, 0};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0) return p.revents;
        if (r == 0 || errno != EINTR) return 0;
    }
}

bool QtSerialPort::WaitForBytes(SerialClock::time_point deadline) {
    return WaitForReply(deadline, 1);
}

bool QtSerialPort::WaitForReply(SerialClock::time_point deadline, std::size_t count) {
    if (fd_ < 0 || gone_) return Buffered() > 0;
    if (Buffered() > 0) return true;
    // Whole only where the reply is short on the line; a slow line wakes at each byte.
    const bool whole = count > 1 && charTime_ * static_cast<long long>(count) <= kMaxWholeReplyTime;
    const auto slack = SerialClock::duration(kReplySlack);
    bool hungUp = false;
    int seen = 0;
    SerialClock::time_point look = deadline;
    if (whole) {
        // A terminal wakes whoever polls it at every byte it takes in, whatever VMIN says; VMIN
        // only keeps the poll from returning. So the thread waits for the first byte, then
        // sleeps without watching the line while the rest comes at the line's pace, and watches
        // again only for the last few: a few wake-ups a reply instead of one a byte.
        WakeAt(1);
        const short first = PollUntil(POLLIN, deadline);
        hungUp = first & (POLLERR | POLLHUP | POLLNVAL);
        int held = 0;
        if ((first & POLLIN) && !hungUp && ::ioctl(fd_, FIONREAD, &held) == 0 && held > 0 &&
            held < static_cast<int>(count)) {
            // The pace is the line's, or the slower one the bytes have come at so far.
            const auto tail = std::max<SerialClock::duration>(charTime_ * kReplyTailChars,
                                                              SerialClock::duration(kReplyTail));
            const auto firstAt = SerialClock::now();
            const int firstHeld = held;
            SerialClock::duration pace = charTime_;
            for (;;) {
                const SerialClock::duration coming = pace * (static_cast<long long>(count) - held);
                if (coming <= tail) break;
                SleepUntil(std::min(SerialClock::now() + coming - tail, deadline));
                int now = 0;
                if (::ioctl(fd_, FIONREAD, &now) != 0 || now <= held) break;  // a pause
                held = now;
                if (held >= static_cast<int>(count) || SerialClock::now() >= deadline) break;
                pace = std::max(pace, (SerialClock::now() - firstAt) / (held - firstHeld));
            }
            WakeAt(count);
            look = SerialClock::now();  // look at once: it may all be here by now
        } else {
            look = SerialClock::time_point::min();  // whole, hung up, or the time ran out
        }
    } else {
        WakeAt(1);
    }
    for (; look != SerialClock::time_point::min();) {
        const short revents = PollUntil(POLLIN, std::min(look, deadline));
        hungUp = revents & (POLLERR | POLLHUP | POLLNVAL);  // unplugged, or the far end closed
        if (revents & POLLIN || hungUp) break;
        const auto now = SerialClock::now();
        if (now >= deadline) break;
        int held = 0;
        if (::ioctl(fd_, FIONREAD, &held) != 0) break;
        // Part of the reply came and nothing since the last look: hand it over.
        if (held > 0 && (held == seen || held >= static_cast<int>(count))) break;
        seen = held;
        // Look again within a few characters' time, so a pause is seen soon.
        const long long rest = static_cast<long long>(count) - held;
        look = now + charTime_ * std::min<long long>(rest, kReplyPauseChars) + slack;
    }
    Fill();  // what came before a hang-up is still a reply
    if (hungUp) gone_ = true;
    return Buffered() > 0;
}

void QtSerialPort::SleepUntil(SerialClock::time_point until) {
    for (;;) {
        const auto left = until - SerialClock::now();
        if (left <= SerialClock::duration::zero()) return;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        if (::ppoll(nullptr, 0, &ts, nullptr) == 0) return;
    }
}

}  // namespace orv
