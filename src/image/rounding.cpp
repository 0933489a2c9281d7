#include <cmath>

#include "image/image.h"

namespace orv {

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
