// Which copy in the history holds what one particular unit held: the copy named for going back
// when a Write stops half way. Units with the same firmware report the same version lines, so a
// unit is known by its MAC address as read from it (image bytes 3840..3845) where it has one of
// its own; without one, only by the copies this run took from the same port while the unit
// reported the same version lines.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "files/history.h"
#include "image/image.h"

namespace orv {

using UnitMac = std::array<std::uint8_t, 6>;

// The MAC address an image read from a unit holds, when it is the unit's own: not blank (all
// 0x00 or all 0xFF) and not the editor's starting address 50:46:4A:00:00:00, which a unit holds
// until its address is programmed.
std::optional<UnitMac> OwnUnitMac(const Image& image);

// The MAC address a configuration file's image holds, when it is a unit's own (nothing when the
// file cannot be read).
std::optional<UnitMac> OwnUnitMacOfFile(const std::string& path);

// The copies of units that one run of a program took, and where each came from.
class UnitCopies {
  public:
    // A new connection to a unit: a MAC address read before may be another unit's.
    void Connected() { ++connection_; }
    // A copy at path of what the unit on device held, read from it whole (after a Read, or a
    // backup before a Write), with the version lines the unit reported. An empty path: the unit
    // was read whole but not kept (Compare with Unit), which still tells its MAC address.
    void Took(const std::string& path, const std::string& device,
              const std::array<std::string, 2>& versionLines, const Image& image);
    // The newest copy in history of the unit connected on device that reports versionLines: by
    // the MAC address read from it during this connection, else among this run's copies from
    // the same device with the same version lines. Nothing when no copy is of that unit.
    std::optional<HistoryEntry> Find(const History& history, const std::string& device,
                                     const std::array<std::string, 2>& versionLines) const;

  private:
    struct Taken {
        std::string fileName;
        std::string device;
        std::array<std::string, 2> versionLines;
        std::optional<UnitMac> mac;
        int connection = 0;
    };
    std::vector<Taken> taken_;
    int connection_ = 0;
};

}  // namespace orv
