#include "file_commands.h"

#include <iostream>
#include <optional>

#include "base/numbers.h"
#include "files/config_file.h"
#include "files/profile.h"
#include "files/record_json.h"
#include "image/image.h"
#include "model/defaults.h"

namespace orv::cli {
namespace {

const OptionSpec kOutput{{"-o", "--output"}, "output"};
const OptionSpec kModules{{"-m", "--modules"}, "modules"};

ModuleTypes ParseModules(const std::string& text) {
    ModuleTypes types{};
    std::size_t start = 0;
    for (int b = 0; b < kBanks; ++b) {
        const std::size_t comma = text.find(',', start);
        const bool last = b == kBanks - 1;
        if (last != (comma == std::string::npos))
            throw UsageError("new",
                             "--modules needs four module types separated by commas, "
                             "e.g. 15,13,14,0; got '" +
                                 text + "'");
        const std::string item = text.substr(start, last ? std::string::npos : comma - start);
        const auto code = ParseWholeNumber(item);
        if (!code || *code < 0 || *code > 15)
            throw UsageError("new", "module type '" + item + "' for bank " + std::to_string(b + 1) +
                                        " is not one of 0 (not fitted), 1..12, 13, 14, 15");
        types[b] = *code;
        start = comma + 1;
    }
    return types;
}

constexpr std::string_view kNewHelp =
    "Usage: orv-cli new [--modules M1,M2,M3,M4] -o OUT.ORV\n"
    "\n"
    "Saves the default configuration (File > New) with the given module types, as the editor\n"
    "saves it.\n"
    "\n"
    "  -m, --modules M1,M2,M3,M4  module type of banks 1 to 4 (default 0,0,0,0):\n"
    "                             0 not fitted, 13 dry-contact input, 14 relay output,\n"
    "                             15 opto-isolated input, 1..12 other types\n"
    "  -o, --output OUT.ORV       the file to write (other sections of an existing file are kept)\n"
    "  -h, --help                 show this help\n";

constexpr std::string_view kExportHelp =
    "Usage: orv-cli export IN.ORV [-o OUT.json]\n"
    "\n"
    "Opens the file as the editor does (read, decode, size report) and writes the configuration\n"
    "record as JSON: one object, \"format\": \"orv-config/1\" first, then one member per field,\n"
    "and last \"carried\": the image bytes the record does not hold (addresses 22-23, after the\n"
    "packed part up to 3839, 3846-4095) as \"first-last\": hexadecimal digits, so that 'orv-cli\n"
    "import' gives back the same file.\n"
    "\n"
    "  -o, --output OUT.json  the file to write (standard output when left out)\n"
    "  -h, --help             show this help\n";

constexpr std::string_view kImportHelp =
    "Usage: orv-cli import IN.json -o OUT.ORV\n"
    "\n"
    "Takes the configuration record from JSON (members present replace the values the editor\n"
    "has after start-up; unknown members are an error), builds the image onto a blank one, or\n"
    "onto the \"carried\" bytes when the JSON has them, and saves it. Messages are taken as a\n"
    "paste takes them: characters the unit cannot store become their ASCII form, blanks take\n"
    "the unit's spacing, and a message longer than 69 characters is cut to 69. A time between\n"
    "two of the unit's steps is saved as the nearest step. Each change comes with a warning.\n"
    "\n"
    "  -o, --output OUT.ORV  the file to write\n"
    "  -h, --help            show this help\n";

constexpr std::string_view kResaveHelp =
    "Usage: orv-cli resave IN.ORV -o OUT.ORV\n"
    "\n"
    "Opens the file as the editor does, then saves it to another file as Save As does.\n"
    "\n"
    "  -o, --output OUT.ORV  the file to write\n"
    "  -h, --help            show this help\n";

constexpr std::string_view kSizeHelp =
    "Usage: orv-cli size IN.ORV\n"
    "\n"
    "Opens the file as the editor does and prints the last used address of the configuration\n"
    "area and how full it is, e.g. \"1892 49.28%\". A configuration that does not fit shows more\n"
    "than 100% and a warning.\n"
    "\n"
    "  -h, --help  show this help\n";

}  // namespace

int RunNew(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("new", args, {kModules, kOutput});
    if (a.help) return PrintHelp(kNewHelp);
    ExpectPositional("new", a, 0, "");
    const std::string& out = RequireOption("new", a, "output", "the output file: -o OUT.ORV");
    EditorState state;
    if (const std::string* m = a.Option("modules")) state.s.moduleTypes = ParseModules(*m);
    return SaveConfig(out, state) ? kExitOk : kExitFailure;
}

int RunExport(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("export", args, {kOutput});
    if (a.help) return PrintHelp(kExportHelp);
    ExpectPositional("export", a, 1, "the configuration file to export (IN.ORV)");
    EditorState state;
    if (!OpenConfig(a.positional[0], state)) return kExitFailure;
    const std::string json =
        RecordToJson(state.s.rec, state.s.moduleTypes, &state.image).dump(2) + "\n";
    if (const std::string* out = a.Option("output")) {
        const FileIoResult w = WriteFileAtomically(*out, json);
        if (!w.ok) {
            PrintError("Cannot write '" + *out + "': " + w.error + ".");
            return kExitFailure;
        }
    } else {
        std::cout << json << std::flush;
        if (!std::cout) {
            PrintError("Cannot write the JSON to standard output.");
            return kExitFailure;
        }
    }
    return kExitOk;
}

int RunImport(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("import", args, {kOutput});
    if (a.help) return PrintHelp(kImportHelp);
    ExpectPositional("import", a, 1, "the JSON file to import (IN.json)");
    const std::string& out = RequireOption("import", a, "output", "the output file: -o OUT.ORV");
    const std::string& in = a.positional[0];
    std::string text;
    if (const FileIoResult r = ReadWholeFile(in, text); !r.ok) {
        PrintError("Cannot read '" + in + "': " + r.error + ".");
        return kExitFailure;
    }
    EditorState state;
    const JsonImportResult r =
        RecordFromJsonText(text, state.s.rec, state.s.moduleTypes, &state.image);
    if (!r.ok) {
        for (const auto& e : r.errors) PrintError("'" + in + "': " + e);
        return kExitFailure;
    }
    PrintWarnings(r.warnings);
    return SaveConfig(out, state) ? kExitOk : kExitFailure;
}

int RunResave(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("resave", args, {kOutput});
    if (a.help) return PrintHelp(kResaveHelp);
    ExpectPositional("resave", a, 1, "the configuration file to open (IN.ORV)");
    const std::string& out = RequireOption("resave", a, "output", "the output file: -o OUT.ORV");
    EditorState state;
    if (!OpenConfig(a.positional[0], state)) return kExitFailure;
    return SaveConfig(out, state) ? kExitOk : kExitFailure;
}

int RunSize(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("size", args, {});
    if (a.help) return PrintHelp(kSizeHelp);
    ExpectPositional("size", a, 1, "the configuration file to measure (IN.ORV)");
    EditorState state;
    const ReadConfigResult r =
        ReadConfigFile(a.positional[0], state.s.rec, state.s.moduleTypes, state.image);
    if (!r.ok) {
        PrintError(r.error);
        return kExitFailure;
    }
    PrintWarnings(r.warnings);
    std::cout << r.decode.size.lastAddress << ' ' << r.decode.size.percentText << '\n';
    return kExitOk;
}

}  // namespace orv::cli
