#include "validate/validate.h"

#include "base/hex.h"
#include "base/numbers.h"
#include "model/time_steps.h"

namespace orv {
namespace {

// "007" -> "7"; text that is no number stays as it is.
std::string WithoutLeadingZeros(std::string_view text) {
    const auto d = SplitWholeNumber(text);
    if (!d) return std::string(text);
    return (d->negative ? "-" : "") + d->digits;
}

// "123" -> "0000123"; longer numbers keep all their digits; text that is no number stays.
std::string AtLeastSevenDigits(std::string_view text) {
    const auto d = SplitWholeNumber(text);
    if (!d) return std::string(text);
    return (d->negative ? "-" : "") + SevenDigitRic(d->digits);
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

std::optional<std::string> CheckIPComponent(std::string_view text) {
    if (InRange(ParseWholeNumber(text), 0, 255)) return std::nullopt;
    return Compose(text, kIPComponentMessage);
}

std::optional<std::string> CheckMACComponent(std::string_view text) {
    if (InRange(ParseHexNumber(text), 0, 255)) return std::nullopt;
    return Compose(text, kMACComponentMessage);
}

std::optional<std::string> CheckRIC(std::string_view text) {
    const auto v = ParseWholeNumber(text);
    if (v && IsValidRic(*v)) return std::nullopt;
    return Compose(text, kRICMessage);
}

namespace {

// Every leave check begins alike: an empty field takes its default, then the check decides
// whether the focus stays.
LeaveResult Checked(std::string_view text, std::string_view whenEmpty,
                    std::optional<std::string> (*check)(std::string_view)) {
    LeaveResult r;
    r.newText = text.empty() ? std::string(whenEmpty) : std::string(text);
    r.message = check(r.newText);
    r.keepFocus = r.message.has_value();
    return r;
}

// The time checks have no check of their own; the range decides.
template <std::int32_t Max, const std::string_view& Fixed>
std::optional<std::string> CheckTime(std::string_view text) {
    if (InRange(ParseWholeNumber(text), 0, Max)) return std::nullopt;
    return Compose(text, Fixed);
}

}  // namespace

LeaveResult LeaveIPComponent(std::string_view text) {
    LeaveResult r = Checked(text, "0", CheckIPComponent);
    r.newText = WithoutLeadingZeros(r.newText);  // also when refused: "0300" stands as "300"
    return r;
}

LeaveResult LeaveMACComponent(std::string_view text) {
    LeaveResult r = Checked(text, "00", CheckMACComponent);
    if (!r.keepFocus) r.newText = HexString(static_cast<unsigned>(*ParseHexNumber(r.newText)), 2);
    return r;
}

LeaveResult LeaveRIC(std::string_view text) {
    LeaveResult r = Checked(text, "0", CheckRIC);
    r.newText = AtLeastSevenDigits(r.newText);  // also when refused
    return r;
}

// An accepted time that the unit would keep as another number shows that number instead: the
// field must not say 45 s while the unit repeats every 40 s.
void RoundToStep(LeaveResult& r) {
    if (r.keepFocus) return;
    const std::int32_t value = *ParseWholeNumber(r.newText);
    const long long stored = StoredTime(value);
    if (stored == value) return;
    r.roundedFrom = std::to_string(value);
    r.newText = std::to_string(stored);
}

LeaveResult LeavePulseTime(std::string_view text) {
    LeaveResult r = Checked(text, "0", CheckTime<kMaxPulseTime, kPulseTimeMessage>);
    if (!r.keepFocus) r.newText = WithoutLeadingZeros(r.newText);
    RoundToStep(r);
    return r;
}

LeaveResult LeaveRepeatTime(std::string_view text) {
    LeaveResult r = Checked(text, "0", CheckTime<kMaxRepeatTime, kRepeatTimeMessage>);
    RoundToStep(r);  // otherwise never reformatted
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
    LeaveResult r;
    r.newText = std::string(text);
    return r;
}

}  // namespace orv
