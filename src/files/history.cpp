#include "files/history.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <unordered_map>

#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <shlobj.h>
#endif

#include "base/hex.h"
#include "base/latin1.h"
#include "base/local_time.h"
#include "base/log.h"
#include "base/numbers.h"
#include "files/config_file.h"
#include "files/profile.h"
#include "files/record_json.h"
#include "image/layout.h"
#include "model/defaults.h"
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
// The end of a subject that names the copy it was taken from (FileSubject), at most this long.
constexpr std::string_view kOriginOpen = " (from ";
constexpr std::size_t kMaxOrigin =
    kOriginOpen.size() + kStampLength + 1 + history_event::kBeforeClear.size() + 1;

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

// A subject that every file system takes as part of a name: at most maxChars characters, and 60
// bytes more than that (60 letters beyond ASCII fit, and a name stays within every file system's
// limit of 255).
std::string SafeSubject(std::string_view subject, std::string_view fallback,
                        std::size_t maxChars = kMaxSubject) {
    std::string out;
    for (std::size_t k = 0; k < subject.size(); ++k) {
        const char c = subject[k];
        const auto u = static_cast<unsigned char>(c);
        // C1 controls (U+0080..U+009F, what a Latin-1 line's bytes 0x80..0x9F become) act on a
        // terminal as the C0 ones do: neither belongs in a name.
        if (u == 0xC2 && k + 1 < subject.size() &&
            (static_cast<unsigned char>(subject[k + 1]) & 0xE0) == 0x80) {
            out += '_';
            ++k;
            continue;
        }
        const bool bad = u < 0x20 || u == 0x7F ||
                         std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
        out += bad ? '_' : c;
    }
    const auto first = out.find_first_not_of(" .");
    if (first == std::string::npos) return std::string(fallback);
    out.erase(0, first);
    // Never inside a UTF-8 sequence: the cut falls before a character.
    std::size_t chars = 0, cut = 0;
    while (cut < out.size() && chars < maxChars) {
        std::size_t next = cut + 1;
        while (next < out.size() && (static_cast<unsigned char>(out[next]) & 0xC0) == 0x80) ++next;
        if (next > maxChars + kMaxSubject) break;
        cut = next;
        ++chars;
    }
    out.resize(cut);
    out.erase(out.find_last_not_of(" .") + 1);
    return out;
}

// Whether a subject ends as our names end when two copies fall into one second, " (2)": its copy
// then always carries its own number, so that "pump (2)" is never read as the second "pump".
bool EndsLikeSequence(std::string_view subject) {
    if (!subject.ends_with(")")) return false;
    const auto open = subject.rfind(" (");
    if (open == std::string_view::npos) return false;
    const std::string_view digits = subject.substr(open + 2, subject.size() - open - 3);
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
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
bool IsStamp(std::string_view stamp) {
    if (stamp.size() != kStampLength) return false;
    for (std::size_t k = 0; k < kStampLength; ++k) {
        const char want = k == 4 || k == 7 ? '-' : k == 10 ? ' ' : k == 13 || k == 16 ? '.' : '0';
        if (want == '0' ? !std::isdigit(static_cast<unsigned char>(stamp[k])) : stamp[k] != want)
            return false;
    }
    return true;
}

std::optional<NameParts> ParseName(const std::string& fileName) {
    if (!EndsWithNoCase(fileName, kExtension)) return {};
    std::string_view rest(fileName);
    rest.remove_suffix(kExtension.size());
    // The stamp and the blank after it, at the least.
    if (rest.size() <= kStampLength || !IsStamp(rest.substr(0, kStampLength)) ||
        rest[kStampLength] != ' ')
        return {};
    NameParts p;
    std::string stamp(rest.substr(0, kStampLength));
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

// Our copies in a folder, newest first: those made by this History (madeHere, oldest first)
// before any other, newest first; then by the time the file was written, then by the name's
// stamp, a " (n)" copy newer than the one made before it in the same second.
std::vector<NameParts> ListParts(const std::string& folder,
                                 const std::unordered_map<std::string, std::size_t>& madeHere) {
    struct Ranked {
        NameParts parts;
        std::ptrdiff_t made;  // position in madeHere, -1 for copies made elsewhere
        fs::file_time_type written;
    };
    std::vector<Ranked> found;
    std::error_code ec;
    for (fs::directory_iterator it(PathOf(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc)) continue;
        auto parts = ParseName(Utf8Of(it->path().filename()));
        if (!parts) continue;
        parts->entry.path = Utf8Of(it->path());
        const auto at = madeHere.find(parts->entry.fileName);
        const fs::file_time_type written = it->last_write_time(fileEc);
        found.push_back({std::move(*parts),
                         at == madeHere.end() ? -1 : static_cast<std::ptrdiff_t>(at->second),
                         fileEc ? fs::file_time_type::min() : written});
    }
    std::sort(found.begin(), found.end(), [](const Ranked& a, const Ranked& b) {
        if (a.made != b.made) return a.made > b.made;
        if (a.written != b.written) return a.written > b.written;
        if (a.parts.entry.time != b.parts.entry.time)
            return a.parts.entry.time > b.parts.entry.time;
        if (a.parts.sequence != b.parts.sequence) return a.parts.sequence > b.parts.sequence;
        return a.parts.entry.fileName > b.parts.entry.fileName;
    });
    std::vector<NameParts> out;
    out.reserve(found.size());
    for (Ranked& r : found) out.push_back(std::move(r.parts));
    return out;
}

// The names of our copies in a folder, unsorted and without a look at each file: enough to
// count them or to number a new one.
std::vector<NameParts> ListNames(const std::string& folder) {
    std::vector<NameParts> out;
    std::error_code ec;
    for (fs::directory_iterator it(PathOf(folder), ec), end; !ec && it != end; it.increment(ec))
        if (auto parts = ParseName(Utf8Of(it->path().filename()))) out.push_back(std::move(*parts));
    return out;
}

// The MAC address a copy's image holds, read from its file; nullopt when it does not open.
std::optional<Image> ImageOfCopy(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes).ok) return std::nullopt;
    const auto contents = ProfileDocument::Parse(bytes).Find(kSectionEEprom, kKeyContents);
    if (!contents || contents->size() < 2 * (kMacAddress + 6)) return std::nullopt;
    Image image{};
    for (int k = 0; k < 6; ++k) {
        const auto v = ParseDigits(contents->substr(2 * (kMacAddress + k), 2), 16, 0xFF);
        if (!v) return std::nullopt;
        image[kMacAddress + k] = static_cast<std::uint8_t>(*v);
    }
    return image;
}

