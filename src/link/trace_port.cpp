#include "link/trace_port.h"

#include <chrono>
#include <ctime>

#include "base/hex.h"
#include "base/local_time.h"

namespace orv {

TraceSerialPort::TraceSerialPort(SerialPort& inner, std::FILE* out)
    : inner_(inner), out_(out), start_(SerialClock::now()) {}

TraceSerialPort::~TraceSerialPort() {
    FlushReceived();
}

void TraceSerialPort::Line(const std::string& what) {
    if (!out_) return;
    // Time of day for the technician, time since the start for reading gaps.
    const auto wall = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(wall);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count() %
        1000;
    const std::tm tm = LocalTime(t);
    const double since = std::chrono::duration<double>(SerialClock::now() - start_).count();
    std::fprintf(out_, "%02d:%02d:%02d.%03d %10.6f %s\n", tm.tm_hour, tm.tm_min, tm.tm_sec,
                 static_cast<int>(ms), since, what.c_str());
    std::fflush(out_);
}

void TraceSerialPort::FlushReceived() {
    if (received_.empty()) return;
    Line("RX " + HexBytes(received_));
    received_.clear();
}

bool TraceSerialPort::Open(const std::string& device, const SerialSettings& settings,
                           OpenFailure* failure, std::string* detail) {
    FlushReceived();
    std::string why;
    const bool ok = inner_.Open(device, settings, failure, &why);
    Line(std::string(ok ? "OPEN " : "OPEN FAILED ") + device + " " + SettingsText(settings) +
         (ok || why.empty() ? "" : " (" + why + ")"));
    if (detail) *detail = why;
    return ok;
}

void TraceSerialPort::Close() {
    FlushReceived();
    if (inner_.IsOpen()) Line("CLOSE");
    inner_.Close();
}

bool TraceSerialPort::Write(std::span<const std::uint8_t> bytes) {
    FlushReceived();
    Line("TX " + HexBytes(bytes));
    return inner_.Write(bytes);
}

std::optional<std::uint8_t> TraceSerialPort::ReadByte() {
    const auto b = inner_.ReadByte();
    if (b) received_.push_back(*b);
    return b;
}

bool TraceSerialPort::WaitForBytes(SerialClock::time_point deadline) {
    return Waited(inner_.WaitForBytes(deadline));
}

bool TraceSerialPort::WaitForReply(SerialClock::time_point deadline, std::size_t count) {
    return Waited(inner_.WaitForReply(deadline, count));
}

bool TraceSerialPort::Waited(bool got) {
    if (!got) {
        FlushReceived();
        Line("-- no reply (timeout)");
    }
    return got;
}

}  // namespace orv
