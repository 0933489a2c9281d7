// The window's serial line on Windows: the Win32 COM port, as orv-cli uses it, where an unmapped
// COMn is the system's COMn; the devices offered are the COM ports this PC has.
#include "link/win32/com_ports.h"
#include "link/win32/win32_serial_port.h"
#include "ui/platform_link.h"

namespace orv::ui {

std::unique_ptr<SerialPort> MakeLocalSerialPort() {
    return std::make_unique<Win32SerialPort>();
}

std::vector<DeviceChoice> LocalDeviceChoices() {
    std::vector<DeviceChoice> out;
    for (const ComPortInfo& port : ListComPorts())
        out.push_back({QString::fromStdString(port.name), QString::fromStdString(port.device)});
    return out;
}

}  // namespace orv::ui
