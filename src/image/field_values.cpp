#include "image/field_values.h"

#include <cmath>
#include <cstdio>

#include "base/quote.h"
#include "image/image.h"
#include "model/addresses.h"
#include "model/lists.h"

namespace orv::detail {
namespace {

std::string WholeText(std::int64_t v) {
    return std::to_string(v);
}

// "X \"text\" is a and is b; stored as N unit."
std::string Sentence(const std::string& field, std::string_view text,
                     const std::vector<std::string>& problems, const std::string& stored,
                     std::string_view unit) {
    std::string s = field;
    if (!text.empty()) s += " " + QuoteForMessage(text);
    for (std::size_t n = 0; n < problems.size(); ++n) s += (n == 0 ? " " : " and ") + problems[n];
    s += "; stored as " + stored;
    if (!unit.empty()) s += " " + std::string(unit);
    s += ".";
    return s;
}

// The problems of reading text, before any range check.
void ParseProblems(const LeadingNumber& n, std::vector<std::string>& problems) {
    switch (n.status) {
        case NumberStatus::kOk:
            break;
        case NumberStatus::kEmpty:
            problems.push_back("is empty");
            break;
        case NumberStatus::kNotNumber:
            problems.push_back("is not a number");
            break;
        case NumberStatus::kTrailing:
            problems.push_back("is not a plain number (read as " + NumberText(n.value) + ")");
            break;
    }
}

std::string WithUnit(std::int64_t v, std::string_view unit) {
    return unit.empty() ? WholeText(v) : WholeText(v) + " " + std::string(unit);
}

}  // namespace

std::string NumberText(double v) {
    if (v == std::floor(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::int64_t FieldReader::Whole(const std::string& field, std::string_view text, std::int64_t lo,
                                std::int64_t hi, std::string_view unit) {
    const LeadingNumber n = ReadLeadingNumber(text);
    std::vector<std::string> problems;
    ParseProblems(n, problems);
    double v = n.value;
    if (!std::isfinite(v)) v = 1e300;
    double rounded = std::nearbyint(v);  // default rounding: half to even
    if (rounded != v && n.status != NumberStatus::kNotNumber)
        problems.push_back("is not a whole number");
    std::int64_t result;
    if (rounded < static_cast<double>(lo)) {
        problems.push_back("is below " + WithUnit(lo, unit));
        result = lo;
    } else if (rounded > static_cast<double>(hi)) {
        problems.push_back("is above " + WithUnit(hi, unit));
        result = hi;
    } else {
        result = static_cast<std::int64_t>(rounded);
    }
    if (!problems.empty()) Add(Sentence(field, text, problems, WholeText(result), unit));
    return result;
}

int FieldReader::Tens(const std::string& field, std::string_view text, int maxValue,
                      std::string_view unit) {
    const LeadingNumber n = ReadLeadingNumber(text);
    std::vector<std::string> problems;
    ParseProblems(n, problems);
    double v = std::isfinite(n.value) ? n.value : 1e300;
    if (v < 0) {
        problems.push_back("is below 0 " + std::string(unit));
        v = 0;
    } else if (v > maxValue) {
        problems.push_back("is above " + WithUnit(maxValue, unit));
        v = maxValue;
    }
    long long tens = TensHalfEven(v);
    if (tens > 255) tens = 255;
    if (!problems.empty()) Add(Sentence(field, text, problems, WholeText(tens * 10), unit));
    return static_cast<int>(tens);
}

std::uint32_t FieldReader::Ric(const std::string& field, std::string_view text) {
    constexpr double kRicLimit = kMaxRIC + 1.0;  // 2^21
    const LeadingNumber n = ReadLeadingNumber(text);
    std::vector<std::string> problems;
    ParseProblems(n, problems);
    double v = std::isfinite(n.value) ? n.value : 9e15;
    const double rounded = std::nearbyint(v);
    if (rounded != v) problems.push_back("is not a whole number");
    v = rounded;
    std::uint32_t result;
    if (v < 0) {
        problems.push_back("is below 0");
        result = 0;
    } else if (v >= kRicLimit) {
        if (v > 9e15) v = 9e15;
        result = static_cast<std::uint32_t>(std::fmod(v, kRicLimit));
        problems.push_back(
            "is above 2097151, the largest RIC; the unit keeps only its low 21 bits");
    } else {
        result = static_cast<std::uint32_t>(v);
    }
    if (!problems.empty()) Add(Sentence(field, text, problems, std::to_string(result), {}));
    return result;
}

int FieldReader::HexByte(const std::string& field, std::string_view text) {
    const LeadingNumber n = ReadLeadingHex(text);
    std::vector<std::string> problems;
    ParseProblems(n, problems);
    int result = 0;
    if (n.value > 255) {
        problems.push_back("is above FF");
        result = 255;
    } else {
        result = static_cast<int>(n.value);
    }
    if (!problems.empty()) Add(Sentence(field, text, problems, HexString(result, 2), {}));
    return result;
}

int FieldReader::Position(const std::string& field, int position, int count, int fallback,
                          std::string_view fallbackText) {
    if (position >= 0 && position < count) return position;
    std::string s = field;
    s += position == kNoSelection
             ? " has no selection"
             : " holds position " + std::to_string(position) + ", which is not in its list";
    s += "; stored as " + QuoteForMessage(fallbackText) + ".";
    Add(std::move(s));
    return fallback;
}

std::string ChannelStateName(int i, const ModuleTypes& moduleTypes) {
    const int bank = BankOf(i);
    if (moduleTypes[static_cast<std::size_t>(bank)] == kModuleRelay) return RelaySlotName(i);
    return "bank " + std::to_string(bank + 1) + " channel " + std::to_string(ChannelOf(i) + 1) +
           " " + std::string(kStateNames[static_cast<std::size_t>(StateOf(i))]);
}

std::string RelaySlotName(int k) {
    static constexpr std::string_view kSlotNames[8] = {
        "Close RIC range from", "Open RIC range from", "Toggle RIC range from",
        "Close TMax",           "Close RIC range to",  "Open RIC range to",
        "Toggle RIC range to",  "Toggle Repeat Filter"};
    const int relay = k / 8;
    return "bank " + std::to_string(relay / kRelayOutputsPerBank + 1) + " relay " +
           std::to_string(relay % kRelayOutputsPerBank + 1) + " " + std::string(kSlotNames[k % 8]);
}

std::string PulseTimeName(int p) {
    static constexpr std::string_view kNames[8] = {
        "Fast pulse ON minimum time",  "Fast pulse ON maximum time", "Fast pulse OFF minimum time",
        "Fast pulse OFF maximum time", "Slow pulse ON minimum time", "Slow pulse ON maximum time",
        "Slow pulse OFF minimum time", "Slow pulse OFF maximum time"};
    return std::string(kNames[p & 7]);
}

}  // namespace orv::detail
