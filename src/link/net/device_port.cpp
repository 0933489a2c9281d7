#include "link/net/device_port.h"

#include "link/device_address.h"

namespace orv {

std::unique_ptr<SerialPort> MakePortForDevice(const std::string& device,
                                              const LocalPortFactory& makeLocal,
                                              const NetLinkOptions& net) {
    if (IsNetAddress(device)) return std::make_unique<NetSerialPort>(net);
    return makeLocal ? makeLocal() : nullptr;
}

DevicePort::DevicePort(LocalPortFactory makeLocal, NetLinkOptions net)
    : makeLocal_(std::move(makeLocal)), net_(net) {}

DevicePort::~DevicePort() {
    Close();
}

bool DevicePort::Open(const std::string& device, const SerialSettings& settings,
                      OpenFailure* failure, std::string* detail) {
    Close();
    const bool network = IsNetAddress(device);
    if (!port_ || network != network_) {
        port_ = MakePortForDevice(device, makeLocal_, net_);
        network_ = network;
    } else if (network) {
        static_cast<NetSerialPort&>(*port_).SetOptions(net_);
    }
    if (!port_) {
        if (failure) *failure = OpenFailure::kOther;
        if (detail) *detail = "no serial port is available on this system";
        return false;
    }
    const bool opened = port_->Open(device, settings, failure, detail);
    open_ = opened;
    return opened;
}

void DevicePort::Close() {
    if (port_) port_->Close();
    open_ = false;
}

bool DevicePort::Write(std::span<const std::uint8_t> bytes) {
    return port_ && port_->Write(bytes);
}

std::size_t DevicePort::BytesWaiting() {
    return port_ ? port_->BytesWaiting() : 0;
}

std::optional<std::uint8_t> DevicePort::ReadByte() {
    return port_ ? port_->ReadByte() : std::nullopt;
}

bool DevicePort::WaitForBytes(SerialClock::time_point deadline) {
    return port_ && port_->WaitForBytes(deadline);
}

bool DevicePort::WaitForReply(SerialClock::time_point deadline, std::size_t count) {
    return port_ && port_->WaitForReply(deadline, count);
}

std::optional<SerialSettings> DevicePort::ServerSettings() const {
    if (!port_ || !network_) return std::nullopt;
    return static_cast<const NetSerialPort&>(*port_).ServerSettings();
}

}  // namespace orv
