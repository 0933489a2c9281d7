// Shared helpers of the image tests.
#pragma once

#include <cstdint>

#include "image/image.h"
#include "model/defaults.h"

namespace orv::test {

// The editor's state after start-up with the given module types in effect.
inline StartupState StartWith(ModuleTypes types) {
    StartupState s = MakeStartupState();
    s.moduleTypes = types;
    return s;
}

// An image whose every byte is distinct from what a build writes in most places.
inline Image Pattern(std::uint8_t seed = 0xA5) {
    Image img;
    for (std::size_t a = 0; a < img.size(); ++a) img[a] = static_cast<std::uint8_t>(seed ^ (a * 7));
    return img;
}

// Address of channel record i in a well-formed image.
inline int RecordAddress(const Image& img, int i) {
    int a = kPackedStart;
    for (int d = 0; d < kDictEntries; ++d) {
        while (img[static_cast<std::size_t>(a)] != 0) ++a;
        ++a;
    }
    for (int r = 0; r < i; ++r) {
        a += 4;
        while (img[static_cast<std::size_t>(a)] != 0) ++a;
        ++a;
    }
    return a;
}

inline std::uint32_t WordAt(const Image& img, int a) {
    auto b = [&](int n) {
        return static_cast<std::uint32_t>(img[static_cast<std::size_t>(a + n)]);
    };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

}  // namespace orv::test
