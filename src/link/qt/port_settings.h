// The COM port map kept in the user's settings store (com_map.cpp, on every platform), and the
// serial devices this machine has (port_settings.cpp, with QSerialPort).
// The store of link/qt/user_store.h, group "Ports", key "COM<n>" = device.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/port_names.h"

namespace orv {

std::optional<std::string> ReadComMapping(int comNumber);
void SetComMapping(int comNumber, const std::string& device);
void ClearComMapping(int comNumber);
// Every mapped COM number with its device.
std::map<int, std::string> ReadAllComMappings();
// A lookup over the settings store, for Comms (reads the store at each call, so a mapping made
// meanwhile takes effect at the next exchange).
ComPortLookup SettingsComPortLookup();

struct DetectedDevice {
    std::string device;       // "/dev/ttyUSB0"
    std::string description;  // what the system says it is
    std::string manufacturer;
    std::string serialNumber;
    bool accessible = true;  // the user may open it (read and write permission)
    std::string group;       // the group owning the device node, e.g. "dialout"
};
// The serial devices found: those Qt reports, plus pseudo-terminal links and USB serial nodes
// that are present on Linux (/dev/ttyUSB*, /dev/ttyACM*, /dev/serial/by-id/*).
std::vector<DetectedDevice> ListSerialDevices();

}  // namespace orv
