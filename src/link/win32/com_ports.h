// The COM ports a Windows system has, for "orv-cli ports".
#pragma once

#include <string>
#include <vector>

namespace orv {

struct ComPortInfo {
    std::string name;    // "COM3"
    std::string device;  // what the system says it is, e.g. "\Device\Serial2" (may be empty)
};

// Every COM port the system knows (those the serial drivers announce and every COM name the
// system resolves), in number order.
std::vector<ComPortInfo> ListComPorts();

}  // namespace orv
