// The program's name and version texts.
#pragma once

#include <string>
#include <string_view>

namespace orv {

inline constexpr std::string_view kProgramTitle = "ORV Pro Configuration";
inline constexpr int kVersionMajor = ORV_VERSION_MAJOR;
inline constexpr int kVersionMinor = ORV_VERSION_MINOR;
inline constexpr int kVersionRevision = ORV_VERSION_REVISION;

// "ORV Pro Configuration 1.0": the main window caption, also stored in saved files.
inline std::string MainWindowCaption() {
    return std::string(kProgramTitle) + " " + std::to_string(kVersionMajor) + "." +
           std::to_string(kVersionMinor);
}
// "v 1.0 (Build 4)": caption of the version frame on the Info page.
inline std::string VersionFrameCaption() {
    return "v " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + " (Build " +
           std::to_string(kVersionRevision) + ")";
}
// "1.0.4": the program's full version, as --version prints it and the manual pages name it.
inline std::string VersionNumberText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}
// "Version 1.0.4": the splash version label.
inline std::string SplashVersionText() {
    return "Version " + VersionNumberText();
}

}  // namespace orv
