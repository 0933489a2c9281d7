#include "model/addresses.h"

namespace orv {

const RicRange* ReservedRicRange(std::int64_t ric) {
    for (const RicRange& range : kReservedRicRanges)
        if (ric >= range.first && ric <= range.last) return &range;
    return nullptr;
}

bool IsValidRic(std::int64_t ric) {
    return ric >= 0 && ric <= kMaxRIC && !ReservedRicRange(ric);
}

std::string SevenDigitRic(std::string_view digits) {
    std::string text(digits);
    if (text.size() < 7) text.insert(0, 7 - text.size(), '0');
    return text;
}

std::string SevenDigitRic(std::uint32_t ric) {
    return SevenDigitRic(std::to_string(ric));
}

std::string MacText(const ConfigRecord& rec) {
    std::string text;
    for (std::size_t k = 0; k < rec.txtMAC.size(); ++k) {
        if (k) text += ':';
        text += rec.txtMAC[k];
    }
    return text;
}

}  // namespace orv
