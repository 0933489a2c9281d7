#include "files/record_json.h"

#include <functional>
#include <map>
#include <optional>

#include "base/latin1.h"
#include "model/lists.h"

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
        const auto& handlers = Handlers();
        const auto it = handlers.find(key);
        if (key == "format") {
            if (!value.is_string() || value.get<std::string>() != kJsonFormat)
                Error("format: expected \"" + std::string(kJsonFormat) + "\", found " +
                      value.dump());
            return;
        }
        if (it == handlers.end()) {
            Error("unknown key \"" + key + "\"");
            return;
        }
        it->second(*this, key, value);
    }

  private:
    using Handler = std::function<void(Importer&, const std::string&, const Json&)>;

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

    template <std::size_t N>
    static Handler TextArray(std::array<std::string, N> ConfigRecord::*field) {
        return [field](Importer& im, const std::string& key, const Json& value) {
            if (!im.CheckArray(key, value, N, "strings")) return;
            for (std::size_t i = 0; i < N; ++i)
                if (auto t = im.Text(key, i, value[i])) (im.rec_.*field)[i] = std::move(*t);
        };
    }
    static Handler TextField(std::string ConfigRecord::*field) {
        return [field](Importer& im, const std::string& key, const Json& value) {
            if (auto t = im.Text(key, std::nullopt, value)) im.rec_.*field = std::move(*t);
        };
    }
    // Positions -1 (none) .. count - 1.
    template <std::size_t N>
    static Handler PositionArray(std::array<int, N> ConfigRecord::*field, std::size_t count) {
        return [field, count](Importer& im, const std::string& key, const Json& value) {
            if (!im.CheckArray(key, value, N, "list positions")) return;
            const std::string range =
                "the list (-1 for none, 0.." + std::to_string(count - 1) + ")";
            for (std::size_t i = 0; i < N; ++i)
                if (auto p =
                        im.Integer(key, i, value[i], -1, static_cast<long long>(count) - 1, range))
                    (im.rec_.*field)[i] = static_cast<int>(*p);
        };
    }
    template <std::size_t N>
    static Handler BoolArray(std::array<bool, N> ConfigRecord::*field) {
        return [field](Importer& im, const std::string& key, const Json& value) {
            if (!im.CheckArray(key, value, N, "booleans")) return;
            for (std::size_t i = 0; i < N; ++i) {
                if (!value[i].is_boolean())
                    im.Error(Where(key, i) + ": expected true or false, found " + value[i].dump());
                else
                    (im.rec_.*field)[i] = value[i].get<bool>();
            }
        };
    }
    static Handler BoolField(bool ConfigRecord::*field) {
        return [field](Importer& im, const std::string& key, const Json& value) {
            if (!value.is_boolean())
                im.Error(key + ": expected true or false, found " + value.dump());
            else
                im.rec_.*field = value.get<bool>();
        };
    }
    static void ModuleTypeMember(Importer& im, const std::string& key, const Json& value) {
        if (!im.CheckArray(key, value, kBanks, "integers")) return;
        for (std::size_t b = 0; b < kBanks; ++b) {
            // Only the module types a file can hold: anything else could not be opened again.
            const auto code = im.Integer(key, b, value[b], 0, 15, "0..15");
            if (!code) continue;
            im.moduleTypes_[b] = static_cast<int>(*code);
        }
    }

    static const std::map<std::string, Handler>& Handlers() {
        static const std::map<std::string, Handler> handlers{
            {"ModuleType", ModuleTypeMember},
            {"txtVer", TextArray(&ConfigRecord::txtVer)},
            {"txtRIC", TextArray(&ConfigRecord::txtRIC)},
            {"lstFunc", PositionArray(&ConfigRecord::lstFunc, kFuncItems.size())},
            {"lstType", PositionArray(&ConfigRecord::lstType, kTypeItems.size())},
            {"lstBaud", PositionArray(&ConfigRecord::lstBaud, kPagingBaudItems.size())},
            {"lstRepeat", PositionArray(&ConfigRecord::lstRepeat, kRepeatItems.size())},
            {"txtMsg", TextArray(&ConfigRecord::txtMsg)},
            {"txtRlyRIC", TextArray(&ConfigRecord::txtRlyRIC)},
            {"lstRlyBeep", PositionArray(&ConfigRecord::lstRlyBeep, kRelayBeepItems.size())},
            {"txtRepTime", TextArray(&ConfigRecord::txtRepTime)},
            {"txtPulseTime", TextArray(&ConfigRecord::txtPulseTime)},
            {"txtIP", TextArray(&ConfigRecord::txtIP)},
            {"txtMAC", TextArray(&ConfigRecord::txtMAC)},
            {"chkOptions", BoolArray(&ConfigRecord::chkOptions)},
            {"txtRS485Address", TextField(&ConfigRecord::txtRS485Address)},
            {"optMaster", BoolField(&ConfigRecord::optMaster)},
            {"lstPortBaudrate",
             PositionArray(&ConfigRecord::lstPortBaudrate, kBaudRateItems.size())},
            {"lstPortFormat",
             PositionArray(&ConfigRecord::lstPortFormat, kFrameFormatItems.size())},
            {"txtDict", TextArray(&ConfigRecord::txtDict)},
            {"txtFastOne", TextField(&ConfigRecord::txtFastOne)},
            {"txtFastZero", TextField(&ConfigRecord::txtFastZero)},
            {"txtSlowOne", TextField(&ConfigRecord::txtSlowOne)},
            {"txtSlowZero", TextField(&ConfigRecord::txtSlowZero)},
        };
        return handlers;
    }

    ConfigRecord& rec_;
    ModuleTypes& moduleTypes_;
    JsonImportResult& result_;
};