bool IsUnitCopyEvent(std::string_view event) {
    return event == history_event::kRead || event == history_event::kBackup;
}
bool IsWriteEvent(std::string_view event) {
    return event == history_event::kWrite || event == history_event::kWriteUnverified;
}

std::string LowerText(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Whether a history copy's subject ends with where it came from:
// " (from 2026-12-08 23.14.31 write)".
bool EndsWithOrigin(std::string_view subject) {
    const auto open = subject.rfind(kOriginOpen);
    if (open == std::string_view::npos || !subject.ends_with(")")) return false;
    std::string_view inner = subject.substr(open + kOriginOpen.size());
    inner.remove_suffix(1);
    if (inner.size() <= kStampLength || !IsStamp(inner.substr(0, kStampLength)) ||
        inner[kStampLength] != ' ')
        return false;
    inner.remove_prefix(kStampLength + 1);
    return std::find(kEvents.begin(), kEvents.end(), inner) != kEvents.end();
}

// What a file opens as, for telling whether two files hold the same configuration: the record
// as JSON with the bytes the editor carries, without the dictionary (each build chooses it
// afresh). Nothing when the bytes do not open as a configuration.
std::optional<nlohmann::ordered_json> OpenedAs(std::string_view bytes) {
    StartupState s = MakeStartupState();
    Image image{};
    if (!ReadConfigText(bytes, {}, s.rec, s.moduleTypes, image).ok) return std::nullopt;
    nlohmann::ordered_json j = RecordToJson(s.rec, s.moduleTypes, &image);
    j.erase("txtDict");
    return j;
}

}  // namespace

std::string DefaultHistoryFolder() {
#ifdef _WIN32
    // Asked in wide characters: the narrow environment is in the ANSI code page, which cannot
    // hold every letter of a user's name and is not UTF-8 either.
    std::wstring base;
    if (const wchar_t* set = _wgetenv(L"LOCALAPPDATA"); set && *set) {
        base = set;
    } else {
        // The shell's own answer when the variable is missing (this call needs no DLL beyond
        // shell32, which every Windows has).
        wchar_t known[MAX_PATH] = {};
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, known)))
            base = known;
    }
    if (!base.empty()) return Utf8Of(fs::path(base) / "orv-config" / "history");
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
    // The image cannot hold what was typed; the record as JSON can, with the bytes the editor
    // carries, as orv-cli export writes it.
    const std::string json = RecordToJson(rec, moduleTypes, &image).dump(2) + "\n";
    return Write(event, subject, text, &json);
}

HistoryCopy History::KeepBackup(const std::array<std::string, 2>& versionLines,
                                const ModuleTypes& moduleTypes, const Image& image,
                                std::string_view unitName) {
    HistoryCopy copy =
        KeepImage(history_event::kBackup,
                  unitName.empty() ? UnitSubject(versionLines) : SafeSubject(unitName, "unit"),
                  versionLines, moduleTypes, image);
    std::error_code ec;
    if (copy.ok && !fs::is_regular_file(PathOf(copy.path), ec)) {
        copy.ok = false;
        copy.error = "The backup " + copy.path +
                     " is no longer in the history folder: it was removed as soon as it was "
                     "written.";
    }
    return copy;
}

