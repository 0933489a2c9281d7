// The real serial line: QSerialPort behind the SerialPort interface.
//
// The QSerialPort object is made by Open and destroyed by Close, so it always belongs to the
// thread that runs the exchange (the window's worker thread, the CLI's main thread). QSerialPort
// opens the device and sets its rate and frame; the bytes then go straight through the terminal's
// descriptor, with no event loop and no buffer of Qt's between the line and the exchange.
//
// A reply of known length is waited for whole: once its first byte is there the thread sleeps
// for the time the rest takes on the line, and then the terminal is told how many bytes to wait
// for (VMIN), so the thread wakes a few times a reply instead of once per byte. Should the line
// fall quiet part way, what has come is handed over within a few characters' time, and the
// caller's per-byte timeout then runs from the byte that did not come.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
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
    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override;

  private:
    // Takes what the terminal holds into in_, without waiting; false once the device is gone.
    bool Fill();
    std::size_t Buffered() const { return inEnd_ - inBegin_; }
    // Makes the terminal's readiness wait for count bytes (at most 255, the most it can count).
    void WakeAt(std::size_t count);
    // Waits until the terminal is ready (events) or until; revents, or 0 when the time ran out.
    short PollUntil(short events, SerialClock::time_point until);
    // Sleeps until then without watching the terminal.
    static void SleepUntil(SerialClock::time_point until);

    std::unique_ptr<QSerialPort> port_;
    std::atomic<bool> open_{false};
    int fd_ = -1;
    bool gone_ = false;  // the device went away (unplugged, the far end of a terminal closed)
    SerialClock::duration charTime_{};
    std::size_t wakeAt_ = 0;  // what the terminal's readiness waits for now (VMIN)
    std::array<std::uint8_t, 4096> in_{};
    std::size_t inBegin_ = 0, inEnd_ = 0;
};

// Classifies an open failure on device (after the open said "permission" the device may equally
// be held by another program): no such device, busy, or no permission with the device's group.
OpenFailure ClassifyOpenError(const std::string& device, int qtError, std::string* detail);

}  // namespace orv