template <std::size_t N>
nlohmann::ordered_json TextArrayJson(const std::array<std::string, N>& texts) {
    auto a = nlohmann::ordered_json::array();
    for (const auto& t : texts) a.push_back(Latin1ToUtf8(t));
    return a;
}

}  // namespace

nlohmann::ordered_json RecordToJson(const ConfigRecord& rec, const ModuleTypes& moduleTypes) {
    nlohmann::ordered_json j;
    j["format"] = kJsonFormat;
    j["ModuleType"] = moduleTypes;
    j["txtVer"] = TextArrayJson(rec.txtVer);
    j["txtRIC"] = TextArrayJson(rec.txtRIC);
    j["lstFunc"] = rec.lstFunc;
    j["lstType"] = rec.lstType;
    j["lstBaud"] = rec.lstBaud;
    j["lstRepeat"] = rec.lstRepeat;
    j["txtMsg"] = TextArrayJson(rec.txtMsg);
    j["txtRlyRIC"] = TextArrayJson(rec.txtRlyRIC);
    j["lstRlyBeep"] = rec.lstRlyBeep;
    j["txtRepTime"] = TextArrayJson(rec.txtRepTime);
    j["txtPulseTime"] = TextArrayJson(rec.txtPulseTime);
    j["txtIP"] = TextArrayJson(rec.txtIP);
    j["txtMAC"] = TextArrayJson(rec.txtMAC);
    j["chkOptions"] = rec.chkOptions;
    j["txtRS485Address"] = Latin1ToUtf8(rec.txtRS485Address);
    j["optMaster"] = rec.optMaster;
    j["lstPortBaudrate"] = rec.lstPortBaudrate;
    j["lstPortFormat"] = rec.lstPortFormat;
    j["txtDict"] = TextArrayJson(rec.txtDict);
    j["txtFastOne"] = Latin1ToUtf8(rec.txtFastOne);
    j["txtFastZero"] = Latin1ToUtf8(rec.txtFastZero);
    j["txtSlowOne"] = Latin1ToUtf8(rec.txtSlowOne);
    j["txtSlowZero"] = Latin1ToUtf8(rec.txtSlowZero);
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
