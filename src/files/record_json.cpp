#include "files/record_json.h"

#include <optional>

#include "base/latin1.h"
#include "model/fields.h"

namespace orv {
namespace {

using Json = nlohmann::json;

std::string Where(std::string_view key, std::optional<std::size_t> index) {
    std::string w(key);
    if (index) {
        w += '[';
        w += std::to_string(*index);
        w += ']';
    }
    return w;
}

// Reads one member of the record; appends to errors when the value does not fit the field.
class Importer {
  public:
    Importer(ConfigRecord& rec, ModuleTypes& moduleTypes, JsonImportResult& result)
        : rec_(rec), moduleTypes_(moduleTypes), result_(result) {}

    void Member(const std::string& key, const Json& value) {
        if (key == "format") {
            if (!value.is_string() || value.get<std::string>() != kJsonFormat)
                Error("format: expected \"" + std::string(kJsonFormat) + "\", found " +
                      value.dump());
            return;
        }
        if (key == "ModuleType") {
            ModuleTypeMember(key, value);
            return;
        }
        bool known = false;
        ForEachRecordField([&](const auto& field) {
            if (field.scope != FieldScope::kConfiguration || field.name != key) return;
            known = true;
            ReadField(field, value);
        });
        if (!known) Error("unknown key \"" + key + "\"");
    }

  private:
    void Error(std::string text) { result_.errors.push_back(std::move(text)); }

    bool CheckArray(const std::string& key, const Json& value, std::size_t size,
                    std::string_view what) {
        if (!value.is_array() || value.size() != size) {
            Error(key + ": expected an array of " + std::to_string(size) + " " + std::string(what) +
                  ", found " +
                  (value.is_array() ? std::to_string(value.size()) + " elements"
                                    : std::string(value.type_name())));
            return false;
        }
        return true;
    }

    std::optional<std::string> Text(const std::string& key, std::optional<std::size_t> index,
                                    const Json& value) {
        if (!value.is_string()) {
            Error(Where(key, index) + ": expected a string, found " +
                  std::string(value.type_name()));
            return std::nullopt;
        }
        auto bytes = Utf8ToLatin1(value.get_ref<const std::string&>());
        if (!bytes)
            Error(Where(key, index) +
                  ": holds a character outside Latin-1 (U+0000..U+00FF), which a configuration "
                  "cannot store");
        return bytes;
    }

    std::optional<long long> Integer(const std::string& key, std::optional<std::size_t> index,
                                     const Json& value, long long lo, long long hi,
                                     std::string_view range) {
        const bool integer = value.is_number_integer();
        const bool inRange =
            integer &&
            (value.is_number_unsigned()
                 ? value.get<unsigned long long>() <= static_cast<unsigned long long>(hi) && hi >= 0
                 : value.get<long long>() >= lo && value.get<long long>() <= hi);
        if (!integer) {
            Error(Where(key, index) + ": expected an integer, found " +
                  (value.is_number() ? value.dump() : std::string(value.type_name())));
            return std::nullopt;
        }
        if (!inRange) {
            Error(Where(key, index) + ": " + value.dump() + " is outside " + std::string(range));
            return std::nullopt;
        }
        return value.get<long long>();
    }

    // One member named after a record field: an array for a family, a single value otherwise.
    template <class F>
    void ReadField(const F& field, const Json& value) {
        const std::string key(field.name);
        if constexpr (F::family) {
            constexpr std::string_view elements = F::kind == FieldKind::kText     ? "strings"
                                                  : F::kind == FieldKind::kChoice ? "list positions"
                                                                                  : "booleans";
            if (!CheckArray(key, value, F::count, elements)) return;
            for (std::size_t i = 0; i < F::count; ++i) ReadElement(field, key, i, value[i]);
        } else {
            ReadElement(field, key, std::nullopt, value);
        }
    }

    template <class F>
    void ReadElement(const F& field, const std::string& key, std::optional<std::size_t> index,
                     const Json& value) {
        auto& target = field.At(rec_, index.value_or(0));
        if constexpr (F::kind == FieldKind::kText) {
            if (auto t = Text(key, index, value)) target = std::move(*t);
        } else if constexpr (F::kind == FieldKind::kChoice) {
            const std::string range =
                "the list (-1 for none, 0.." + std::to_string(field.items - 1) + ")";
            if (auto p = Integer(key, index, value, -1, field.items - 1, range))
                target = static_cast<int>(*p);
        } else {
            if (!value.is_boolean())
                Error(Where(key, index) + ": expected true or false, found " + value.dump());
            else
                target = value.get<bool>();
        }
    }

    void ModuleTypeMember(const std::string& key, const Json& value) {
        if (!CheckArray(key, value, kBanks, "integers")) return;
        for (std::size_t b = 0; b < kBanks; ++b) {
            // Only the module types a file can hold: anything else could not be opened again.
            const auto code = Integer(key, b, value[b], 0, 15, "0..15");
            if (!code) continue;
            moduleTypes_[b] = static_cast<int>(*code);
        }
    }

    ConfigRecord& rec_;
    ModuleTypes& moduleTypes_;
    JsonImportResult& result_;
};

nlohmann::ordered_json ToJson(const std::string& text) {
    return Latin1ToUtf8(text);
}
template <class T>
nlohmann::ordered_json ToJson(const T& value) {
    return value;
}
template <std::size_t N>
nlohmann::ordered_json ToJson(const std::array<std::string, N>& texts) {
    auto a = nlohmann::ordered_json::array();
    for (const auto& t : texts) a.push_back(Latin1ToUtf8(t));
    return a;
}

}  // namespace

nlohmann::ordered_json RecordToJson(const ConfigRecord& rec, const ModuleTypes& moduleTypes) {
    nlohmann::ordered_json j;
    j["format"] = kJsonFormat;
    j["ModuleType"] = moduleTypes;
    ForEachRecordField([&](const auto& field) {
        if (field.scope == FieldScope::kConfiguration)
            j[std::string(field.name)] = ToJson(rec.*field.member);
    });
    return j;
}

JsonImportResult RecordFromJson(const nlohmann::json& json, ConfigRecord& rec,
                                ModuleTypes& moduleTypes) {
    JsonImportResult result;
    if (!json.is_object()) {
        result.errors.push_back("expected one JSON object, found " + std::string(json.type_name()));
        return result;
    }
    ConfigRecord newRec = rec;
    ModuleTypes newTypes = moduleTypes;
    Importer importer(newRec, newTypes, result);
    for (const auto& [key, value] : json.items()) importer.Member(key, value);
    if (!result.errors.empty()) {
        result.warnings.clear();
        return result;
    }
    rec = std::move(newRec);
    moduleTypes = newTypes;
    result.ok = true;
    return result;
}

JsonImportResult RecordFromJsonText(std::string_view text, ConfigRecord& rec,
                                    ModuleTypes& moduleTypes) {
    Json json;
    try {
        json = Json::parse(text);
    } catch (const Json::exception& e) {
        // A syntax error, or a number too large for any JSON value (out_of_range.406).
        JsonImportResult result;
        // Drop the library's "[json.exception.parse_error.101] " tag; keep line and column.
        std::string what = e.what();
        if (const auto tag = what.find("] ");
            what.starts_with("[json.") && tag != std::string::npos)
            what.erase(0, tag + 2);
        result.errors.push_back("not valid JSON: " + what);
        return result;
    }
    return RecordFromJson(json, rec, moduleTypes);
}

}  // namespace orv
