#include "base/numbers.h"

#include <charconv>
#include <limits>

#include "base/hex.h"

namespace orv {
namespace {

// Status of what follows the number at pos: only blanks (ok) or other text.
NumberStatus Rest(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos == text.size() ? NumberStatus::kOk : NumberStatus::kTrailing;
}

}  // namespace

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<WholeNumberText> SplitWholeNumber(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    WholeNumberText out;
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

std::optional<std::int32_t> ParseWholeNumber(std::string_view text) {
    const auto d = SplitWholeNumber(text);
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

std::optional<std::int32_t> ParseHexNumber(std::string_view text) {
    const std::string_view s = TrimBlanks(text);
    const auto v = ParseDigits(s, 16, std::numeric_limits<std::int32_t>::max());
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::optional<std::uint64_t> ParseDigits(std::string_view text, int radix, std::uint64_t max) {
    if (text.empty()) return std::nullopt;
    const auto base = static_cast<std::uint64_t>(radix);
    std::uint64_t v = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || digit >= radix) return std::nullopt;
        // v * base + digit > max, written so that it cannot overflow.
        if (v > (max - static_cast<std::uint64_t>(digit)) / base) return std::nullopt;
        v = v * base + static_cast<std::uint64_t>(digit);
    }
    return v;
}

LeadingNumber ReadLeadingNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos == text.size()) return {0, NumberStatus::kEmpty};
    const std::size_t start = pos;
    if (text[pos] == '+' || text[pos] == '-') ++pos;
    std::size_t digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
    if (pos < text.size() && text[pos] == '.') {
        std::size_t frac = pos + 1;
        std::size_t fracDigits = 0;
        while (frac < text.size() && IsDigit(text[frac])) ++frac, ++fracDigits;
        if (fracDigits > 0 || digits > 0) {
            pos = frac;
            digits += fracDigits;
        }
    }
    if (digits == 0) return {0, NumberStatus::kNotNumber};

    // from_chars does not accept a leading '+' and ignores the locale, unlike strtod.
    std::size_t numStart = start;
    bool negative = false;
    if (text[numStart] == '+' || text[numStart] == '-') {
        negative = text[numStart] == '-';
        ++numStart;
    }
    double value = 0;
    const char* first = text.data() + numStart;
    const char* last = text.data() + pos;
    if (*first == '.') {
        // ".5": from_chars in fixed form wants a leading digit.
        std::string withZero = "0" + std::string(first, last);
        std::from_chars(withZero.data(), withZero.data() + withZero.size(), value,
                        std::chars_format::fixed);
    } else {
        auto r = std::from_chars(first, last, value, std::chars_format::fixed);
        if (r.ec == std::errc::result_out_of_range) value = 1e300;
    }
    if (negative) value = -value;
    return {value, Rest(text, pos)};
}

LeadingNumber ReadLeadingHex(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos == text.size()) return {0, NumberStatus::kEmpty};
    double value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && HexDigitValue(text[pos]) >= 0) {
        value = value * 16 + HexDigitValue(text[pos]);
        ++pos;
        ++digits;
    }
    if (digits == 0) return {0, NumberStatus::kNotNumber};
    return {value, Rest(text, pos)};
}

}  // namespace orv
