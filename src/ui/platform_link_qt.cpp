// The window's serial line on Linux: QSerialPort, and the serial devices Qt and /dev list.
#include "link/qt/port_settings.h"
#include "link/qt/qt_serial_port.h"
#include "ui/platform_link.h"

namespace orv::ui {

std::unique_ptr<SerialPort> MakeLocalSerialPort() {
    return std::make_unique<QtSerialPort>();
}

std::vector<DeviceChoice> LocalDeviceChoices() {
    std::vector<DeviceChoice> out;
    for (const DetectedDevice& d : ListSerialDevices()) {
        QString tip = QString::fromStdString(d.description);
        if (!d.accessible)
            tip += QString(" (no permission: add yourself to the group \"%1\")")
                       .arg(QString::fromStdString(d.group));
        out.push_back({QString::fromStdString(d.device), tip});
    }
    return out;
}

}  // namespace orv::ui
