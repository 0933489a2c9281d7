// The fixed item lists of the choice fields, with their item texts and item codes, the module type
// names and the tool-tips the editor installs on its fields.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orv {

struct ListItem {
    std::string_view text;
    int code;
};

// lstFunc: function code (beep type) of a call.
inline constexpr std::array<ListItem, 4> kFuncItems{{{"A", 0}, {"B", 1}, {"C", 2}, {"D", 3}}};
// lstType: pager type; the code is the letter the unit uses.
inline constexpr std::array<ListItem, 2> kTypeItems{{{"Alpha", 65}, {"Num.", 78}}};
// lstBaud: paging baud rate.
inline constexpr std::array<ListItem, 3> kPagingBaudItems{
    {{"512", 78}, {"1200", 70}, {"2400", 86}}};
// lstRepeat: which repeat time (txtRepTime) applies.
inline constexpr std::array<ListItem, 4> kRepeatItems{{{"A", 0}, {"B", 1}, {"C", 2}, {"D", 3}}};
// lstRlyBeep: relay action beep; "ALL" exists only here.
inline constexpr std::array<ListItem, 5> kRelayBeepItems{
    {{"A", 0}, {"B", 1}, {"C", 2}, {"D", 3}, {"ALL", 4}}};
inline constexpr int kRelayBeepAll = 4;

// lstBaudPC and lstPortBaudrate: the position is the code the unit stores.
inline constexpr std::array<ListItem, 10> kBaudRateItems{{{"110", 0},
                                                          {"300", 1},
                                                          {"1200", 2},
                                                          {"2400", 3},
                                                          {"4800", 4},
                                                          {"9600", 5},
                                                          {"19200", 6},
                                                          {"38400", 7},
                                                          {"57600", 8},
                                                          {"115200", 9}}};
inline constexpr int kBaud9600 = 5;
inline constexpr int kBaud115200 = 9;

// lstPCFormat and lstPortFormat: parity in bits 5-4, two stop bits in bit 3, data bits - 5 in
// bits 2-1.
inline constexpr std::array<ListItem, 24> kFrameFormatItems{{
    {"N,5,1", 0}, {"N,5,2", 8},  {"E,5,1", 32}, {"E,5,2", 40}, {"O,5,1", 48}, {"O,5,2", 56},
    {"N,6,1", 2}, {"N,6,2", 10}, {"E,6,1", 34}, {"E,6,2", 42}, {"O,6,1", 50}, {"O,6,2", 58},
    {"N,7,1", 4}, {"N,7,2", 12}, {"E,7,1", 36}, {"E,7,2", 44}, {"O,7,1", 52}, {"O,7,2", 60},
    {"N,8,1", 6}, {"N,8,2", 14}, {"E,8,1", 38}, {"E,8,2", 46}, {"O,8,1", 54}, {"O,8,2", 62},
}};
inline constexpr int kFormatN81 = 18;

inline constexpr int kComPorts = 16;  // lstComPort: "COM1" .. "COM16"
std::string ComPortItemText(int position);

// ModuleTypeName(0..16); lstMod offers codes 0..15.
inline constexpr int kModuleTypeNames = 17;
inline constexpr int kModuleListItems = 16;
std::string_view ModuleTypeName(int code);  // empty text outside 0..16

// Trigger-state names used by the default messages.
inline constexpr std::array<std::string_view, 4> kStateNames{"RESET", "SLOW", "FAST", "STEADY"};

// Position of the item with the given code, if any.
template <std::size_t N>
std::optional<int> PositionOfCode(const std::array<ListItem, N>& items, int code) {
    for (std::size_t p = 0; p < N; ++p)
        if (items[p].code == code) return static_cast<int>(p);
    return std::nullopt;
}

// Text of the item at a position, or empty when the position is outside the list.
template <std::size_t N>
std::string_view ItemText(const std::array<ListItem, N>& items, int position) {
    if (position < 0 || position >= static_cast<int>(N)) return {};
    return items[static_cast<std::size_t>(position)].text;
}

// Tool-tips.
namespace tip {
inline constexpr std::string_view kRIC = "Radio Identity Code (RIC) or CapCode";
inline constexpr std::string_view kFunc = "Function Code or Beep Type (A-D)";
inline constexpr std::string_view kType = "Pager Type (Alpha/Numeric)";
inline constexpr std::string_view kPagingBaud = "Baud Rate (512/1200/2400)";
inline constexpr std::string_view kRepeat = "Repeat time as defined on General Tab";
inline constexpr std::string_view kMsg = "Alpha/Numeric Message (69 Characters MAX)";
inline constexpr std::string_view kRelayBeep = "Function Code or Beep Type (A-D or ALL)";
inline constexpr std::string_view kMod =
    "Module type - initialised on File Open, Connect or set manually";
inline constexpr std::string_view kRepTime = "Message Repeat Time (10s Resolution, Max = 2550s)";
inline constexpr std::string_view kVer = "ORV Pro Firmware build/revision number";
inline constexpr std::string_view kFileName = "File to save/load configuration data to";
inline constexpr std::string_view kPortFormat = "Port format";
inline constexpr std::string_view kRS232Port = "RS232 port";
inline constexpr std::string_view kRS485Port = "RS485 port";
inline constexpr std::string_view kComPort = "Selected PC comms port";
inline constexpr std::string_view kBaudPC = "Baud Rate";
inline constexpr std::string_view kIP = "IP Address component (0-255)";
inline constexpr std::string_view kMAC = "MAC Address component (0-FF)";
inline constexpr std::string_view kPulseTime =
    "Time constant for pulse detection (10mS resolution)";
inline constexpr std::string_view kOption0 =
    "Internal software loops RS232 output direct to RS232 input";
inline constexpr std::string_view kConnect = "Connect/Disconnect to/from ORV";
inline constexpr std::string_view kAutoBaud =
    "Tries different baud rates until a valid response is obtained (assumes the PC Serial Format "
    "is set correctly)";
inline constexpr std::string_view kGet = "Get configuration data from ORV";
inline constexpr std::string_view kPut = "Send configuration data to ORV";
inline constexpr std::string_view kReset = "Causes the ORV to perform a system reset";
inline constexpr std::string_view kSize = "Estimate size of configuration data for ORV";
inline constexpr std::string_view kMACwrite = "Send ONLY the MAC address to ORV";
inline constexpr std::string_view kMACincrement = "Bunmp the MAC address up by one";
inline constexpr std::string_view kMeasurePulse =
    "Instruct ORV to measure incoming pulse on Bank 1 Channel 1";
}  // namespace tip

}  // namespace orv
