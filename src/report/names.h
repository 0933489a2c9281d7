// How the report, the differences and the table name the parts of a configuration.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "model/lists.h"
#include "model/record.h"

namespace orv::report {

// Which part of a bank the editor shows for its module type.
enum class BankKind { kNotShown, kInputs, kRelays };
BankKind KindOf(int moduleType);
// Whether the editor shows this trigger state of an input bank's channels.
bool StateShown(int moduleType, int state);

// "Type 13: 16-Channel Dry Contact Input Module", "NOT FITTED"; codes outside 0..15 are named
// with their number.
std::string ModuleText(int moduleType);

inline constexpr std::array<std::string_view, 3> kActionNames{"Close", "Open", "Toggle"};

// Item text of a list position; "(none)" when nothing is selected, "(position N)" outside the
// list (only possible from damaged data).
template <std::size_t N>
std::string ListText(const std::array<ListItem, N>& items, int position) {
    if (position == kNoSelection) return "(none)";
    const std::string_view t = ItemText(items, position);
    return t.empty() ? "(position " + std::to_string(position) + ")" : std::string(t);
}

// "A (300 s)": the repeat letter with the time it selects.
std::string RepeatText(const ConfigRecord& rec, int repeatPosition);

// "9600 baud, N,8,1" for port n (0 RS232, 1 RS485).
std::string PortText(const ConfigRecord& rec, int port);
inline constexpr std::array<std::string_view, 2> kPortNames{"RS232 port", "RS485 port"};

// "192.168.0.10" (the MAC address is Latin1ToUtf8(MacText(rec)), model/addresses.h).
std::string IpText(const ConfigRecord& rec);

// The value of a decimal text of at most 18 digits ("0000123" is 123), or nullopt when it is not
// one.
std::optional<long long> DecimalValue(std::string_view text);
// Two numeric texts are the same when their values are; other texts when they are equal.
bool SameNumber(std::string_view a, std::string_view b);
// Two hexadecimal texts ("0A", "a") are the same when their values are.
bool SameHex(std::string_view a, std::string_view b);

// Names of the pulse windows, for txtPulseTime(2w) and txtPulseTime(2w + 1).
inline constexpr std::array<std::string_view, 4> kPulseWindowNames{
    "Fast pulse ON", "Fast pulse OFF", "Slow pulse ON", "Slow pulse OFF"};

// Names of the option bits: the two the editor captions, and the six spare ones by bit.
std::string OptionName(int bit);

}  // namespace orv::report
