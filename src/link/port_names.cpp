#include "link/port_names.h"

#include <cctype>
#include <charconv>

namespace orv {

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

std::optional<int> ParseComName(std::string_view name) {
    if (name.size() < 4) return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
    int n = 0;
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size();
    auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc{} || end != last || n < kFirstComPort || n > kLastComPort)
        return std::nullopt;
    return n;
}

std::string ComName(int comNumber) {
    return "COM" + std::to_string(comNumber);
}

}  // namespace orv
