// The configuration record as JSON: one object, "format": "orv-config/1" first, then one member
// per record field named as in the record, arrays indexed as in the record. Text fields are
// strings (the record's bytes taken as Latin-1), choice fields are list positions (-1 for none),
// check fields and optMaster are booleans, ModuleType is four integers.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "model/record.h"

namespace orv {

inline constexpr std::string_view kJsonFormat = "orv-config/1";

nlohmann::ordered_json RecordToJson(const ConfigRecord& rec, const ModuleTypes& moduleTypes);

struct JsonImportResult {
    bool ok = false;
    std::vector<std::string> errors;    // each names the key (and the index) it is about
    std::vector<std::string> warnings;  // taken over, but worth the user's attention
};

// Members present replace the values in rec and moduleTypes; members left out keep them. Unknown
// members, wrong types, wrong array lengths, positions outside their lists and characters
// outside Latin-1 are errors; with any error nothing is changed.
JsonImportResult RecordFromJson(const nlohmann::json& json, ConfigRecord& rec,
                                ModuleTypes& moduleTypes);
// Parses the text first; a syntax error is reported with its position.
JsonImportResult RecordFromJsonText(std::string_view text, ConfigRecord& rec,
                                    ModuleTypes& moduleTypes);

}  // namespace orv
