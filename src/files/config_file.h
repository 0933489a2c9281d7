// Configuration files ("*.ORV"): the INI form with the sections "Version", "General", "Module"
// and "EEprom", the last holding the whole EEPROM image as 8192 hexadecimal digits.
//
// Opening reads and checks the whole file before anything changes, then decodes the image (the
// image layer); saving builds the image, refuses what the unit could not hold as shown, and
// replaces the file in one step. The profile layer (files/profile.h) keeps every other line of an
// existing file as it was; record_json.h is the record's JSON form for orv-cli.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "image/image.h"
#include "model/record.h"

namespace orv {

inline constexpr std::string_view kSectionVersion = "Version";
inline constexpr std::string_view kKeyProgram = "ORV Pro";
inline constexpr std::string_view kSectionGeneral = "General";
inline constexpr std::string_view kKeyVersionLine1 = "Version Line 1";
inline constexpr std::string_view kKeyVersionLine2 = "Version Line 2";
inline constexpr std::string_view kSectionModule = "Module";
inline constexpr std::string_view kSectionEEprom = "EEprom";
inline constexpr std::string_view kKeyContents = "Contents";
inline constexpr std::size_t kContentsDigits = 2 * kImageSize;  // 8192

// The file dialogs' filter and titles, for the window.
inline constexpr std::string_view kConfigFileFilter = "ORV (*.ORV)|*.ORV|All Files (*.*)|*.*";
inline constexpr std::string_view kOpenDialogTitle = "Open Configuration File";
inline constexpr std::string_view kSaveDialogTitle = "Save Configuration File";

// "Bank 1" .. "Bank 4" for bank 0..3.
std::string BankKey(int bank);

struct FilePathParts {
    std::string directory;  // up to and including the last separator, or empty
    std::string name;       // the rest
};
// Splits a full path at its last "\" or "/" (files from Windows carry "\").
FilePathParts SplitFilePath(std::string_view fullPath);

// The "Contents" text of an image: two upper-case hexadecimal digits per byte, no separators.
std::string ContentsText(const Image& image);

struct ReadConfigResult {
    bool ok = false;
    std::string error;                  // what is wrong and where, naming the file
    std::vector<std::string> warnings;  // taken over, but worth the user's attention
    DecodeResult decode;                // the decode and its closing size report (ok only)
};

// Opens a configuration file. Everything is read and checked before anything changes: on any
// failure the record, the module types and the image are exactly as they were. On success the
// version lines, the module types and the image are taken over and the image is decoded into the
// record (module types outside 0..15 are taken over with a warning).
ReadConfigResult ReadConfigFile(const std::string& path, ConfigRecord& rec,
                                ModuleTypes& moduleTypes, Image& image);

// The same from the file's bytes already in memory; path only names the file in messages.
ReadConfigResult ReadConfigText(std::string_view bytes, const std::string& path, ConfigRecord& rec,
                                ModuleTypes& moduleTypes, Image& image);

// The bytes of a saved file: existing (the old file's bytes, or empty) with the nine values set.
std::string ConfigFileText(std::string_view existing, std::string_view title,
                           const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                           const Image& image);

struct WriteConfigResult {
    bool ok = false;
    std::string error;
    std::vector<std::string> warnings;  // the build's warnings, notes and cautions
    BuildResult build;
};

// Called with an existing file's bytes and the bytes about to replace them, just before they do
// (to keep the old ones in the history).
using BeforeReplacing = std::function<void(std::string_view oldBytes, std::string_view newBytes)>;

// Builds the image and saves the configuration. A configuration that does not fit the unit or
// holds values the builder could not take as they are is refused, and the file is not touched;
// what the build only brought into the unit's form (its notes) is saved and listed.
// An existing file keeps its other sections and keys, in their order; the new contents replace
// the old in one step (never a half-written file). title is the "Version"/"ORV Pro" value.
WriteConfigResult WriteConfigFile(const std::string& path, ConfigRecord& rec,
                                  const ModuleTypes& moduleTypes, Image& image,
                                  std::string_view title,
                                  const BeforeReplacing& beforeReplacing = nullptr);
// The same, with the main window's caption as the title.
WriteConfigResult WriteConfigFile(const std::string& path, ConfigRecord& rec,
                                  const ModuleTypes& moduleTypes, Image& image);

}  // namespace orv
