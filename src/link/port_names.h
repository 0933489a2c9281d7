// Which serial device a "COMn" port number means on this machine.
//
// On Linux COMn is /dev/ttyS<n-1> unless the user has mapped it to another device (a USB adapter,
// the simulator's pseudo-terminal). The mapping itself lives in the settings store (link/qt); the
// core only sees it through a lookup handed in by the caller.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 16;

// Device of COMn for a mapping, or nullopt when COMn is not mapped.
using ComPortLookup = std::function<std::optional<std::string>(int comNumber)>;

// The device COMn means without a mapping: "/dev/ttyS<n-1>" (on Windows the name "COMn").
std::string DefaultDeviceForCom(int comNumber);

// The device COMn means: the lookup's answer when it has one, otherwise the default.
// An empty string for numbers outside 1..16.
std::string DeviceForCom(int comNumber, const ComPortLookup& lookup);

// What to check when the device of a COM port is missing, for the message that says so: in the
// editor's words, or in orv-cli's (its --port and --device options).
std::string_view MissingDeviceAdvice(bool commandLine = false);

// What is wrong with device as what a COM port is mapped to on this platform, or "" when it is a
// device name the platform has: a device server's address (tcp://HOST:PORT, rfc2217://HOST:PORT)
// anywhere; on Windows a COM port ("COM17") or a device in its namespace ("\\.\CNCA0"),
// elsewhere a device's full path ("/dev/ttyUSB0"). The sentence names device and says what to
// write instead. Whether the device is there is only known when it is opened.
std::string ComMappingProblem(std::string_view device);

// "COM3" / "com3" -> 3; nullopt for anything else or a number outside 1..16.
std::optional<int> ParseComName(std::string_view name);
// 3 -> "COM3".
std::string ComName(int comNumber);

}  // namespace orv
