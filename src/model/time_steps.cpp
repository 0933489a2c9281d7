#include "model/time_steps.h"

#include <cmath>

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

std::string PulseTimeLabel(int p) {
    p &= 7;
    return std::string(p < 4 ? "Fast" : "Slow") + (p % 4 < 2 ? " ON" : " OFF") +
           (p % 2 == 0 ? " Min" : " Max");
}

std::string RepeatTimeLabel(int t) {
    return std::string("Repeat time ") + static_cast<char>('A' + (t & 3));
}

std::string TimeRoundingNote(std::string_view label, std::string_view typed, long long stored,
                             std::string_view unit) {
    const std::string u(unit);
    return std::string(label) + ": " + std::string(typed) + " " + u + " is stored as " +
           std::to_string(stored) + " " + u + " (" + std::to_string(kTimeStep) + " " + u +
           " steps)";
}

}  // namespace orv
