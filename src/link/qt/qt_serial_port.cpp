#include "link/qt/qt_serial_port.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
#ifndef _WIN32
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0) {
        if (const group* g = ::getgrgid(st.st_gid)) return g->gr_name;
        return std::to_string(st.st_gid);
    }
#else
    (void)device;
#endif
    return {};
}

}  // namespace

OpenFailure ClassifyOpenError(const std::string& device, int qtError, std::string* detail) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(device, ec);
    if (qtError == QSerialPort::DeviceNotFoundError || !exists) return OpenFailure::kNoSuchDevice;
    if (qtError == QSerialPort::PermissionError || qtError == QSerialPort::OpenError) {
#ifndef _WIN32
        // Qt reports a device held by another program (lock file, exclusive use) as a
        // permission error too; only a failing access check means the user lacks the rights.
        if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
            if (detail) *detail = DeviceGroup(device);
            return OpenFailure::kNoPermission;
        }
#endif
        return OpenFailure::kBusy;
    }
#ifndef _WIN32
    // A file or a folder opens, or fails to, as what it is; a device that is no terminal
    // (/dev/null) refuses the terminal settings with ENOTTY, which Qt reports as an unsupported
    // setting. Neither is a rate or format the user could change.
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)))
        return OpenFailure::kNotSerial;
    if (detail && *detail == std::strerror(ENOTTY)) return OpenFailure::kNotSerial;
#endif
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
    // though we only ever use its blocking waits. A plain std::thread has none until an event
    // loop object is made there.
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
    if (failure) *failure = OpenFailure::kNone;
    port_ = std::move(port);
    open_ = true;
    return true;
}

void QtSerialPort::Close() {
    if (port_) {
        if (port_->isOpen()) {
            // Only when something is pending: with nothing to write the wait runs its full time.
            if (port_->bytesToWrite() > 0) port_->waitForBytesWritten(1000);
            port_->close();
        }
        port_.reset();
    }
    open_ = false;
}

bool QtSerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (!port_ || !port_->isOpen()) return false;
    const qint64 written = port_->write(reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<qint64>(bytes.size()));
    if (written != static_cast<qint64>(bytes.size())) return false;
    // No event loop runs in the exchange's thread: hand the bytes to the driver now.
    while (port_->bytesToWrite() > 0) {
        if (!port_->waitForBytesWritten(5000)) return false;
    }
    return true;
}

std::size_t QtSerialPort::BytesWaiting() {
    if (!port_ || !port_->isOpen()) return 0;
    if (port_->bytesAvailable() == 0) port_->waitForReadyRead(0);  // take in what the driver has
    return static_cast<std::size_t>(port_->bytesAvailable());
}

std::optional<std::uint8_t> QtSerialPort::ReadByte() {
    if (BytesWaiting() == 0) return std::nullopt;
    char c = 0;
    if (!port_->getChar(&c)) return std::nullopt;
    return static_cast<std::uint8_t>(c);
}

bool QtSerialPort::WaitForBytes(SerialClock::time_point deadline) {
    if (!port_ || !port_->isOpen()) return false;
    while (port_->bytesAvailable() == 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - SerialClock::now());
        if (left.count() <= 0) return port_->waitForReadyRead(0);
        const int ms = static_cast<int>(std::ceil(left.count() / 1000.0));
        // Sleeps in poll() until data or the timeout; false also on a device error, which no
        // amount of waiting will cure.
        if (!port_->waitForReadyRead(ms)) return port_->bytesAvailable() > 0;
    }
    return true;
}

}  // namespace orv
