// Reading numbers from text. The record holds numbers as text, and each reader here answers a
// different question, so each has a name that says which:
//   ParseWholeNumber / ParseHexNumber  - is the whole text a number that fits 32 bits? (the leave
//                                        checks, file and command-line values)
//   ReadLeadingNumber / ReadLeadingHex - what number does the text start with, and what else does
//                                        it hold? (the image builder, like a BASIC Val)
//   ParseDigits                        - the value of a text of bare digits (no blanks, no sign)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
// The text without blanks (spaces, tabs) at either end.
std::string_view TrimBlanks(std::string_view text);

// ---- Whole texts

// A decimal number of any length split into its sign and its digits without leading zeros, so
// that texts too long for an integer can still be reformatted the way the user typed them.
struct WholeNumberText {
    bool negative = false;
    std::string digits;  // at least "0"; "-0" reads as "0", not negative
};
// Blanks around the number and one leading sign allowed; nullopt when anything else is there.
std::optional<WholeNumberText> SplitWholeNumber(std::string_view text);

// A whole decimal number (blanks around it and one leading sign allowed); nullopt when the text
// is not a number or does not fit a 32-bit signed integer.
std::optional<std::int32_t> ParseWholeNumber(std::string_view text);
// A hexadecimal number, upper- or lower-case digits, no sign or prefix (blanks around it allowed);
// nullopt when it is not one or is above 0x7FFFFFFF.
std::optional<std::int32_t> ParseHexNumber(std::string_view text);

// Bare digits of radix 10 or 16 (either case): nullopt when the text is empty, holds any other
// character or its value is above max.
std::optional<std::uint64_t> ParseDigits(std::string_view text, int radix,
                                         std::uint64_t max = UINT64_MAX);

// ---- Leading numbers

// How a text read as a leading number.
enum class NumberStatus {
    kOk,         // the whole text (blanks aside) is a number
    kEmpty,      // nothing but blanks
    kNotNumber,  // does not start with a number
    kTrailing,   // starts with a number followed by other text ("12abc")
};

struct LeadingNumber {
    double value = 0;  // the leading number; 0 unless it starts with one
    NumberStatus status = NumberStatus::kEmpty;
};

// Decimal: blanks, an optional sign, digits, an optional fraction. Only the leading number
// counts, but the caller learns what else the text held.
LeadingNumber ReadLeadingNumber(std::string_view text);
// Hexadecimal digits (no prefix, no sign) after optional blanks.
LeadingNumber ReadLeadingHex(std::string_view text);

}  // namespace orv
