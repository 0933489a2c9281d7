// The configuration record as JSON: one object, "format": "orv-config/1" first, then one member
// per record field named as in the record, arrays indexed as in the record. Text fields are
// strings (the record's bytes taken as Latin-1), choice fields are list positions (-1 for none),
// check fields and optMaster are booleans, ModuleType is four integers.
//
// With an image, a last member "carried" holds the image bytes the record does not hold and the
// editor only carries along (addresses 22-23, the bytes after the packed part up to 3839, and
// 3846-4095), so that an export imported unchanged saves the same file (a message longer than 69
// characters excepted: the import cuts it):
//     "carried": {"22-23": "A55A", "3846-4095": "0102...FF"}
// Each key is a range of addresses "first-last" in decimal, each value its bytes as two
// upper-case hexadecimal digits each. Zero bytes at either end of an area are left out, and an
// area of zeros not written at all: the import builds onto a blank image, all zero.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "image/image.h"
#include "model/record.h"

namespace orv {

inline constexpr std::string_view kJsonFormat = "orv-config/1";
inline constexpr std::string_view kJsonCarried = "carried";

// image: when given, its carried bytes go into "carried".
nlohmann::ordered_json RecordToJson(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                                    const Image* image = nullptr);

struct JsonImportResult {
    bool ok = false;
    std::vector<std::string> errors;    // each names the key (and the index) it is about
    std::vector<std::string> warnings;  // taken over, but worth the user's attention
};

// Members present replace the values in rec and moduleTypes; members left out keep them. Unknown
// members, wrong types, wrong array lengths, positions outside their lists and characters
// outside Latin-1 are errors; with any error nothing is changed. Messages are taken as a paste
// into their field would be (model/message_text.h), each change with a warning naming the member:
// what the unit cannot store becomes its ASCII form, blanks take the unit's spacing, and a message
// longer than 69 characters is cut to 69 ("txtMsg[1]: longer than 69 characters: cut to 69; "QQQ"
// was left out."). A message kept from rec that no longer fits packed beside the new ones is cut
// to 69 characters too. "carried" bytes go into
// image when one is given (before the caller builds onto it); a range outside the carried areas
// or a value that does not fit its range is an error.
JsonImportResult RecordFromJson(const nlohmann::json& json, ConfigRecord& rec,
                                ModuleTypes& moduleTypes, Image* image = nullptr);
// Parses the text first; a syntax error is reported with its position.
JsonImportResult RecordFromJsonText(std::string_view text, ConfigRecord& rec,
                                    ModuleTypes& moduleTypes, Image* image = nullptr);

}  // namespace orv
