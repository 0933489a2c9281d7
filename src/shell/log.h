// The activity log: milestones of a run (start, end, transfers) written to standard error.
// It never records errors; those are shown to the user by whoever meets them.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace orv {

// The line LogLine writes, without the newline: "HH:MM:SS text" with the time of day, or
// " text" (a blank, then the text) without it.
std::string FormatLogLine(std::string_view text, bool withTime, const std::tm& timeOfDay);

// Writes one line to standard error, with the current local time of day in front when asked.
// Safe to call from any thread; never fails.
void LogLine(std::string_view text, bool withTime);

}  // namespace orv
