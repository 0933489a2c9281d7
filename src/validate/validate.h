// Key filters and leave checks of the guarded text fields, as pure functions over texts and key
// codes. The window binds them to its fields: it passes each typed character through the field's
// filter and, when the focus leaves the field, applies the leave check's new text, shows its
// message (if any) in a message box and keeps the focus while keepFocus is set. Numbers are read
// with ParseWholeNumber and ParseHexNumber (base/numbers.h), as files and the CLI read them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/addresses.h"  // kMaxRIC and the reserved RIC ranges the RIC check refuses

namespace orv {

inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeyRefused = 0;

// The texts appended to the field's text when a leave check refuses a value.
inline constexpr std::string_view kIPComponentMessage =
    " is not a valid component of an IP address. IP addresses are of the form a.b.c.d where a-d "
    "are in the range 0-255";
inline constexpr std::string_view kMACComponentMessage =
    " is not a valid component of a MAC address. MAC addresses are of the form a:b:c:d:e:f where "
    "a-f are in the range 00-FF in hexadecimal";
inline constexpr std::string_view kRICMessage =
    " may not be a valid RIC. Valid RICs are in the range 0-2097151, and exclude the ranges "
    "2007664-2007671 and 2045056-2045063.";
inline constexpr std::string_view kPulseTimeMessage =
    " may not be a valid time. Valid times are in the range 0-2500.";
inline constexpr std::string_view kRepeatTimeMessage =
    " is not a valid repeat time. Valid times are in the range 0-2550.";

inline constexpr int kMaxPulseTime = 2500;
inline constexpr int kMaxRepeatTime = 2550;

// ---- Key filters: return the key code to insert, or kKeyRefused. Backspace always passes.

// "0".."9" only (IP, RIC, relay RIC, pulse and repeat times, RS485 address).
int FilterDigitKey(int key);
// Upper-cases the key first, then "0".."9" and "A".."F" only (MAC components).
int FilterHexKey(int key);
// Messages: every key is refused once the field already holds more than 68 characters; a
// character the unit cannot store in a message (outside printable ASCII 0x20..0x7E) is refused
// at any length.
int FilterMessageKey(int key, std::size_t currentLength);

// ---- Checks: the message (field text + fixed text) when the text is refused, else nullopt.

std::optional<std::string> CheckIPComponent(std::string_view text);
std::optional<std::string> CheckMACComponent(std::string_view text);
std::optional<std::string> CheckRIC(std::string_view text);

// ---- Leave checks.

struct LeaveResult {
    std::string newText;                 // what the field holds afterwards
    bool keepFocus = false;              // the value was refused: the focus stays in the field
    std::optional<std::string> message;  // shown in a message box before the focus decision
    // A time between two of the unit's steps: the value as typed (without leading zeros). newText
    // is then the step the unit keeps, and the window says so (TimeRoundingNote).
    std::optional<std::string> roundedFrom;
};

// Empty -> "0"; refused outside 0..255; reformatted without leading zeros even when refused.
LeaveResult LeaveIPComponent(std::string_view text);
// Empty -> "00"; refused unless hexadecimal 0..FF; two upper-case digits only when accepted.
LeaveResult LeaveMACComponent(std::string_view text);
// Empty -> "0"; refused outside 0..2097151 and in the two reserved ranges; always padded to at
// least seven digits.
LeaveResult LeaveRIC(std::string_view text);
// Empty -> "0"; refused outside 0..2500; leading zeros dropped only when accepted; an accepted
// value between two 10 ms steps becomes the step the unit keeps ("125" -> "120").
LeaveResult LeavePulseTime(std::string_view text);
// Empty -> "0"; refused outside 0..2550; a whole step is never reformatted ("030" stays), a value
// between two 10 s steps becomes the step the unit keeps ("45" -> "40").
LeaveResult LeaveRepeatTime(std::string_view text);

// ---- Which guard a field has, for binding them in one place.

enum class FieldGuard {
    kIPComponent,   // txtIP
    kMACComponent,  // txtMAC
    kRIC,           // txtRIC, txtRlyRIC (all eight slots)
    kPulseTime,     // txtPulseTime
    kRepeatTime,    // txtRepTime
    kRS485Address,  // txtRS485Address: digits, no leave check
    kMessage,       // txtMsg: length and character filter, no leave check
};

int FilterKey(FieldGuard guard, int key, std::size_t currentLength);
// Fields without a leave check get their text back unchanged, no message, focus released.
LeaveResult LeaveCheck(FieldGuard guard, std::string_view text);

}  // namespace orv
