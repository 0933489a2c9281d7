// The history: every configuration that could be lost, kept as an ordinary ".ORV" file that opens
// like any other. A copy is written after every Read (what the unit held) and every Write (what
// was sent), and before anything replaces a configuration that differs from what was last opened,
// saved, read or started with, so that leaving, New, Clear Form, Open and Read never lose work
// although they do not ask. The newest copies are kept and older ones deleted. Writing a copy
// never stops the action it belongs to; the caller tells the user once when it fails.
//
// Names: "<date> <time> <event> <subject>.ORV" in local time, e.g. "2026-12-08 14.03.22 read
// ORV-PRO V2.13.ORV", with " (2)", " (3)" ... for further copies in the same second. A name is
// claimed exclusively, so copies made at once by several programs never replace each other.
// Copies rank by when they were made: first those this History made, newest first, then the
// others by the time their file was written (not by the local time in their names, which a
// clock set back or a time-zone change would reorder). Pruning never deletes a copy made by this
// History (the running program) nor the newest copy of each unit, even where the folder then
// holds more than the limit; it deletes the oldest of the others. A subject that ends as a
// number does, "pump (2)", is always followed by its copy's own number, "pump (2) (1)".
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "image/image.h"
#include "model/record.h"

namespace orv {

inline constexpr std::size_t kHistoryKeep = 1000;

// What happened, as the copy's name says it.
namespace history_event {
inline constexpr std::string_view kRead = "read";    // after a Read: what the unit held
inline constexpr std::string_view kWrite = "write";  // after a Write: what was sent
inline constexpr std::string_view kBeforeExit = "before exit";
inline constexpr std::string_view kBeforeNew = "before new";
inline constexpr std::string_view kBeforeClear = "before clear form";
inline constexpr std::string_view kBeforeOpen = "before open";
inline constexpr std::string_view kBeforeRead = "before read";
inline constexpr std::string_view kBackup = "backup";  // the unit, read before a Write
// after a Write whose read-back differed or did not complete: what was sent, not known to be held
inline constexpr std::string_view kWriteUnverified = "write-unverified";
// before Save (or an orv-cli output) replaces an existing file with other contents: the old file
inline constexpr std::string_view kBeforeSave = "before save";
}  // namespace history_event

// $XDG_DATA_HOME/orv-config/history, by default ~/.local/share/orv-config/history; on Windows
// %LOCALAPPDATA%\orv-config\history.
std::string DefaultHistoryFolder();

struct HistoryCopy {
    bool ok = false;
    std::string path;   // the copy, when written; empty when there was nothing to keep
    std::string error;  // why it could not be written, naming the folder
};

struct HistoryEntry {
    std::string path;      // full path of the .ORV file
    std::string fileName;  // "2026-12-08 14.03.22 read ORV-PRO V2.13.ORV"
    std::string time;      // "2026-12-08 14:03:22"
    std::string event;     // "read", "before new", ... (empty when the name is not one of ours)
    std::string subject;   // "ORV-PRO V2.13", "site", "untitled"
};

class History {
  public:
    explicit History(std::string folder = DefaultHistoryFolder(), std::size_t keep = kHistoryKeep);

    const std::string& folder() const { return folder_; }

    // An image exactly as it is, with its version lines and module types: what the unit held, what
    // was sent to it. Nothing is built.
    HistoryCopy KeepImage(std::string_view event, std::string_view subject,
                          const std::array<std::string, 2>& versionLines,
                          const ModuleTypes& moduleTypes, const Image& image);

    // What the editor holds, as Save would write it; the record and the image are not touched (the
    // build runs on copies). When the build had to adjust values, or the configuration does not
    // fit the unit, the record also goes beside the copy as JSON ("<same name>.json", the form
    // orv-cli import reads), so that nothing typed is lost.
    HistoryCopy KeepRecord(std::string_view event, std::string_view subject,
                           const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                           const Image& image);

    // What a unit held, read just before a Write or to keep it ("backup", named by the unit's
    // name where it has one, else by its first version line). Fails unless the copy is on disk
    // afterwards: a Write must not go on trusting a backup that is gone.
    HistoryCopy KeepBackup(const std::array<std::string, 2>& versionLines,
                           const ModuleTypes& moduleTypes, const Image& image,
                           std::string_view unitName = {});

    // Before a save replaces an existing file: its old bytes, kept exactly as they were ("before
    // save"), unless they open as the same configuration as newBytes (the unit's fields, module
    // types, version lines and the bytes the editor carries; not the dictionary or the title), so
    // that saving the same thing again keeps nothing. A file that does not open as a
    // configuration is kept too. ok with an empty path: nothing needed keeping.
    HistoryCopy KeepBeforeSave(std::string_view subject, std::string_view oldBytes,
                               std::string_view newBytes);

    // The copies in the folder, newest first.
    std::vector<HistoryEntry> List() const;

    // The copies this History made, and how many the folder held after the last one was made:
    // more than the limit when this History's own copies and each unit's newest need it.
    std::size_t CopiesMade() const { return madeHere_.size(); }
    std::size_t LastCount() const { return lastCount_; }
    std::size_t Limit() const { return keep_; }

  private:
    HistoryCopy Write(std::string_view event, std::string_view subject, const std::string& text,
                      const std::string* json);
    void Prune();
    // Who a copy is of, for keeping each unit's newest copy: "mac 50:46:4A:01:02:03" for a copy
    // of what a unit held that holds the unit's own address, otherwise "name " and the subject
    // in lower case; "" for copies that are not of a unit (before save, before open...).
    std::string UnitKey(const HistoryEntry& entry);

    std::string folder_;
    std::size_t keep_;
    std::vector<std::string> madeHere_;  // file names of the copies this History made, in order
    std::unordered_map<std::string, std::size_t> madeAt_;    // the same: name -> position
    std::unordered_map<std::string, std::string> unitKeys_;  // file name -> UnitKey, once read
    std::size_t lastCount_ = 0;
};

// The MAC address an image holds when it is a unit's own ("50:46:4A:01:02:03"): not blank and
// not the editor's default, which every unit holds until its address is programmed.
std::optional<std::string> OwnMacAddress(const Image& image);

// The newest copy of what a unit held (after a Read, or a backup before a Write), if any; with
// ofUnit, the newest it accepts (files/unit_copies.h tells one unit's copies from another's).
std::optional<HistoryEntry> NewestUnitCopy(
    const History& history, const std::function<bool(const HistoryEntry&)>& ofUnit = nullptr);

// The subject of a copy of the unit's configuration: its first version line (record bytes), or
// "unit". Subjects are UTF-8, cut to 60 characters (and 120 bytes), with control characters (C0
// and C1) and what no file system takes in a name replaced by "_".
std::string UnitSubject(const std::array<std::string, 2>& versionLines);
// The subject of a copy of what the editor holds: its file name (UTF-8) without ".ORV", or
// "untitled". A history copy's own name is not nested into the new one: the subject is the
// original's, followed by where it came from, "untitled (from 2026-12-08 23.14.31 write)"; a
// subject that already says where it came from is kept as it is.
std::string FileSubject(std::string_view fileName);

// Whether two records hold the same configuration: what the unit would store (each built as a
// Write builds it, so Size's normalising is no change), the version lines, the measured pulse
// times and the module types; not the editor's own PC link settings or file name. Where a build
// cannot store a value as typed, the typed values of the unit's fields are compared instead. A
// change typed and typed back is no change.
bool SameConfiguration(const ConfigRecord& a, const ModuleTypes& aTypes, const ConfigRecord& b,
                       const ModuleTypes& bTypes);

}  // namespace orv
