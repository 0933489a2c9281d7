#include "fleet_display.h"

#include "base/quote.h"
#include "platform.h"

namespace orv::cli {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

// At most width characters of a line, so that no line of the block wraps and the cursor goes
// back up exactly as many lines as were drawn.
std::string Fitted(const std::string& line, int width) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) continue;
        if (++chars > static_cast<std::size_t>(width)) return line.substr(0, i);
    }
    return line;
}

}  // namespace

std::vector<std::string> FittedBlock(const std::vector<std::string>& block, int height) {
    // A line is left for the cursor, and one for what is printed above meanwhile.
    const std::size_t room = static_cast<std::size_t>(std::max(3, height - 2));
    if (block.size() <= room) return block;
    std::vector<std::string> fitted(block.begin(),
                                    block.begin() + static_cast<std::ptrdiff_t>(room - 2));
    fitted.push_back("  ... and " + std::to_string(block.size() - room + 1) + " more lines");
    fitted.push_back(block.back());
    return fitted;
}

namespace {

void Put(const std::string& text, std::FILE* to) {
    std::fwrite(text.data(), 1, text.size(), to);
}

}  // namespace

FleetDisplay::FleetDisplay(bool live) : live_(live && EnableTerminalControl()) {
    if (live_) {
        width_ = std::max(20, TerminalWidth() - 1);
        height_ = TerminalHeight();
    }
}

FleetDisplay::~FleetDisplay() {
    End();
}

void FleetDisplay::Print(const std::vector<std::string>& lines, std::FILE* to) {
    Erase();
    std::string text;
    for (const auto& l : lines) text += TerminalText(l) + "\n";
    Put(text, to);
    std::fflush(to);
    DrawBlock();
}

void FleetDisplay::Update(std::vector<std::string> block, Draw when) {
    block_ = std::move(block);
    if (!live_ || when == Draw::kWithNextPrint) return;
    if (when == Draw::kSoon && std::chrono::steady_clock::now() - lastDraw_ < kRedrawEvery) return;
    Erase();
    DrawBlock();
}

void FleetDisplay::End() {
    Erase();
    block_.clear();
}

void FleetDisplay::Erase() {
    if (!live_ || drawn_ == 0) return;
    Put("\r\x1b[" + std::to_string(drawn_) + "A\x1b[J", stderr);
    std::fflush(stderr);
    drawn_ = 0;
}

void FleetDisplay::DrawBlock() {
    if (!live_ || block_.empty()) return;
    std::fflush(stdout);
    std::string text;
    for (const auto& l : FittedBlock(block_, height_))
        text += Fitted(TerminalText(l), width_) + "\n";
    Put(text, stderr);
    std::fflush(stderr);
    drawn_ = static_cast<int>(FittedBlock(block_, height_).size());
    lastDraw_ = std::chrono::steady_clock::now();
}

}  // namespace orv::cli
