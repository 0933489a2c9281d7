// Any device name behind one SerialPort: a device server's address ("tcp://...", "rfc2217://...")
// opens a NetSerialPort, anything else the platform's serial port (QSerialPort on Linux, the Win32
// COM port on Windows). The kind is chosen at each Open, since the COM map may send the same COM
// port elsewhere between two exchanges.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "link/net/net_serial_port.h"
#include "link/serial_port.h"

namespace orv {

// Makes the platform's own serial port.
using LocalPortFactory = std::function<std::unique_ptr<SerialPort>()>;

// The one place a device name becomes a port: a network address gets a NetSerialPort with the
// given options, any other name the local port.
std::unique_ptr<SerialPort> MakePortForDevice(const std::string& device,
                                              const LocalPortFactory& makeLocal,
                                              const NetLinkOptions& net);

class DevicePort : public SerialPort {
  public:
    explicit DevicePort(LocalPortFactory makeLocal, NetLinkOptions net = {});
    ~DevicePort() override;

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override;
    void Close() override;
    bool IsOpen() const override { return open_.load(); }
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t BytesWaiting() override;
    std::optional<std::uint8_t> ReadByte() override;
    bool WaitForBytes(SerialClock::time_point deadline) override;
    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override;

    // Takes effect at the next Open.
    void SetNetOptions(const NetLinkOptions& net) { net_ = net; }
    // What the device server confirmed at the last open over RFC 2217 (nullopt otherwise).
    std::optional<SerialSettings> ServerSettings() const;

  private:
    LocalPortFactory makeLocal_;
    NetLinkOptions net_;
    std::unique_ptr<SerialPort> port_;
    bool network_ = false;  // port_ is a NetSerialPort
    std::atomic<bool> open_{false};
};

}  // namespace orv
