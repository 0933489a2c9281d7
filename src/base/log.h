// The activity log: milestones of a run (start, end, transfers) for whoever diagnoses it. It never
// records errors; those are shown to the user by whoever meets them. Lines go to standard error
// unless a program or a test sends them elsewhere, or nowhere, with SetLogSink.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace orv {

// The line LogLine writes, without the newline: "HH:MM:SS text" with the time of day, or
// " text" (a blank, then the text) without it.
std::string FormatLogLine(std::string_view text, bool withTime, const std::tm& timeOfDay);

// Composes one line with the current local time of day in front when asked and hands it to the
// sink. Safe to call from any thread; never fails.
void LogLine(std::string_view text, bool withTime);

// Receives each line as FormatLogLine composes it, without the newline. Calls never overlap, so
// a sink must not log itself.
using LogSink = std::function<void(std::string_view line)>;
// Sends the lines to sink from now on and returns the sink it replaces (to put it back); an empty
// sink silences the log.
LogSink SetLogSink(LogSink sink);
// The sink the log starts with: one line to standard error, flushed at once.
void WriteLogLineToStandardError(std::string_view line);

}  // namespace orv
