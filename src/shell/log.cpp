#include "shell/log.h"

#include <cstdio>
#include <mutex>

namespace orv {
namespace {

std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
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
        const std::time_t t = std::time(nullptr);
        localtime_r(&t, &now);
    }
    std::string line = FormatLogLine(text, withTime, now);
    line += '\n';
    // One write per line under the lock, so lines from a worker thread never interleave.
    const std::lock_guard<std::mutex> lock(LogMutex());
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace orv
