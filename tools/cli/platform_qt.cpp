// orv-cli on Linux: the serial line is QSerialPort, and COMn means what the editor's settings
// store maps it to (default /dev/ttyS<n-1>).
#include <unistd.h>

#include <QCoreApplication>
#include <iostream>

#include "link/device_address.h"
#include "link/qt/port_settings.h"
#include "link/qt/qt_serial_port.h"
#include "platform.h"

namespace orv::cli {
namespace {

// QSerialPort wants a Qt application object in the thread that drives it.
void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "orv-cli";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) static QCoreApplication app(argc, argv);
}

}  // namespace

CommandArgs ProgramArguments(int argc, char** argv) {
    return CommandArgs(argv + 1, argv + argc);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

std::FILE* OpenFileForWriting(const std::string& path) {
    return std::fopen(path.c_str(), "w");
}

std::unique_ptr<SerialPort> MakeSerialPort() {
    EnsureQtApplication();
    return std::make_unique<QtSerialPort>();
}

ComPortLookup UserComPortLookup() {
    EnsureQtApplication();
    return SettingsComPortLookup();
}

std::string_view PortsHelp() {
    return "Usage: orv-cli ports [--map COMn=DEVICE | --unmap COMn]\n\n"
           "Lists what each COM port means on this machine and the serial devices found.\n"
           "The mapping is the editor's (settings store \"ORV Pro Configuration\").\n\n"
           "      --map COMn=DEVICE  make COMn use DEVICE, e.g. --map COM3=/dev/ttyUSB0, or a\n"
           "                         device server: --map COM5=rfc2217://10.1.2.3:4001 (RFC 2217)\n"
           "                         or --map COM5=tcp://10.1.2.3:4001 (raw TCP)\n"
           "      --unmap COMn       let COMn use its default device again\n"
           "  -h, --help             show this help\n";
}

int ListPorts(const std::string* map, const std::string* unmap) {
    EnsureQtApplication();
    if (map) {
        const auto eq = map->find('=');
        const auto n = eq == std::string::npos ? std::nullopt : ParseComName(map->substr(0, eq));
        if (!n || eq + 1 >= map->size())
            throw UsageError("ports", "write the mapping as COMn=DEVICE, e.g. COM3=/dev/ttyUSB0");
        const std::string target = map->substr(eq + 1);
        if (IsNetAddress(target)) {
            if (const NetAddressResult r = ParseNetAddress(target); !r.address)
                throw UsageError("ports", "'" + target +
                                              "' is not a device server address: " + r.error +
                                              ". Write it as " + std::string(NetAddressForms()));
        }
        SetComMapping(*n, target);
    }
    if (unmap) {
        const auto n = ParseComName(*unmap);
        if (!n) throw UsageError("ports", "'" + *unmap + "' is not a COM port; use COM1 .. COM16");
        ClearComMapping(*n);
    }
    const auto mappings = ReadAllComMappings();
    std::cout << "COM ports:\n";
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const auto it = mappings.find(n);
        std::cout << "  " << ComName(n) << (n < 10 ? "   " : "  ")
                  << (it != mappings.end() ? it->second + "  (mapped)" : DefaultDeviceForCom(n))
                  << '\n';
    }
    std::cout << "Serial devices found:\n";
    const auto devices = ListSerialDevices();
    if (devices.empty()) std::cout << "  (none)\n";
    for (const auto& d : devices) {
        std::cout << "  " << d.device;
        if (!d.description.empty()) std::cout << "  " << d.description;
        if (!d.manufacturer.empty()) std::cout << ", " << d.manufacturer;
        if (!d.serialNumber.empty()) std::cout << ", serial " << d.serialNumber;
        if (!d.accessible)
            std::cout << "  [no permission: join the group "
                      << (d.group.empty() ? "dialout" : d.group) << "]";
        std::cout << '\n';
    }
    return kExitOk;
}

}  // namespace orv::cli
