// Hexadecimal digits: bytes and numbers as the image, the files and the MAC fields write them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orv {

// Upper-case hexadecimal digits of value, padded with "0" on the left to width.
std::string HexString(unsigned value, int width);

// The value of one hexadecimal digit, upper or lower case; -1 for any other character.
int HexDigitValue(char c);

// Two upper-case digits per byte, separated by separator: "13 21 00" or "132100".
std::string HexBytes(std::span<const std::uint8_t> bytes, std::string_view separator = " ");

}  // namespace orv
