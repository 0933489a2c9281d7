// The real serial line: QSerialPort behind the SerialPort interface.
//
// The QSerialPort object is made by Open and destroyed by Close, so it always belongs to the
// thread that runs the exchange (the window's worker thread, the CLI's main thread); no event loop
// is needed: waiting uses QSerialPort's blocking waits with the remaining time to the deadline.
#pragma once

#include <atomic>
#include <memory>

#include "link/serial_port.h"

class QSerialPort;

namespace orv {

class QtSerialPort : public SerialPort {
  public:
    QtSerialPort();
    ~QtSerialPort() override;

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override;
    void Close() override;
    bool IsOpen() const override { return open_.load(); }
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t BytesWaiting() override;
    std::optional<std::uint8_t> ReadByte() override;
    bool WaitForBytes(SerialClock::time_point deadline) override;

  private:
    std::unique_ptr<QSerialPort> port_;
    std::atomic<bool> open_{false};
};

// Classifies an open failure on device (after the open said "permission" the device may equally
// be held by another program): no such device, busy, or no permission with the device's group.
OpenFailure ClassifyOpenError(const std::string& device, int qtError, std::string* detail);

}  // namespace orv
