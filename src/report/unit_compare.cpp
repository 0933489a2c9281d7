// The unit against the editor: what a Compare with Unit finds, and what a Write's read-back found,
// in the words of the differences.
#include <algorithm>

#include "report/report.h"

namespace orv {
namespace {

// The record an image gives, as Read shows it.
ConfigRecord Decoded(const Image& image, const ModuleTypes& moduleTypes) {
    ConfigRecord rec;
    Image scratch = image;
    DecodeImage(rec, moduleTypes, scratch);
    return rec;
}

}  // namespace

std::vector<std::string> UnitDifferences(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                                         const Image& image, const ModuleTypes& unitTypes,
                                         const Image& unitImage) {
    ConfigRecord sent = rec;
    Image built = image;
    // A configuration that fits is compared as the unit would get it back (times in whole tens,
    // numbers in the unit's form); one that does not can only be compared as normalised.
    if (BuildImage(sent, moduleTypes, built).fits) sent = Decoded(built, moduleTypes);
    ConfigRecord unit = Decoded(unitImage, unitTypes);
    unit.txtVer = sent.txtVer;
    unit.txtMAC = sent.txtMAC;
    return ConfigDifferences(sent, moduleTypes, unit, unitTypes);
}

std::vector<std::string> BlockDifferences(const Image& sent, const Image& readBack,
                                          const ModuleTypes& moduleTypes) {
    const ConfigRecord sentRec = Decoded(sent, moduleTypes);
    std::vector<std::string> lines;
    for (int n = 0; n < kConfigBlocks; ++n) {
        const auto first = sent.begin() + n * kBlockSize;
        const auto back = readBack.begin() + n * kBlockSize;
        const auto [diffFrom, ignored] = std::mismatch(first, first + kBlockSize, back);
        if (diffFrom == first + kBlockSize) continue;
        const std::string block = "block " + std::to_string(n) + ": ";
        // This block as read back, every other block as sent: what it alone changes.
        Image mixed = sent;
        std::copy(back, back + kBlockSize, mixed.begin() + n * kBlockSize);
        const auto fields =
            ConfigDifferences(sentRec, moduleTypes, Decoded(mixed, moduleTypes), moduleTypes);
        for (const auto& f : fields) lines.push_back(block + f);
        if (!fields.empty()) continue;
        int last = kBlockSize - 1;
        while (first[last] == back[last]) --last;
        const auto from = static_cast<int>(diffFrom - sent.begin());
        const int to = n * kBlockSize + last;
        lines.push_back(block + "bytes the editor does not read (" +
                        (from == to
                             ? "address " + std::to_string(from)
                             : "addresses " + std::to_string(from) + " to " + std::to_string(to)) +
                        ")");
    }
    return lines;
}

}  // namespace orv
