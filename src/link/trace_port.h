// A SerialPort that passes everything to another one and writes a timestamped hex trace of both
// directions: one line per burst, "TX" for bytes sent, "RX" for bytes received. The kind of file a
// technician attaches to a support request.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace orv {

class TraceSerialPort : public SerialPort {
  public:
    // out stays owned by the caller and must outlive the port.
    TraceSerialPort(SerialPort& inner, std::FILE* out);
    ~TraceSerialPort() override;

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override;
    void Close() override;
    bool IsOpen() const override { return inner_.IsOpen(); }
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t BytesWaiting() override { return inner_.BytesWaiting(); }
    std::optional<std::uint8_t> ReadByte() override;
    bool WaitForBytes(SerialClock::time_point deadline) override;
    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override;

  private:
    void Line(const std::string& what);
    bool Waited(bool got);
    void FlushReceived();

    SerialPort& inner_;
    std::FILE* out_;
    SerialClock::time_point start_;
    std::vector<std::uint8_t> received_;  // one burst, written out at the next turn
};

}  // namespace orv
