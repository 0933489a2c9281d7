// Configurations as a file open leaves them, for the report, diff and table tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "files/config_file.h"
#include "image/image.h"
#include "model/defaults.h"
#include "model/identity.h"

namespace orv {

struct Opened {
    StartupState s = MakeStartupState();
    Image image{};
};

// The default configuration with these module types, saved and opened again.
inline Opened OpenedDefaults(const ModuleTypes& types) {
    Opened src;
    src.s.moduleTypes = types;
    BuildImage(src.s.rec, src.s.moduleTypes, src.image);
    const std::string text =
        ConfigFileText("", MainWindowCaption(), src.s.rec, src.s.moduleTypes, src.image);
    Opened out;
    ReadConfigText(text, "test.ORV", out.s.rec, out.s.moduleTypes, out.image);
    return out;
}

// The bytes of the file Save would write for this state.
inline std::string SavedText(Opened& o) {
    BuildImage(o.s.rec, o.s.moduleTypes, o.image);
    return ConfigFileText("", MainWindowCaption(), o.s.rec, o.s.moduleTypes, o.image);
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace orv
