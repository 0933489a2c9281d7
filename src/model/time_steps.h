// Times as the unit keeps them: pulse times in steps of 10 ms, repeat times in steps of 10 s, each
// the nearest whole step with an exact half going to the even step (125 ms -> 120 ms, 135 ms ->
// 140 ms). A value between two steps is stored as a different number than the one typed; whoever
// rounds one (the leave check, the image builder) tells the user in the one sentence below, naming
// the field as the window labels it.
#pragma once

#include <string>
#include <string_view>

namespace orv {

inline constexpr int kTimeStep = 10;
inline constexpr int kMaxStoredTime = 2550;  // 255 steps, the most one byte of the image holds
inline constexpr std::string_view kPulseTimeUnit = "ms";
inline constexpr std::string_view kRepeatTimeUnit = "s";

// value / 10 rounded to the nearest whole number, an exact half to the even neighbour.
long long TensHalfEven(double value);

// The time the unit keeps for value: the nearest whole step.
inline long long StoredTime(double value) {
    return TensHalfEven(value) * kTimeStep;
}

// The labels of the window: "Fast ON Min" for txtPulseTime(0), "Slow OFF Max" for (7);
// "Repeat time A" .. "Repeat time D" for txtRepTime(0..3).
std::string PulseTimeLabel(int p);
std::string RepeatTimeLabel(int t);

// "Repeat time B: 45 s is stored as 40 s (10 s steps)". typed is the value as the user gave it,
// without leading zeros.
std::string TimeRoundingNote(std::string_view label, std::string_view typed, long long stored,
                             std::string_view unit);

}  // namespace orv
