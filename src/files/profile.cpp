#include "files/profile.h"

#include "base/numbers.h"

namespace orv {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

char FoldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    std::string_view s = Trim(line);
    if (s.empty() || s.front() != '[') return std::nullopt;
    s.remove_prefix(1);
    const std::size_t close = s.find(']');
    if (close != std::string_view::npos) s = s.substr(0, close);
    return Trim(s);
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

// A "key=value" line (a line without "=" is a key with an empty value); nullopt for blank lines
// and comments.
std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    const std::string_view s = Trim(line);
    if (s.empty() || s.front() == ';') return std::nullopt;
    const std::size_t eq = s.find('=');
    if (eq == std::string_view::npos) return KeyLine{s, {}};
    return KeyLine{Trim(s.substr(0, eq)), Trim(s.substr(eq + 1))};
}

std::string ValueAsRead(std::string_view raw) {
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    if (raw.size() > kProfileValueLimit) raw = raw.substr(0, kProfileValueLimit);
    return std::string(raw);
}

}  // namespace

ProfileDocument ProfileDocument::Parse(std::string_view bytes) {
    ProfileDocument doc;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t nl = bytes.find('\n', start);
        if (nl == std::string_view::npos) nl = bytes.size();
        std::string_view line = bytes.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        doc.lines_.emplace_back(line);
        start = nl + 1;
    }
    return doc;
}

std::optional<ProfileDocument::Span> ProfileDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (!name || !SameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end])) ++end;
        return Span{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> ProfileDocument::FindKeyLine(const Span& span,
                                                        std::string_view key) const {
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const auto kl = ParseKeyLine(lines_[i]);
        if (kl && SameName(kl->key, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
    const auto span = FindSection(section);
    if (!span) return std::nullopt;
    const auto line = FindKeyLine(*span, key);
    if (!line) return std::nullopt;
    return ValueAsRead(ParseKeyLine(lines_[*line])->value);
}

std::string ProfileDocument::Get(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    if (auto v = Find(section, key)) return std::move(*v);
    return std::string(defaultValue);
}

bool ProfileDocument::HasSection(std::string_view section) const {
    return FindSection(section).has_value();
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string safeValue(value);
    for (char& c : safeValue)
        if (c == '\r' || c == '\n') c = ' ';

    const auto span = FindSection(section);
    if (!span) {
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::string(key) + "=" + safeValue);
        return;
    }
    if (const auto line = FindKeyLine(*span, key)) {
        const std::string ownSpelling(ParseKeyLine(lines_[*line])->key);
        lines_[*line] = ownSpelling + "=" + safeValue;
        return;
    }
    // After the last non-blank line of the section, so blank lines separating it from the next
    // section stay where they are.
    std::size_t at = span->end;
    while (at > span->header + 1 && Trim(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  std::string(key) + "=" + safeValue);
}

std::string ProfileDocument::Serialize() const {
    std::size_t size = 0;
    for (const auto& l : lines_) size += l.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& l : lines_) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string ProfileGetItem(std::string_view section, std::string_view key,
                           std::string_view defaultValue, const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes).ok) return std::string(defaultValue);
    return ProfileDocument::Parse(bytes).Get(section, key, defaultValue);
}

FileIoResult ProfileWriteItem(std::string_view section, std::string_view key,
                              std::string_view value, const std::string& path) {
    std::string bytes;
    const FileIoResult read = ReadWholeFile(path, bytes);
    if (!read.ok && !read.missing) return read;
    ProfileDocument doc = ProfileDocument::Parse(bytes);
    doc.Set(section, key, value);
    return WriteFileAtomically(path, doc.Serialize());
}

}  // namespace orv
