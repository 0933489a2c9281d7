// What the simulated unit does with the bytes it receives: the protocol side of the unit, with
// fault injection, free of any I/O so that it can run behind a pseudo-terminal or in memory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "image/image.h"
#include "model/record.h"

namespace orv::sim {

struct UnitOptions {
    std::array<std::string, 2> version{"ORV-PRO SIM V2.13", "Build 0415 (simulated unit)"};
    std::string lineEnd = "\r\n";  // "\r\n", "\n" or a single NUL
    std::array<std::uint8_t, 4> modules{15, 0, 0, 0};
    std::array<std::uint8_t, 4> pulse{12, 12, 48, 48};  // fast OFF, fast ON, slow OFF, slow ON
    int refuseBlock = -1;         // answer 0x15 to every write of this block (240: the MAC block)
    int forgetBlock = -1;         // answer 0x06 to every write of this block but keep what it held
    bool silent = false;          // answer nothing at all
    int stopAfter = -1;           // go silent after serving this many block reads/writes
    bool badProbe = false;        // answer the probe with 0x12 instead of 0x11
    bool corruptNibbles = false;  // set the upper 4 bits of every nibble byte sent
    bool endlessVersion = false;  // answer "V" with characters that never end the line
};

class UnitEngine {
  public:
    using Logger = std::function<void(const std::string&)>;
    // Called after the EEPROM bytes of a block changed (to keep the file up to date).
    using BlockWritten = std::function<void(int block)>;

    UnitEngine(UnitOptions options, Image& eeprom, Logger log = {}, BlockWritten written = {});

    // Takes received bytes (any split) and appends the reply bytes to out.
    void Receive(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);
    // True while an endless version line is being sent; the caller keeps asking for more.
    bool Streaming() const { return streaming_; }
    void MoreStream(std::vector<std::uint8_t>& out, std::size_t count);
    void StopStream() { streaming_ = false; }

    int BlocksServed() const { return blocksServed_; }
    bool GoneSilent() const;

  private:
    // Handles the command at the start of pending_; returns the bytes it used, 0 when the command
    // is not complete yet.
    std::size_t Handle(std::vector<std::uint8_t>& out);
    void Log(const std::string& name, std::span<const std::uint8_t> bytes, const std::string& what);

    UnitOptions options_;
    Image& eeprom_;
    Logger log_;
    BlockWritten written_;
    std::vector<std::uint8_t> pending_;
    bool streaming_ = false;
    int blocksServed_ = 0;
};

}  // namespace orv::sim
