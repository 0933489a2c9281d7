// The serial devices this machine has, as Qt and /dev list them.
#include "link/qt/port_settings.h"

#include <QSerialPortInfo>
#include <filesystem>
#include <set>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orv {
namespace {

void FillAccess(DetectedDevice& d) {
#ifndef _WIN32
    d.accessible = ::access(d.device.c_str(), R_OK | W_OK) == 0;
    struct stat st {};
    if (::stat(d.device.c_str(), &st) == 0) {
        if (const group* g = ::getgrgid(st.st_gid)) d.group = g->gr_name;
    }
#endif
}

}  // namespace

std::vector<DetectedDevice> ListSerialDevices() {
    std::vector<DetectedDevice> out;
    std::set<std::string> seen;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        DetectedDevice d;
        d.device = info.systemLocation().toStdString();
        d.description = info.description().toStdString();
        d.manufacturer = info.manufacturer().toStdString();
        d.serialNumber = info.serialNumber().toStdString();
        if (!seen.insert(d.device).second) continue;
        FillAccess(d);
        out.push_back(std::move(d));
    }
#ifndef _WIN32
    // USB adapters and their stable names, which Qt may not list without udev.
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0)
            extra.push_back(entry.path().string());
    }
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", ec))
        extra.push_back(entry.path().string());
    // Devices the user mapped (a simulator's pseudo-terminal) while they exist.
    for (const auto& [n, device] : ReadAllComMappings())
        if (fs::exists(device, ec)) extra.push_back(device);
    for (auto& device : extra) {
        if (!seen.insert(device).second) continue;
        DetectedDevice d;
        d.device = device;
        if (device.rfind("/dev/pts/", 0) == 0) d.description = "pseudo-terminal";
        FillAccess(d);
        out.push_back(std::move(d));
    }
#endif
    return out;
}

}  // namespace orv
