#include "files/history.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#include "base/latin1.h"
#include "base/local_time.h"
#include "base/log.h"
#include "files/config_file.h"
#include "files/profile.h"
#include "files/record_json.h"
#include "model/fields.h"
#include "model/identity.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 inside the program, whatever the platform's own encoding.
fs::path PathOf(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string Utf8Of(const fs::path& path) {
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

constexpr std::string_view kExtension = ".ORV";
constexpr std::string_view kSidecarExtension = ".json";
constexpr std::size_t kStampLength = 19;  // "2026-12-08 14.03.22"
constexpr std::size_t kMaxSubject = 60;

// Longer names first where one begins with another ("write-unverified", "write").
constexpr std::array<std::string_view, 10> kEvents{
    history_event::kBeforeExit, history_event::kBeforeNew,       history_event::kBeforeClear,
    history_event::kBeforeOpen, history_event::kBeforeRead,      history_event::kBeforeSave,
    history_event::kRead,       history_event::kWriteUnverified, history_event::kWrite,
    history_event::kBackup};

std::string Stamp() {
    const std::tm local =
        LocalTime(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H.%M.%S", &local);
    return text;
}

// A subject that every file system takes as part of a name.
std::string SafeSubject(std::string_view subject, std::string_view fallback) {
    std::string out;
    for (char c : subject) {
        const auto u = static_cast<unsigned char>(c);
        const bool bad = u < 0x20 || u == 0x7F ||
                         std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
        out += bad ? '_' : c;
    }
    const auto first = out.find_first_not_of(" .");
    if (first == std::string::npos) return std::string(fallback);
    out.erase(0, first);
    if (out.size() > kMaxSubject) {
        std::size_t cut = kMaxSubject;  // never inside a UTF-8 sequence
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    out.erase(out.find_last_not_of(" .") + 1);
    return out;
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) return false;
    return std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// The parts of one of our names: stamp, event, subject and a " (n)" made when two copies fall
// into the same second.
struct NameParts {
    HistoryEntry entry;
    int sequence = 1;
};
std::optional<NameParts> ParseName(const std::string& fileName) {
    if (!EndsWithNoCase(fileName, kExtension) || fileName.size() < kStampLength + 2) return {};
    std::string_view rest(fileName);
    rest.remove_suffix(kExtension.size());
    NameParts p;
    std::string stamp(rest.substr(0, kStampLength));
    if (stamp[4] != '-' || stamp[7] != '-' || stamp[10] != ' ' || stamp[13] != '.' ||
        stamp[16] != '.' || rest[kStampLength] != ' ')
        return {};
    p.entry.fileName = fileName;
    p.entry.time = stamp.replace(13, 1, ":").replace(16, 1, ":");
    rest.remove_prefix(kStampLength + 1);
    if (rest.ends_with(")")) {
        const auto open = rest.rfind(" (");
        if (open != std::string_view::npos) {
            const std::string_view digits = rest.substr(open + 2, rest.size() - open - 3);
            if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos &&
                digits.size() < 6) {
                p.sequence = std::stoi(std::string(digits));
                rest = rest.substr(0, open);
            }
        }
    }
    for (std::string_view e : kEvents) {
        if (rest.starts_with(e) && (rest.size() == e.size() || rest[e.size()] == ' ')) {
            p.entry.event = e;
            rest.remove_prefix(std::min(rest.size(), e.size() + 1));
            break;
        }
    }
    p.entry.subject = rest;
    return p;
}

// Our copies in a folder, newest first; a " (n)" copy is newer than the one made before it in
// the same second.
std::vector<NameParts> ListParts(const std::string& folder) {
    std::vector<NameParts> found;
    std::error_code ec;
    for (fs::directory_iterator it(PathOf(folder), ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        auto parts = ParseName(Utf8Of(it->path().filename()));
        if (!parts) continue;
        parts->entry.path = Utf8Of(it->path());
        found.push_back(std::move(*parts));
    }
    std::sort(found.begin(), found.end(), [](const NameParts& a, const NameParts& b) {
        if (a.entry.time != b.entry.time) return a.entry.time > b.entry.time;
        if (a.sequence != b.sequence) return a.sequence > b.sequence;
        return a.entry.fileName > b.entry.fileName;
    });
    return found;
}

}  // namespace

std::string DefaultHistoryFolder() {
#ifdef _WIN32
    const char* base = std::getenv("LOCALAPPDATA");
    if (base && *base) return Utf8Of(PathOf(base) / "orv-config" / "history");
    return Utf8Of(PathOf("orv-config") / "history");
#else
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return Utf8Of(PathOf(xdg) / "orv-config" / "history");
    const char* home = std::getenv("HOME");
    return Utf8Of(PathOf(home && *home ? home : ".") / ".local" / "share" / "orv-config" /
                  "history");
#endif
}

History::History(std::string folder, std::size_t keep) : folder_(std::move(folder)), keep_(keep) {}

HistoryCopy History::KeepImage(std::string_view event, std::string_view subject,
                               const std::array<std::string, 2>& versionLines,
                               const ModuleTypes& moduleTypes, const Image& image) {
    ConfigRecord versions;
    versions.txtVer = versionLines;
    return Write(event, subject,
                 ConfigFileText({}, MainWindowCaption(), versions, moduleTypes, image), nullptr);
}

HistoryCopy History::KeepRecord(std::string_view event, std::string_view subject,
                                const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                                const Image& image) {
    ConfigRecord built = rec;
    Image builtImage = image;
    const BuildResult build = BuildImage(built, moduleTypes, builtImage);
    const std::string text =
        ConfigFileText({}, MainWindowCaption(), built, moduleTypes, builtImage);
    if (build.fits && build.warnings.empty()) return Write(event, subject, text, nullptr);
    // The image cannot hold what was typed; the record as JSON can.
    const std::string json = RecordToJson(rec, moduleTypes).dump(2) + "\n";
    return Write(event, subject, text, &json);
}

HistoryCopy History::Write(std::string_view event, std::string_view subject,
                           const std::string& text, const std::string* json) {
    HistoryCopy copy;
    std::error_code ec;
    const fs::path folder = PathOf(folder_);
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        copy.error = "Cannot keep a copy in the history folder " + folder_ + ": " +
                     (ec ? ec.message() : std::string("it is not a folder")) + ".";
        return copy;
    }
    const std::string stamp = Stamp();
    const std::string stem =
        stamp + " " + std::string(event) + " " + SafeSubject(subject, "untitled");
    // Copies made within one second are numbered on from the newest of that second, so that a
    // name freed by pruning is never reused for a newer copy.
    int sequence = 1;
    const std::vector<NameParts> existing = ListParts(folder_);
    if (!existing.empty() && existing.front().entry.fileName.starts_with(stamp))
        sequence = existing.front().sequence + 1;
    auto nameFor = [&](int n) {
        return stem + (n > 1 ? " (" + std::to_string(n) + ")" : std::string()) +
               std::string(kExtension);
    };
    std::string name = nameFor(sequence);
    while (fs::exists(folder / PathOf(name), ec) && sequence < 100000) name = nameFor(++sequence);
    const fs::path path = folder / PathOf(name);
    if (const FileIoResult io = WriteFileAtomically(Utf8Of(path), text); !io.ok) {
        copy.error = "Cannot keep a copy in the history folder " + folder_ + ": " + io.error + ".";
        return copy;
    }
    if (json) {
        fs::path sidecar = path;
        sidecar.replace_extension(PathOf(kSidecarExtension));
        if (const FileIoResult io = WriteFileAtomically(Utf8Of(sidecar), *json); !io.ok) {
            copy.error =
                "Cannot keep the record beside the copy " + Utf8Of(path) + ": " + io.error + ".";
            return copy;
        }
    }
    copy.ok = true;
    copy.path = Utf8Of(path);
    LogLine("++ Kept a copy in " + copy.path, true);
    Prune();
    return copy;
}

std::vector<HistoryEntry> History::List() const {
    std::vector<HistoryEntry> entries;
    for (auto& p : ListParts(folder_)) entries.push_back(std::move(p.entry));
    return entries;
}

void History::Prune() {
    const std::vector<HistoryEntry> entries = List();
    std::error_code ec;
    for (std::size_t k = keep_; k < entries.size(); ++k) {
        fs::path path = PathOf(entries[k].path);
        fs::remove(path, ec);
        fs::remove(path.replace_extension(PathOf(kSidecarExtension)), ec);
    }
}

std::optional<HistoryEntry> NewestUnitCopy(const History& history) {
    for (HistoryEntry& e : history.List())
        if (e.event == history_event::kRead || e.event == history_event::kBackup) return e;
    return std::nullopt;
}

std::string UnitSubject(const std::array<std::string, 2>& versionLines) {
    return SafeSubject(Latin1ToUtf8(versionLines[0]), "unit");  // record bytes are Latin-1
}

std::string FileSubject(std::string_view fileName) {
    if (EndsWithNoCase(fileName, kExtension)) fileName.remove_suffix(kExtension.size());
    return SafeSubject(fileName, "untitled");
}

bool SameConfiguration(const ConfigRecord& a, const ModuleTypes& aTypes, const ConfigRecord& b,
                       const ModuleTypes& bTypes) {
    if (aTypes != bTypes) return false;
    // Both as a Size, Save or Write would build them: what that normalising changes (bank rules,
    // message blanks, times to their steps) changes nothing the unit keeps.
    ConfigRecord builtA = a, builtB = b;
    Image imageA{}, imageB{};
    const BuildResult ra = BuildImage(builtA, aTypes, imageA);
    const BuildResult rb = BuildImage(builtB, bTypes, imageB);
    if (ra.fits && rb.fits && ra.warnings.empty() && rb.warnings.empty()) {
        // What the unit would store, and what the files keep beside it: the version lines and
        // the measured pulse times, which no image holds.
        return imageA == imageB && builtA.txtVer == builtB.txtVer &&
               builtA.txtFastOne == builtB.txtFastOne && builtA.txtFastZero == builtB.txtFastZero &&
               builtA.txtSlowOne == builtB.txtSlowOne && builtA.txtSlowZero == builtB.txtSlowZero;
    }
    // A value the image cannot hold as typed: the typed value itself counts.
    bool same = true;
    ForEachRecordField([&](const auto& field) {
        if (field.scope != FieldScope::kConfiguration) return;
        if (SameMember(field.member, &ConfigRecord::txtDict)) return;
        if (!(builtA.*field.member == builtB.*field.member)) same = false;
    });
    return same;
}

}  // namespace orv
