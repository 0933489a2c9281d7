// Decoding a raw 4096-byte image as read from a unit (or a file) and building it again. The first
// four bytes choose the module types in effect; the rest is the image (short inputs are padded
// with zeros). A decoded configuration must build, and the rebuilt image must decode to the same
// record: the editor never shows something it would not send back the same way.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "image/image.h"
#include "model/defaults.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orv;
    if (size < 4) return 0;
    StartupState state = MakeStartupState();
    state.moduleTypes = fuzz::ModuleTypesFrom(data);
    Image image{};
    std::copy_n(data + 4, std::min<std::size_t>(size - 4, image.size()), image.begin());

    const DecodeResult decoded = DecodeImage(state.rec, state.moduleTypes, image);
    ORV_FUZZ_CHECK(decoded.size.lastAddress >= kPackedStart - 1 &&
                       decoded.size.lastAddress < kImageSize + kImageSize,
                   "size report outside any sensible address");
    ORV_FUZZ_CHECK(WalkPackedPart(image) <= kImageSize - 1, "walk beyond the image");

    // Build the decoded record again, twice: the second build must change nothing (the builder's
    // normalisation is settled after one pass).
    ConfigRecord rec = state.rec;
    Image first = image;
    const BuildResult b1 = BuildImage(rec, state.moduleTypes, first);
    const ConfigRecord afterFirst = rec;
    Image second = first;
    const BuildResult b2 = BuildImage(rec, state.moduleTypes, second);
    ORV_FUZZ_CHECK(b1.fits == b2.fits, "two builds of one record disagree on fitting");
    ORV_FUZZ_CHECK(rec == afterFirst, "a second build changed the record again");
    ORV_FUZZ_CHECK(second == first, "a second build changed the image again");
    return 0;
}