HistoryCopy History::KeepBeforeSave(std::string_view subject, std::string_view oldBytes,
                                    std::string_view newBytes) {
    if (oldBytes == newBytes) return HistoryCopy{true, {}, {}};
    const auto before = OpenedAs(oldBytes);
    if (before && before == OpenedAs(newBytes)) return HistoryCopy{true, {}, {}};
    return Write(history_event::kBeforeSave, subject, std::string(oldBytes), nullptr);
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
    // A subject may say which copy it came from beyond the usual length (FileSubject).
    const std::string safe = SafeSubject(subject, "untitled", kMaxSubject + kMaxOrigin);
    const std::string stem = stamp + " " + std::string(event) + " " + safe;
    // Copies made within one second are numbered on from the highest number of that second, so
    // that a name freed by pruning is never reused for a newer copy. Another program may take a
    // name between the look and the write: the name is claimed exclusively, and a taken one
    // means the next number.
    int sequence = 1;
    for (const NameParts& p : ListNames(folder_))
        if (p.entry.fileName.starts_with(stamp)) sequence = std::max(sequence, p.sequence + 1);
    const bool numbered = EndsLikeSequence(safe);
    auto nameFor = [&](int n) {
        return stem + (n > 1 || numbered ? " (" + std::to_string(n) + ")" : std::string()) +
               std::string(kExtension);
    };
    fs::path path;
    for (;; ++sequence) {
        const std::string name = nameFor(sequence);
        path = folder / PathOf(name);
        const FileIoResult io = WriteNewFile(Utf8Of(path), text);
        if (io.ok) {
            madeAt_.emplace(name, madeHere_.size());
            madeHere_.push_back(name);
            break;
        }
        if (!io.taken || sequence >= 100000) {
            copy.error =
                "Cannot keep a copy in the history folder " + folder_ + ": " + io.error + ".";
            return copy;
        }
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
    for (auto& p : ListParts(folder_, madeAt_)) entries.push_back(std::move(p.entry));
    return entries;
}

std::string History::UnitKey(const HistoryEntry& entry) {
    if (IsWriteEvent(entry.event)) return "name " + LowerText(entry.subject);
    if (!IsUnitCopyEvent(entry.event)) return {};
    if (const auto known = unitKeys_.find(entry.fileName); known != unitKeys_.end())
        return known->second;
    const auto image = ImageOfCopy(entry.path);
    const auto mac = image ? OwnMacAddress(*image) : std::nullopt;
    std::string key = mac ? "mac " + *mac : "name " + LowerText(entry.subject);
    unitKeys_.emplace(entry.fileName, key);
    return key;
}

void History::Prune() {
    const std::size_t keep = std::max<std::size_t>(keep_, 1);
    if (const std::size_t count = ListNames(folder_).size(); count <= keep) {
        lastCount_ = count;
        return;
    }
    // The copies made here rank first, the newest before them all; whatever the clocks say, the
    // copies pruned are the others, the oldest first. Never pruned: a copy made here, and the
    // newest copy of each unit (a unit's only copy may be months old: it says when the unit was
    // last read), even where that keeps more than the limit.
    std::set<std::string> units;
    std::size_t kept = 0;
    std::error_code ec;
    for (const NameParts& p : ListParts(folder_, madeAt_)) {
        const HistoryEntry& e = p.entry;
        const std::string unit = UnitKey(e);
        const bool newestOfUnit = !unit.empty() && units.insert(unit).second;
        if (madeAt_.contains(e.fileName) || newestOfUnit || kept < keep) {
            ++kept;
            continue;
        }
        fs::path path = PathOf(e.path);
        fs::remove(path, ec);
        fs::remove(path.replace_extension(PathOf(kSidecarExtension)), ec);
        unitKeys_.erase(e.fileName);
    }
    lastCount_ = kept;
}

std::optional<std::string> OwnMacAddress(const Image& image) {
    std::string mac;
    for (int k = 0; k < 6; ++k) mac += (k ? ":" : "") + HexString(image[kMacAddress + k], 2);
    if (mac == "00:00:00:00:00:00" || mac == "FF:FF:FF:FF:FF:FF" || mac == "50:46:4A:00:00:00")
        return std::nullopt;
    return mac;
}

std::optional<HistoryEntry> NewestUnitCopy(const History& history,
                                           const std::function<bool(const HistoryEntry&)>& ofUnit) {
    for (HistoryEntry& e : history.List())
        if ((e.event == history_event::kRead || e.event == history_event::kBackup) &&
            (!ofUnit || ofUnit(e)))
            return e;
    return std::nullopt;
}

std::string UnitSubject(const std::array<std::string, 2>& versionLines) {
    return SafeSubject(Latin1ToUtf8(versionLines[0]), "unit");  // record bytes are Latin-1
}

std::string FileSubject(std::string_view fileName) {
    if (const auto parts = ParseName(std::string(fileName)); parts && !parts->entry.event.empty()) {
        // A history copy: the original's subject, and where it came from unless it says so.
        const std::string& subject = parts->entry.subject;
        if (EndsWithOrigin(subject))
            return SafeSubject(subject, "untitled", kMaxSubject + kMaxOrigin);
        return SafeSubject(subject, "untitled") + std::string(kOriginOpen) +
               std::string(fileName.substr(0, kStampLength)) + " " + parts->entry.event + ")";
    }
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
