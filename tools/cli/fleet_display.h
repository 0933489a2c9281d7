// How a fleet run shows itself while it runs. On a terminal (standard error) a block at the
// bottom shows each unit at work with its progress and is redrawn as they move on, and the lines
// of each finished unit are printed above it, where they stay. Elsewhere only the finished units'
// lines are printed, as plain lines. Every text is shown as terminal text (base/quote.h).
// Not thread-safe: the run calls it under its own lock.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace orv::cli {

class FleetDisplay {
  public:
    explicit FleetDisplay(bool live);
    ~FleetDisplay();

    bool Live() const { return live_; }
    // Lines that stay, to standard output or standard error; the block is drawn again beneath.
    void Print(const std::vector<std::string>& lines, std::FILE* to);
    // The block of units at work: drawn at once when now, otherwise at most ten times a second;
    // drawn with the next Print when later. A block taller than the terminal is cut, its last
    // line (the counts) kept, so that redrawing never leaves lines scrolled out of reach.
    enum class Draw { kNow, kSoon, kWithNextPrint };
    void Update(std::vector<std::string> block, Draw when);
    // Removes the block.
    void End();

  private:
    void Erase();
    void DrawBlock();

    bool live_;
    int width_ = 80;
    int height_ = 24;
    int drawn_ = 0;  // lines of the block on the screen
    std::vector<std::string> block_;
    std::chrono::steady_clock::time_point lastDraw_{};
};

// The lines of a block that fit a terminal of height lines, the last (the counts) always kept.
std::vector<std::string> FittedBlock(const std::vector<std::string>& block, int height);

}  // namespace orv::cli
