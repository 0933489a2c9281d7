#include "validate/validate.h"

#include <cstdint>
#include <limits>

#include "image/image.h"

namespace orv {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A decimal number of any length split into its sign and its digits without leading zeros, so
// that texts too long for an integer can still be reformatted the way the user typed them.
struct DecimalText {
    bool negative = false;
    std::string digits;  // at least "0"
};

std::optional<DecimalText> SplitDecimal(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    DecimalText out;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        out.negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    for (char c : s)
        if (!IsDigit(c)) return std::nullopt;
    while (s.size() > 1 && s.front() == '0') s.remove_prefix(1);
    out.digits = std::string(s);
    if (out.digits == "0") out.negative = false;
    return out;
}

// "007" -> "7"; text that is no number stays as it is.
std::string WithoutLeadingZeros(std::string_view text) {
    const auto d = SplitDecimal(text);
    if (!d) return std::string(text);
    return (d->negative ? "-" : "") + d->digits;
}

// "123" -> "0000123"; longer numbers keep all their digits; text that is no number stays.
std::string AtLeastSevenDigits(std::string_view text) {
    const auto d = SplitDecimal(text);
    if (!d) return std::string(text);
    std::string digits = d->digits;
    if (digits.size() < 7) digits.insert(0, 7 - digits.size(), '0');
    return (d->negative ? "-" : "") + digits;
}

bool InRange(std::optional<std::int32_t> v, std::int32_t lo, std::int32_t hi) {
    return v && *v >= lo && *v <= hi;
}

std::string Compose(std::string_view text, std::string_view fixed) {
    std::string msg(text);
    msg.append(fixed);
    return msg;
}

}  // namespace

int FilterDigitKey(int key) {
    if (key == kKeyBackspace) return key;
    return (key >= '0' && key <= '9') ? key : kKeyRefused;
}

int FilterHexKey(int key) {
    if (key == kKeyBackspace) return key;
    if (key >= 'a' && key <= 'z') key = key - 'a' + 'A';
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'F')) return key;
    return kKeyRefused;
}

int FilterMessageKey(int key, std::size_t currentLength) {
    if (key == kKeyBackspace) return key;
    if (currentLength > 68) return kKeyRefused;
    // The image stores message characters as 0x01..0x7F and uses 0x80..0xFF for dictionary
    // codes; control characters would reach the pager as garbage.
    if (key < 0x20 || key > 0x7E) return kKeyRefused;
    return key;
}

std::optional<std::int32_t> ParseDecimal(std::string_view text) {
    const auto d = SplitDecimal(text);
    if (!d) return std::nullopt;
    // Ten digits at most fit; anything longer is out of range whatever its value.
    if (d->digits.size() > 10) return std::nullopt;
    std::int64_t v = 0;
    for (char c : d->digits) v = v * 10 + (c - '0');
    if (d->negative) v = -v;
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::optional<std::int32_t> ParseHex(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        v = v * 16 + digit;
        if (v > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(v);
}

std::optional<std::string> CheckIPComponent(std::string_view text) {
    if (InRange(ParseDecimal(text), 0, 255)) return std::nullopt;
    return Compose(text, kIPComponentMessage);
}

std::optional<std::string> CheckMACComponent(std::string_view text) {
    if (InRange(ParseHex(text), 0, 255)) return std::nullopt;
    return Compose(text, kMACComponentMessage);
}

std::optional<std::string> CheckRIC(std::string_view text) {
    const auto v = ParseDecimal(text);
    const bool ok =
        InRange(v, 0, kMaxRIC) && !InRange(v, 2007664, 2007671) && !InRange(v, 2045056, 2045063);
    if (ok) return std::nullopt;
    return Compose(text, kRICMessage);
}

LeaveResult LeaveIPComponent(std::string_view text) {
    LeaveResult r;
    r.newText = text.empty() ? "0" : std::string(text);
    r.message = CheckIPComponent(r.newText);
    r.keepFocus = r.message.has_value();
    r.newText = WithoutLeadingZeros(r.newText);
    return r;
}

LeaveResult LeaveMACComponent(std::string_view text) {
    LeaveResult r;
    r.newText = text.empty() ? "00" : std::string(text);
    r.message = CheckMACComponent(r.newText);
    r.keepFocus = r.message.has_value();
    if (!r.keepFocus) r.newText = HexString(static_cast<unsigned>(*ParseHex(r.newText)), 2);
    return r;
}

LeaveResult LeaveRIC(std::string_view text) {
    LeaveResult r;
    r.newText = text.empty() ? "0" : std::string(text);
    r.message = CheckRIC(r.newText);
    r.keepFocus = r.message.has_value();
    r.newText = AtLeastSevenDigits(r.newText);
    return r;
}

LeaveResult LeavePulseTime(std::string_view text) {
    LeaveResult r;
    r.newText = text.empty() ? "0" : std::string(text);
    if (!InRange(ParseDecimal(r.newText), 0, kMaxPulseTime)) {
        r.message = Compose(r.newText, kPulseTimeMessage);
        r.keepFocus = true;
    } else {
        r.newText = WithoutLeadingZeros(r.newText);
    }
    return r;
}

LeaveResult LeaveRepeatTime(std::string_view text) {
    LeaveResult r;
    r.newText = text.empty() ? "0" : std::string(text);
    if (!InRange(ParseDecimal(r.newText), 0, kMaxRepeatTime)) {
        r.message = Compose(r.newText, kRepeatTimeMessage);
        r.keepFocus = true;
    }
    return r;
}

int FilterKey(FieldGuard guard, int key, std::size_t currentLength) {
    switch (guard) {
        case FieldGuard::kMACComponent:
            return FilterHexKey(key);
        case FieldGuard::kMessage:
            return FilterMessageKey(key, currentLength);
        case FieldGuard::kIPComponent:
        case FieldGuard::kRIC:
        case FieldGuard::kPulseTime:
        case FieldGuard::kRepeatTime:
        case FieldGuard::kRS485Address:
            return FilterDigitKey(key);
    }
    return kKeyRefused;
}

LeaveResult LeaveCheck(FieldGuard guard, std::string_view text) {
    switch (guard) {
        case FieldGuard::kIPComponent:
            return LeaveIPComponent(text);
        case FieldGuard::kMACComponent:
            return LeaveMACComponent(text);
        case FieldGuard::kRIC:
            return LeaveRIC(text);
        case FieldGuard::kPulseTime:
            return LeavePulseTime(text);
        case FieldGuard::kRepeatTime:
            return LeaveRepeatTime(text);
        case FieldGuard::kRS485Address:
        case FieldGuard::kMessage:
            break;
    }
    return LeaveResult{std::string(text), false, std::nullopt};
}

}  // namespace orv
