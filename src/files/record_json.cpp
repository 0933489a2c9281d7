#include "files/record_json.h"

#include <optional>

#include "base/hex.h"
#include "base/latin1.h"
#include "model/fields.h"
#include "model/message_text.h"

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

// The image areas whose bytes the record does not hold, given where the packed part ends. The
// packed part itself lies in the second area; a build writes over it.
struct CarriedArea {
    int first, last;
};
std::vector<CarriedArea> CarriedAreas(int packedLast) {
    std::vector<CarriedArea> areas{{kAddrReserved, kPackedStart - 1}};
    if (packedLast < kConfigAreaLast) areas.push_back({packedLast + 1, kConfigAreaLast});
    areas.push_back({kMacAddress + kMacBytes, kImageSize - 1});
    return areas;
}

// "first-last" in decimal, first <= last, within the image; nullopt for anything else.
std::optional<CarriedArea> ParseRange(std::string_view key) {
    const auto dash = key.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    auto number = [](std::string_view digits) -> std::optional<int> {
        if (digits.empty() || digits.size() > 4 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        return std::stoi(std::string(digits));
    };
    const auto first = number(key.substr(0, dash)), last = number(key.substr(dash + 1));
    if (!first || !last || *first > *last || *last >= kImageSize) return std::nullopt;
    return CarriedArea{*first, *last};
}

// Reads one member of the record; appends to errors when the value does not fit the field.
class Importer {
  public:
    Importer(ConfigRecord& rec, ModuleTypes& moduleTypes, Image& image, JsonImportResult& result)
        : rec_(rec), moduleTypes_(moduleTypes), image_(image), result_(result) {}

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
        if (key == kJsonCarried) {
            CarriedMember(value);
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
            if (SameMember(field.member, &ConfigRecord::txtMsg) && value.is_string()) {
                // As a paste takes it: no longer than anyone can type into the field, nor than
                // a pager message may be. (An opened file keeps its messages as they are.)
                const UnitMessage fitted = MessageForUnit(value.get_ref<const std::string&>());
                if (fitted.changed())
                    result_.warnings.push_back(Where(key, index) + ": " +
                                               DescribeImportedMessage(fitted));
                target = fitted.text;
            } else if (auto t = Text(key, index, value)) {
                target = std::move(*t);
            }
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

    void CarriedMember(const Json& value) {
        const std::string key(kJsonCarried);
        if (!value.is_object()) {
            Error(key + ": expected an object of address ranges, found " +
                  std::string(value.type_name()));
            return;
        }
        for (const auto& [range, bytes] : value.items()) {
            const std::string where = key + "[\"" + range + "\"]";
            const auto area = ParseRange(range);
            if (!area) {
                Error(where + ": expected a range of addresses \"first-last\" within 0..4095");
                continue;
            }
            // Every carried area lies in one of these two; the rest is the record's.
            const bool carried = (area->first >= kAddrReserved && area->last <= kConfigAreaLast) ||
                                 area->first >= kMacAddress + kMacBytes;
            if (!carried) {
                Error(where +
                      ": addresses 0-21 and 3840-3845 hold the record's own fields; "
                      "carried bytes lie in 22-3839 and 3846-4095");
                continue;
            }
            const std::size_t count = static_cast<std::size_t>(area->last - area->first + 1);
            const std::string* hex =
                bytes.is_string() ? &bytes.get_ref<const std::string&>() : nullptr;
            bool ok = hex && hex->size() == 2 * count;
            for (std::size_t k = 0; ok && k < hex->size(); ++k) ok = HexDigitValue((*hex)[k]) >= 0;
            if (!ok) {
                Error(where + ": expected " + std::to_string(2 * count) +
                      " hexadecimal digits, found " + bytes.dump());
                continue;
            }
            for (std::size_t k = 0; k < count; ++k)
                image_[static_cast<std::size_t>(area->first) + k] = static_cast<std::uint8_t>(
                    HexDigitValue((*hex)[2 * k]) * 16 + HexDigitValue((*hex)[2 * k + 1]));
        }
    }

    ConfigRecord& rec_;
    ModuleTypes& moduleTypes_;
    Image& image_;
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

nlohmann::ordered_json RecordToJson(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                                    const Image* image) {
    nlohmann::ordered_json j;
    j["format"] = kJsonFormat;
    j["ModuleType"] = moduleTypes;
    ForEachRecordField([&](const auto& field) {
        if (field.scope == FieldScope::kConfiguration)
            j[std::string(field.name)] = ToJson(rec.*field.member);
    });
    if (!image) return j;
    auto carried = nlohmann::ordered_json::object();
    for (auto [first, last] : CarriedAreas(WalkPackedPart(*image))) {
        while (first <= last && (*image)[static_cast<std::size_t>(first)] == 0) ++first;
        while (last >= first && (*image)[static_cast<std::size_t>(last)] == 0) --last;
        if (first > last) continue;
        carried[std::to_string(first) + "-" + std::to_string(last)] =
            HexBytes(std::span(*image).subspan(static_cast<std::size_t>(first),
                                               static_cast<std::size_t>(last - first + 1)),
                     "");
    }
    if (!carried.empty()) j[std::string(kJsonCarried)] = std::move(carried);
    return j;
}

JsonImportResult RecordFromJson(const nlohmann::json& json, ConfigRecord& rec,
                                ModuleTypes& moduleTypes, Image* image) {
    JsonImportResult result;
    if (!json.is_object()) {
        result.errors.push_back("expected one JSON object, found " + std::string(json.type_name()));
        return result;
    }
    ConfigRecord newRec = rec;
    ModuleTypes newTypes = moduleTypes;
    Image newImage = image ? *image : Image{};
    Importer importer(newRec, newTypes, newImage, result);
    for (const auto& [key, value] : json.items()) importer.Member(key, value);
    if (!result.errors.empty()) {
        result.warnings.clear();
        return result;
    }
    for (const MessageCut& cut : CutMessagesTooLongToStore(newRec, newTypes))
        result.warnings.push_back(Where("txtMsg", static_cast<std::size_t>(cut.index)) + ": " +
                                  DescribeMessageCut(cut));
    rec = std::move(newRec);
    moduleTypes = newTypes;
    if (image) *image = newImage;
    result.ok = true;
    return result;
}

JsonImportResult RecordFromJsonText(std::string_view text, ConfigRecord& rec,
                                    ModuleTypes& moduleTypes, Image* image) {
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
    return RecordFromJson(json, rec, moduleTypes, image);
}

}  // namespace orv
