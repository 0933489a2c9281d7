#include "link/port_names.h"

#include <cctype>
#include <charconv>

#include "link/device_address.h"

namespace orv {
namespace {

// "COM3" / "com3" -> 3, for numbers 1..last.
std::optional<int> ComNumber(std::string_view name, int last) {
    if (name.size() < 4) return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
    int n = 0;
    const char* first = name.data() + 3;
    const char* end = name.data() + name.size();
    auto [stop, ec] = std::from_chars(first, end, n);
    if (ec != std::errc{} || stop != end || n < kFirstComPort || n > last) return std::nullopt;
    return n;
}

}  // namespace

std::string DefaultDeviceForCom(int comNumber) {
#ifdef _WIN32
    return ComName(comNumber);
#else
    return "/dev/ttyS" + std::to_string(comNumber - 1);
#endif
}

std::string_view MissingDeviceAdvice(bool commandLine) {
#ifdef _WIN32
    return commandLine ? "Check that the serial adapter is plugged in, and give the COM port "
                         "Windows gave it with --port COMn ('orv-cli ports' lists them)."
                       : "Check that the serial adapter is plugged in, and select the COM port "
                         "Windows gave it (Device Manager, Ports (COM & LPT)).";
#else
    return commandLine ? "Check that the serial adapter is plugged in, or give the right one with "
                         "--port COMn or --device PATH ('orv-cli ports' lists the devices and "
                         "maps COM ports)."
                       : "Check that the serial adapter is plugged in, or map the COM port to the "
                         "right device on the Comms page.";
#endif
}

std::string DeviceForCom(int comNumber, const ComPortLookup& lookup) {
    if (comNumber < kFirstComPort || comNumber > kLastComPort) return {};
    if (lookup) {
        if (auto mapped = lookup(comNumber); mapped && !mapped->empty()) return *mapped;
    }
    return DefaultDeviceForCom(comNumber);
}

std::string ComMappingProblem(std::string_view device) {
    const std::string quoted = "'" + std::string(device) + "'";
    if (IsNetAddress(device)) {
        if (const NetAddressResult r = ParseNetAddress(device); !r.address)
            return quoted + " is not a device server address: " + r.error + ". Write it as " +
                   std::string(NetAddressForms()) + ".";
        return {};
    }
#ifdef _WIN32
    // COMn, as Device Manager names the port, or \\.\NAME for a device named otherwise.
    constexpr std::string_view kNamespace = "\\\\.\\";
    std::string_view name = device;
    const bool prefixed = name.starts_with(kNamespace);
    if (prefixed) name.remove_prefix(kNamespace.size());
    const bool comName = ComNumber(name, 256).has_value();
    const bool deviceName =
        prefixed && !name.empty() && name.find_first_of("\\/:") == std::string_view::npos;
    if (comName || deviceName) return {};
    return quoted +
           " is not a serial port on Windows: write the COM port the adapter has, COM1 to "
           "COM256 (Device Manager, Ports (COM & LPT)), or a device server's address, " +
           std::string(NetAddressForms()) + ".";
#else
    if (device.starts_with("/") && device.size() > 1) return {};
    return quoted +
           " is not a device path: write the serial device's full path, e.g. /dev/ttyUSB0 "
           "('orv-cli ports' lists those found), or a device server's address, " +
           std::string(NetAddressForms()) + ".";
#endif
}

std::optional<int> ParseComName(std::string_view name) {
    return ComNumber(name, kLastComPort);
}

std::string ComName(int comNumber) {
    return "COM" + std::to_string(comNumber);
}

}  // namespace orv
