// Profile (INI) files with the behaviour of the Windows private-profile functions, so that files
// written by the original platform open here and files written here read right there.
//
// Reading: "[name]" starts a section (name trimmed); section and key names match without regard
// to case and the first section (and first key) of a name wins; lines starting with ';' are
// comments; blanks around keys and values are trimmed and one matching pair of double or single
// quotes round a value is removed; at most 8192 characters of a value come back.
// Writing: an existing key's value is replaced where it stands under the file's own spelling of
// the key; a missing key goes to the end of its section, a missing section to the end of the
// file; every other line stays as it was. Lines end in CR LF (LF-only files read as well).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The longest value a read returns (the platform reader's buffer holds 8192 characters + NUL).
inline constexpr std::size_t kProfileValueLimit = 8192;

// A whole profile file held in memory: parse once, read and change values, serialise once.
class ProfileDocument {
  public:
    ProfileDocument() = default;
    static ProfileDocument Parse(std::string_view bytes);

    // The value of key in section, trimmed, unquoted and cut to kProfileValueLimit; nullopt when
    // the section or the key does not exist.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // Find, with a default for a missing section or key.
    std::string Get(std::string_view section, std::string_view key,
                    std::string_view defaultValue = {}) const;
    bool HasSection(std::string_view section) const;

    // Sets key=value in section. Line breaks in the value would split the line and corrupt the
    // file, so CR and LF are written as blanks.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes, every line ended by CR LF.
    std::string Serialize() const;

    const std::vector<std::string>& Lines() const { return lines_; }

  private:
    struct Span {
        std::size_t header;  // index of the "[name]" line
        std::size_t end;     // one past the last line of the section
    };
    std::optional<Span> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKeyLine(const Span& span, std::string_view key) const;

    std::vector<std::string> lines_;  // without line ends
};

// Outcome of a file system operation; error is a short reason ("permission denied").
struct FileIoResult {
    bool ok = false;
    bool missing = false;  // reading: the file does not exist
    std::string error;
    bool taken = false;  // writing a new file: the name is already taken
};

// Reads a whole file. Paths are UTF-8 (file_io_posix.cpp, file_io_win32.cpp).
FileIoResult ReadWholeFile(const std::string& path, std::string& bytes);

// Replaces the file's contents all at once: writes a temporary file in the same folder, flushes
// it to disk and renames it over the target (on Windows the system's replace-file call, which
// keeps the target's attributes), so the target is either the old or the new file and never
// half-written. A target that is read-only (no write permission bit, the Read-only attribute) is
// refused, as the platform refuses to write a read-only file.
FileIoResult WriteFileAtomically(const std::string& path, std::string_view bytes);

// Writes a file under a name nobody has: the contents go to a temporary file first and then take
// the name only if it is still free, in one step of the file system, so that two processes
// choosing the same name at once never replace each other's file (the loser gets taken = true)
// and nobody sees a half-written file under the name.
FileIoResult WriteNewFile(const std::string& path, std::string_view bytes);

// One-value conveniences over the file itself, as the platform's profile-string functions work.
std::string ProfileGetItem(std::string_view section, std::string_view key,
                           std::string_view defaultValue, const std::string& path);
FileIoResult ProfileWriteItem(std::string_view section, std::string_view key,
                              std::string_view value, const std::string& path);

}  // namespace orv
