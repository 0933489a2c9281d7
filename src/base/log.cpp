#include "base/log.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "base/local_time.h"

namespace orv {
namespace {

std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}

// Guarded by LogMutex.
LogSink& CurrentSink() {
    static LogSink sink = WriteLogLineToStandardError;
    return sink;
}

}  // namespace

std::string FormatLogLine(std::string_view text, bool withTime, const std::tm& timeOfDay) {
    std::string line;
    if (withTime) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", timeOfDay.tm_hour % 100,
                      timeOfDay.tm_min % 100, timeOfDay.tm_sec % 100);
        line = buf;
    }
    line += ' ';
    line.append(text);
    return line;
}

void LogLine(std::string_view text, bool withTime) {
    std::tm now{};
    if (withTime) {
        now = LocalTime(std::time(nullptr));
    }
    const std::string line = FormatLogLine(text, withTime, now);
    // One sink call per line under the lock, so lines from a worker thread never interleave.
    const std::lock_guard<std::mutex> lock(LogMutex());
    if (const LogSink& sink = CurrentSink()) sink(line);
}

LogSink SetLogSink(LogSink sink) {
    const std::lock_guard<std::mutex> lock(LogMutex());
    return std::exchange(CurrentSink(), std::move(sink));
}

void WriteLogLineToStandardError(std::string_view line) {
    std::string out(line);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

}  // namespace orv
