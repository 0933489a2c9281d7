// The serial line to the unit as the link code sees it: open with a device and frame settings,
// write bytes, and take received bytes one at a time with a blocking, deadline-bound wait.
// The real line is the QSerialPort adapter in link/qt; tests use a scripted port.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orv {

// Speed and frame of the line: "9600,N,8,1" is {9600, 'N', 8, 1}.
struct SerialSettings {
    int baud = 9600;
    char parity = 'N';  // 'N', 'E' or 'O'
    int dataBits = 8;   // 5..8
    int stopBits = 1;   // 1 or 2
    bool operator==(const SerialSettings&) const = default;
};

// Parses "rate,parity,data,stop" (blanks around the fields allowed, parity letter in either case).
// Rates are the ten the editor offers; anything else gives nullopt.
std::optional<SerialSettings> ParseSettingsText(std::string_view text);
// "9600,N,8,1".
std::string SettingsText(const SerialSettings& settings);

// How long one character takes on the line: start bit, data bits, parity bit, stop bits.
std::chrono::microseconds CharacterTime(const SerialSettings& settings);

// Why a port did not open.
// The last six are a device server's (tcp://, rfc2217://): a name that is no address, a host name
// not found, a connection refused, no answer within the time, a serial line the server did not
// set up, and settings it answered with others.
enum class OpenFailure {
    kNone,
    kNoSuchDevice,
    kBusy,
    kNoPermission,
    kBadSettings,
    kNotSerial,  // the device is there but is no serial port (/dev/null, a file, a folder)
    kOther,
    kBadAddress,
    kHostNotFound,
    kRefused,
    kTimedOut,
    kNegotiation,
    kSettingsRefused,
    kKeepsSending  // the port opened, but the line never fell quiet to be drained
};

using SerialClock = std::chrono::steady_clock;

class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Opens device with the given settings: raw, 8-bit clean, no flow control of any kind.
    // On failure returns false and says why in failure (and, for people, in detail).
    virtual bool Open(const std::string& device, const SerialSettings& settings,
                      OpenFailure* failure, std::string* detail) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Queues the bytes for sending, in order, nothing added. False when the port is closed or the
    // write failed.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
    // Number of received bytes not yet read.
    virtual std::size_t BytesWaiting() = 0;
    // Removes and returns the oldest received byte; nullopt when none is waiting.
    virtual std::optional<std::uint8_t> ReadByte() = 0;
    // Blocks until at least one received byte is waiting or the deadline passes; true when a byte
    // is waiting. Never spins: the thread sleeps in the operating system meanwhile.
    virtual bool WaitForBytes(SerialClock::time_point deadline) = 0;
    // The same when a reply of count bytes is coming: a port may sleep until all of them are
    // waiting (or the deadline passes) instead of waking for each, where the line's own timing is
    // not seen anyway (a device server's network). The default wakes at the first byte.
    virtual bool WaitForReply(SerialClock::time_point deadline, std::size_t count) {
        (void)count;
        return WaitForBytes(deadline);
    }
};

}  // namespace orv
