// A COM port through the Win32 API behind the SerialPort interface: orv-cli's line on Windows,
// where COMn is the system's device COMn.
//
// Waiting for a reply is a read of one byte with the driver's own total timeout, so the thread
// sleeps in the system until a byte comes or the deadline passes.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "link/serial_port.h"

namespace orv {

class Win32SerialPort : public SerialPort {
  public:
    Win32SerialPort() = default;
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override;
    void Close() override;
    bool IsOpen() const override;
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t BytesWaiting() override;
    std::optional<std::uint8_t> ReadByte() override;
    bool WaitForBytes(SerialClock::time_point deadline) override;

  private:
    // Reads what the driver has into received_, waiting up to waitMs for the first byte (0: not
    // at all). False when the read failed.
    bool Receive(unsigned long waitMs);

    void* handle_ = nullptr;  // the HANDLE of the open port
    std::deque<std::uint8_t> received_;
    unsigned long readWaitMs_ = 0;  // the read timeout the driver has now
    unsigned long writeTimeoutMs_ = 0;
    unsigned long writeMsPerByte_ = 0;
};

// The name to open for a device: "COM12" -> "\\.\COM12" (needed from COM10 on, harmless below);
// a name that already starts with "\\" is used as it is.
std::string Win32DevicePath(const std::string& device);

}  // namespace orv
