// Pager and network addresses as the record holds them: the RICs the unit can page and their
// seven-digit text, and the MAC address with its fixed first three octets.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/record.h"

namespace orv {

// The largest RIC: the channel word keeps 21 bits of it.
inline constexpr int kMaxRIC = 2097151;

// RICs within 0..kMaxRIC that the editor's RIC check refuses.
struct RicRange {
    std::int64_t first;
    std::int64_t last;
};
inline constexpr std::array<RicRange, 2> kReservedRicRanges{
    {{2007664, 2007671}, {2045056, 2045063}}};

// The reserved range holding ric, or nullptr when it lies in none.
const RicRange* ReservedRicRange(std::int64_t ric);
// In 0..kMaxRIC and outside the reserved ranges.
bool IsValidRic(std::int64_t ric);

// A RIC as the editor shows it: its digits with leading zeros up to seven ("123" becomes
// "0000123"); longer digit strings are kept whole.
std::string SevenDigitRic(std::string_view digits);
std::string SevenDigitRic(std::uint32_t ric);

// The first three octets of every unit's MAC address (txtMAC(0..2)).
inline constexpr std::array<std::string_view, 3> kFixedMacOctets{"50", "46", "4A"};
// "50:46:4A:00:00:01": the six MAC fields joined by colons, as the record holds them.
std::string MacText(const ConfigRecord& rec);

}  // namespace orv
