// Opening a configuration file: the profile reading, the "Contents" hex, the module types and the
// decode of the image. A file that does not open must leave everything as it was; a file that opens
// and may be saved must open again, after saving, to the same image.
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

    // Save what was opened, as the File menu does: the image is built again, and a configuration
    // that does not fit or holds values the builder had to change is refused (the user was told
    // when the file opened). What is saved must open again to the same image and module types.
    const BuildResult build = BuildImage(state.rec, state.moduleTypes, image);
    if (!build.fits || !build.warnings.empty()) return 0;
    const std::string saved = ConfigFileText(bytes, "ORV Pro", state.rec, state.moduleTypes, image);
    StartupState again = MakeStartupState();
    Image imageAgain{};
    const ReadConfigResult reread =
        ReadConfigText(saved, "/tmp/FUZZ.ORV", again.rec, again.moduleTypes, imageAgain);
    ORV_FUZZ_CHECK(reread.ok, "a saved file does not open again");
    ORV_FUZZ_CHECK(again.moduleTypes == state.moduleTypes, "module types changed over a save");
    ORV_FUZZ_CHECK(imageAgain == image, "the image changed over a save");
    return 0;
}
