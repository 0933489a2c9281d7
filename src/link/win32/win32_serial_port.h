// A COM port through the Win32 API behind the SerialPort interface: orv-cli's line on Windows,
// where COMn is the system's device COMn.
//
// Waiting for a byte is a read of one byte with the driver's own total timeout, so the thread
// sleeps in the system until a byte comes or the deadline passes. A reply of known length is one
// read of all its bytes, with an interval timeout of a few characters' time: the thread wakes
// once when the reply is whole, or soon after the line pauses part way, and the caller's
// timeout for the next byte then runs from the byte that did not come.
#pragma once

#include <chrono>
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
    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override;

  private:
    // Reads what the driver has into received_: without waiting (waitMs 0), or count bytes
    // waiting up to waitMs in all and, with pauseMs, no longer than that between two bytes.
    // False when the read failed.
    bool Receive(unsigned long waitMs, std::size_t count = 1, unsigned long pauseMs = 0);

    void* handle_ = nullptr;  // the HANDLE of the open port
    std::deque<std::uint8_t> received_;
    // The read timeouts the driver has now: total and between two bytes.
    unsigned long readWaitMs_ = 0;
    unsigned long readPauseMs_ = 0;
    unsigned long writeTimeoutMs_ = 0;
    unsigned long writeMsPerByte_ = 0;
    std::chrono::microseconds charTime_{};
};

// The name to open for a device: "COM12" -> "\\.\COM12" (needed from COM10 on, harmless below);
// a name that already starts with "\\" is used as it is.
std::string Win32DevicePath(const std::string& device);

}  // namespace orv
