#include "link/comms.h"

#include "link/device_address.h"
#include "model/lists.h"

namespace orv {

std::string SettingsTextFor(int baudPosition, int formatPosition) {
    const std::string_view rate = ItemText(kBaudRateItems, baudPosition);
    const std::string_view format = ItemText(kFrameFormatItems, formatPosition);
    if (rate.empty() || format.empty()) return {};
    return std::string(rate) + "," + std::string(format);
}

Comms::Comms(SerialPort& port, ComPortLookup lookup) : port_(port), lookup_(std::move(lookup)) {}

std::string Comms::DeviceFor(int comPortPosition) const {
    return DeviceForCom(comPortPosition + 1, lookup_);
}

bool Comms::OpenComms(int comPortPosition, int baudPosition, int formatPosition) {
    if (port_.IsOpen()) port_.Close();
    lastFailure_ = OpenFailure::kNone;
    lastDetail_.clear();
    lastDevice_.clear();

    const int comNumber = comPortPosition + 1;
    if (comNumber < kFirstComPort || comNumber > kLastComPort) {
        lastFailure_ = OpenFailure::kNoSuchDevice;
        lastDetail_ = "no COM port is selected";
        return false;
    }
    lastDevice_ = DeviceForCom(comNumber, lookup_);

    const std::string text = SettingsTextFor(baudPosition, formatPosition);
    const auto settings = ParseSettingsText(text);
    if (!settings) {
        lastFailure_ = OpenFailure::kBadSettings;
        lastDetail_ = text.empty() ? "no PC baud rate or serial format is selected" : text;
        return false;
    }

    OpenFailure failure = OpenFailure::kNone;
    std::string detail;
    if (!port_.Open(lastDevice_, *settings, &failure, &detail)) {
        lastFailure_ = failure == OpenFailure::kNone ? OpenFailure::kOther : failure;
        lastDetail_ = detail;
        return false;
    }
    settings_ = *settings;
    if (!FlushInput()) {
        port_.Close();
        lastFailure_ = OpenFailure::kKeepsSending;
        return false;
    }
    return true;
}

void Comms::CloseComms() {
    FlushInput();
    if (port_.IsOpen()) port_.Close();
}

bool Comms::FlushInput() {
    if (!port_.IsOpen()) return true;
    const auto giveUp = SerialClock::now() + kMaxDrainTime;
    for (std::size_t dropped = 0; port_.BytesWaiting() != 0; ++dropped) {
        if (!port_.ReadByte()) break;
        // The clock is looked at only now and then: a drain is mostly a few bytes.
        if (dropped >= kMaxDrainBytes || (dropped % 256 == 255 && SerialClock::now() > giveUp))
            return false;
    }
    return true;
}

std::uint8_t Comms::RxByte(int timeoutMs) {
    const auto deadline = SerialClock::now() + std::chrono::milliseconds(timeoutMs);
    if (port_.IsOpen()) {
        const bool waiting =
            port_.BytesWaiting() != 0 || (expected_ > 1 ? port_.WaitForReply(deadline, expected_)
                                                        : port_.WaitForBytes(deadline));
        if (waiting) {
            if (auto byte = port_.ReadByte()) {
                rxTimedOut_ = false;
                if (expected_ > 0) --expected_;
                return *byte;
            }
        }
    }
    rxTimedOut_ = true;
    expected_ = 0;
    return 0;
}

bool Comms::Write(std::span<const std::uint8_t> bytes) {
    if (!port_.IsOpen()) return false;
    return port_.Write(bytes);
}

bool Comms::Write(std::initializer_list<std::uint8_t> bytes) {
    return Write(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
}

bool Comms::IsOpen() const {
    return port_.IsOpen();
}

std::string Comms::OpenFailureMessage() const {
    std::string text = kUnableToOpenPort;
    const std::string reason = OpenFailureReason(lastFailure_, lastDevice_, lastDetail_, advice_);
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

std::string OpenFailureReason(OpenFailure failure, const std::string& device,
                              const std::string& detail, PortAdvice advice) {
    const bool cli = advice == PortAdvice::kCommandLine;
    switch (failure) {
        case OpenFailure::kNone:
            return {};
        case OpenFailure::kNoSuchDevice:
            if (device.empty())
                return cli ? "Give the port with --port COMn or the device with --device PATH (" +
                                 detail + ")."
                           : "Select a COM port on the Comms page (" + detail + ").";
            return "There is no device " + device + ". " + std::string(MissingDeviceAdvice(cli));
        case OpenFailure::kBusy:
            return device +
                   " is busy: it is held by another program. Close that program and try "
                   "again.";
        case OpenFailure::kNoPermission: {
            const std::string group = detail.empty() ? "dialout" : detail;
            return "No permission to open " + device +
                   ": your user must be a member of the group " + group +
                   " (for example: sudo usermod -aG " + group +
                   " $USER, then log out and in again).";
        }
        case OpenFailure::kBadSettings:
            return "The serial settings " + detail + " cannot be used" +
                   (device.empty() ? std::string() : " on " + device) +
                   (cli ? ". Choose another rate with --baud or format with --format."
                        : ". Choose another PC baud rate or serial format.");
        case OpenFailure::kNotSerial:
            return device + " is not a serial port. " + std::string(MissingDeviceAdvice(cli));
        case OpenFailure::kOther:
            return "Could not open " + device + (detail.empty() ? "." : ": " + detail + ".");
        case OpenFailure::kBadAddress:
            return "'" + device + "' is not a device server address: " + detail + ". Write it as " +
                   std::string(NetAddressForms()) + ".";
        case OpenFailure::kHostNotFound:
            return "The device server's name in " + device + " was not found (" + detail +
                   "). Check the name, or give the server's IP address instead.";
        case OpenFailure::kRefused:
            return "The device server at " + device +
                   " refused the connection: nothing listens on that port, or it serves another "
                   "client now. Check the port number and that no other program is connected.";
        case OpenFailure::kTimedOut:
            return "The device server at " + device + " did not answer within " + detail +
                   ". Check that it is switched on and reachable from this PC (network cable, "
                   "address, firewall)" +
                   (cli ? ", or allow more time with --connect-timeout." : ".");
        case OpenFailure::kNegotiation:
            return "The device server at " + device + " did not set up the serial line: " + detail +
                   ".";
        case OpenFailure::kKeepsSending:
            return "The unit on " + device + " keeps sending: more than " +
                   std::to_string(kMaxDrainBytes) +
                   " bytes came without a pause before anything was asked of it, so no reply "
                   "could be told from them. Check that the PC baud rate and serial format "
                   "match the unit and that nothing else sends on the line; then restart the "
                   "unit and try again.";
        case OpenFailure::kSettingsRefused:
            return "The device server at " + device + " refused the serial settings " + detail +
                   (cli ? ". Choose another rate with --baud or format with --format"
                        : ". Choose another PC baud rate or serial format") +
                   ", or check the port settings of the server.";
    }
    return {};
}

}  // namespace orv
