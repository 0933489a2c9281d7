#include "files/unit_copies.h"

#include <algorithm>
#include <filesystem>

#include "files/config_file.h"
#include "files/profile.h"

namespace orv {
namespace {

constexpr UnitMac kStartingMac{0x50, 0x46, 0x4A, 0x00, 0x00, 0x00};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string FileNameOf(const std::string& utf8Path) {
    const std::filesystem::path p(std::u8string(utf8Path.begin(), utf8Path.end()));
    const std::u8string name = p.filename().u8string();
    return std::string(name.begin(), name.end());
}

}  // namespace

std::optional<UnitMac> OwnUnitMac(const Image& image) {
    UnitMac mac{};
    std::copy_n(image.begin() + kMacAddress, mac.size(), mac.begin());
    const auto all = [&mac](std::uint8_t v) {
        return std::all_of(mac.begin(), mac.end(), [v](std::uint8_t b) { return b == v; });
    };
    if (all(0x00) || all(0xFF) || mac == kStartingMac) return std::nullopt;
    return mac;
}

std::optional<UnitMac> OwnUnitMacOfFile(const std::string& path) {
    // Only the MAC block's digits are needed: no decode of the whole configuration.
    std::string bytes;
    if (!ReadWholeFile(path, bytes).ok) return std::nullopt;
    const std::string contents =
        ProfileDocument::Parse(bytes).Get(kSectionEEprom, kKeyContents, "");
    if (contents.size() != kContentsDigits) return std::nullopt;
    Image image{};
    for (int k = 0; k < 6; ++k) {
        const int high = HexDigit(contents[2 * (kMacAddress + k)]);
        const int low = HexDigit(contents[2 * (kMacAddress + k) + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        image[kMacAddress + k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return OwnUnitMac(image);
}

void UnitCopies::Took(const std::string& path, const std::string& device,
                      const std::array<std::string, 2>& versionLines, const Image& image) {
    // Without a copy (Compare with Unit) the unit's MAC address is still learnt.
    taken_.push_back({path.empty() ? std::string() : FileNameOf(path), device, versionLines,
                      OwnUnitMac(image), connection_});
}

std::optional<HistoryEntry> UnitCopies::Find(const History& history, const std::string& device,
                                             const std::array<std::string, 2>& versionLines) const {
    // The unit's own MAC address, read from it whole during this connection.
    std::optional<UnitMac> mac;
    for (auto t = taken_.rbegin(); t != taken_.rend() && !mac; ++t)
        if (t->connection == connection_ && t->device == device) mac = t->mac;
    if (mac)
        return NewestUnitCopy(
            history, [&mac](const HistoryEntry& e) { return OwnUnitMacOfFile(e.path) == mac; });
    return NewestUnitCopy(history, [&](const HistoryEntry& e) {
        return std::any_of(taken_.begin(), taken_.end(), [&](const Taken& t) {
            return !t.fileName.empty() && t.fileName == e.fileName && t.device == device &&
                   t.versionLines == versionLines;
        });
    });
}

}  // namespace orv
