// The test process's environment, and where the history goes under a given base folder, on every
// platform the suites run on (Linux, and Windows under Wine).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace orv {

// value is UTF-8. On Windows it goes into the wide environment, which the programs read: the
// narrow one is in the ANSI code page and cannot hold every letter.
inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    const auto wide = [](const std::string& utf8) {
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
    };
    _wputenv_s(wide(name).c_str(), wide(value).c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

// The variable naming the base of the history folder, and the folder under a base.
#ifdef _WIN32
inline constexpr const char* kHistoryBaseVariable = "LOCALAPPDATA";
inline std::string HistoryFolderUnder(const std::string& base) {
    return base + "\\orv-config\\history";
}
#else
inline constexpr const char* kHistoryBaseVariable = "XDG_DATA_HOME";
inline std::string HistoryFolderUnder(const std::string& base) {
    return base + "/orv-config/history";
}
#endif

}  // namespace orv
