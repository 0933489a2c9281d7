// Shared pieces of the fuzz targets: a finding is reported by aborting with a line that says which
// promise broke, so that libFuzzer keeps the input and the regression test can name it.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "model/record.h"

#define ORV_FUZZ_CHECK(condition, what)                                                   \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "fuzz finding: %s (%s:%d)\n", what, __FILE__, __LINE__); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace orv::fuzz {

// Module types from fuzz bytes: any of the sixteen codes, as a file or a unit may give them.
inline ModuleTypes ModuleTypesFrom(const unsigned char* bytes) {
    return {bytes[0] & 0x0F, bytes[1] & 0x0F, bytes[2] & 0x0F, bytes[3] & 0x0F};
}

}  // namespace orv::fuzz
