// The link routines every exchange uses: open the selected port with the selected settings,
// close it, drop pending input, and receive one byte with a timeout.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "link/port_names.h"
#include "link/serial_port.h"

namespace orv {

// What draining a line may take before the line counts as one that keeps sending: far more than
// any reply or leftover holds, and far less than a stream without end would fill.
inline constexpr std::size_t kMaxDrainBytes = 16384;
inline constexpr std::chrono::milliseconds kMaxDrainTime{500};

// The text shown when the selected port will not open.
inline constexpr const char* kUnableToOpenPort = "Unable to open selected Coms Port";

// Settings text of the editor's selections, "9600,N,8,1"; empty when a position is outside its
// list.
std::string SettingsTextFor(int baudPosition, int formatPosition);

// Where the user chooses the port and its settings, for the advice beneath an open failure: the
// editor's Comms page, or orv-cli's --port, --device, --baud and --format.
enum class PortAdvice { kCommsPage, kCommandLine };

class Comms {
  public:
    // lookup maps COM numbers to devices (may be empty: then COMn is always the default device).
    explicit Comms(SerialPort& port, ComPortLookup lookup = {});

    // Closes the port if open, then opens COM(comPortPosition + 1) with the settings of the two
    // list positions and discards pending input. False on any failure (no selection, an
    // unknown position, a device that will not open, a line that keeps sending so that nothing
    // could be told from a reply); LastOpenFailure says why.
    bool OpenComms(int comPortPosition, int baudPosition, int formatPosition);
    // Discards pending input, then closes the port if it is open.
    void CloseComms();
    // Reads and discards every byte waiting, within a budget of bytes and time; false when the
    // line was still sending when the budget ran out.
    bool FlushInput();
    // One received byte, waiting at most timeoutMs; 0 with RxTimedOut() true when none came.
    std::uint8_t RxByte(int timeoutMs);
    // The next count bytes received are one reply: the port may wait for them together
    // (SerialPort::WaitForReply). Each RxByte still has its own timeout.
    void ExpectReply(std::size_t count) { expected_ = count; }
    bool RxTimedOut() const { return rxTimedOut_; }

    // Sends bytes as they are; false when the port is closed or the write failed.
    bool Write(std::span<const std::uint8_t> bytes);
    bool Write(std::initializer_list<std::uint8_t> bytes);
    bool IsOpen() const;

    // The device COM(comPortPosition + 1) leads to now.
    std::string DeviceFor(int comPortPosition) const;

    OpenFailure LastOpenFailure() const { return lastFailure_; }
    const std::string& LastOpenDetail() const { return lastDetail_; }
    const std::string& LastDevice() const { return lastDevice_; }
    // "Unable to open selected Coms Port", and on a new line beneath it the reason of the last
    // failed open in words a technician can act on.
    std::string OpenFailureMessage() const;

    // The settings of the last successful open (what the line runs at now).
    const SerialSettings& Settings() const { return settings_; }

    SerialPort& Port() { return port_; }
    void SetLookup(ComPortLookup lookup) { lookup_ = std::move(lookup); }
    void SetAdvice(PortAdvice advice) { advice_ = advice; }

  private:
    SerialPort& port_;
    ComPortLookup lookup_;
    PortAdvice advice_ = PortAdvice::kCommsPage;
    SerialSettings settings_;
    bool rxTimedOut_ = false;
    std::size_t expected_ = 0;  // bytes of the reply under way still to come
    OpenFailure lastFailure_ = OpenFailure::kNone;
    std::string lastDetail_;
    std::string lastDevice_;
};

// The reason line beneath kUnableToOpenPort for a failure on device.
std::string OpenFailureReason(OpenFailure failure, const std::string& device,
                              const std::string& detail,
                              PortAdvice advice = PortAdvice::kCommsPage);

}  // namespace orv
