// JSON import: any text either imports or is refused without changing anything, carried bytes
// land only where the record has nothing, and what imports exports and imports again to the same
// configuration.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "files/record_json.h"
#include "fuzz_support.h"
#include "model/defaults.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orv;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    StartupState state = MakeStartupState();
    const StartupState before = state;
    Image image{};

    const JsonImportResult imported =
        RecordFromJsonText(text, state.rec, state.moduleTypes, &image);
    if (!imported.ok) {
        ORV_FUZZ_CHECK(!imported.errors.empty(), "a refused import gives no reason");
        ORV_FUZZ_CHECK(state.rec == before.rec, "a refused import changed the record");
        ORV_FUZZ_CHECK(state.moduleTypes == before.moduleTypes,
                       "a refused import changed the module types");
        ORV_FUZZ_CHECK(image == Image{}, "a refused import changed the image");
        return 0;
    }
    // Carried bytes never land where the record's own fields are built.
    for (int a = 0; a < kImageSize; ++a)
        if (a < kAddrReserved || (a >= kMacAddress && a < kMacAddress + kMacBytes))
            ORV_FUZZ_CHECK(image[static_cast<std::size_t>(a)] == 0,
                           "carried bytes reached the header or the MAC address");
    const std::string exported = RecordToJson(state.rec, state.moduleTypes).dump();
    StartupState again = MakeStartupState();
    const JsonImportResult reimported = RecordFromJsonText(exported, again.rec, again.moduleTypes);
    ORV_FUZZ_CHECK(reimported.ok, "an export of an imported record does not import");
    ORV_FUZZ_CHECK(again.rec == state.rec, "the record changed over export and import");
    ORV_FUZZ_CHECK(again.moduleTypes == state.moduleTypes,
                   "the module types changed over export and import");
    return 0;
}
