// Small number-to-text and rounding helpers shared by the image code and its callers.
#include <cmath>

#include "image/image.h"

namespace orv {

std::string HexString(unsigned value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}

long long TensHalfEven(double value) {
    // Whole numbers divide exactly enough: (10k + 5) / 10 is k + 0.5 without error, so the
    // half test below is exact for every integer input.
    const double q = value / 10.0;
    const double below = std::floor(q);
    const double diff = q - below;
    auto result = static_cast<long long>(below);
    if (diff > 0.5 || (diff == 0.5 && (result % 2 != 0))) ++result;
    return result;
}

}  // namespace orv
