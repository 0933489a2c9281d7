// Opening a configuration file: the profile reading, the "Contents" hex, the module types and the
// decode of the image. A file that opens must save, and the saved file must open to the same
// configuration; a file that does not open must leave everything as it was.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "files/config_file.h"
#include "fuzz_support.h"
#include "model/defaults.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orv;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    StartupState state = MakeStartupState();
    Image image{};
    image[100] = 0x5A;  // something to notice if a refused file touched it
    const StartupState before = state;
    const Image imageBefore = image;

    const ReadConfigResult read =
        ReadConfigText(bytes, "/tmp/FUZZ.ORV", state.rec, state.moduleTypes, image);
    if (!read.ok) {
        ORV_FUZZ_CHECK(!read.error.empty(), "a refused file gives no reason");
        ORV_FUZZ_CHECK(state.rec == before.rec, "a refused file changed the record");
        ORV_FUZZ_CHECK(state.moduleTypes == before.moduleTypes,
                       "a refused file changed the module types");
        ORV_FUZZ_CHECK(image == imageBefore, "a refused file changed the image");
        return 0;
    }
    for (int t : state.moduleTypes) ORV_FUZZ_CHECK(t >= 0 && t <= 15, "module type out of range");

    // Save what was opened (over the same bytes, as a save over the old file does) and open it
    // again: the configuration must come back as it was.
    const std::string saved = ConfigFileText(bytes, "ORV Pro", state.rec, state.moduleTypes, image);
    StartupState again = MakeStartupState();
    Image imageAgain{};
    const ReadConfigResult reread =
        ReadConfigText(saved, "/tmp/FUZZ.ORV", again.rec, again.moduleTypes, imageAgain);
    ORV_FUZZ_CHECK(reread.ok, "a file that opened does not open again after saving");
    ORV_FUZZ_CHECK(again.moduleTypes == state.moduleTypes, "module types changed over a save");
    ORV_FUZZ_CHECK(imageAgain == image, "the image changed over a save");
    return 0;
}
