// What the window's link needs of the platform: its own serial port (QSerialPort on Linux, the
// Win32 COM port on Windows, as orv-cli uses them; a device server's address is the link's own
// business) and the serial devices it has, for the Comms page to offer.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "link/serial_port.h"

namespace orv::ui {

std::unique_ptr<SerialPort> MakeLocalSerialPort();

struct DeviceChoice {
    QString device;  // what a COM port may be mapped to: "/dev/ttyUSB0", "COM17"
    QString tip;     // what the system says it is, and what stands in the user's way
};
std::vector<DeviceChoice> LocalDeviceChoices();

}  // namespace orv::ui
