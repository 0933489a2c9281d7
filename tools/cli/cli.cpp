#include "cli.h"

#include <filesystem>
#include <iostream>
#include <optional>

#include "base/quote.h"
#include "files/config_file.h"
#include "files/history.h"
#include "model/identity.h"

namespace orv::cli {

ParsedArgs ParseArgs(std::string_view command, const CommandArgs& args,
                     std::initializer_list<OptionSpec> specs) {
    ParsedArgs parsed;
    const std::string cmd(command);
    auto findSpec = [&](std::string_view spelling) -> const OptionSpec* {
        for (const auto& s : specs)
            for (auto sp : s.spellings)
                if (sp == spelling) return &s;
        return nullptr;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a == "-" || a.empty() || a[0] != '-') {
            parsed.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            parsed.help = true;
            continue;
        }
        std::string spelling = a;
        std::optional<std::string> value;
        if (const auto eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
            spelling = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        const OptionSpec* spec = findSpec(spelling);
        if (!spec) throw UsageError(cmd, "unknown option '" + spelling + "'");
        if (spec->flag) {
            if (value) throw UsageError(cmd, "option '" + spelling + "' takes no value");
            value = "1";
        } else if (!value) {
            if (i + 1 >= args.size())
                throw UsageError(cmd, "option '" + spelling + "' needs a value");
            value = args[++i];
        }
        if (!parsed.options.emplace(std::string(spec->name), *value).second)
            throw UsageError(cmd, "option '" + spelling + "' is given more than once");
    }
    return parsed;
}

void ExpectPositional(std::string_view command, const ParsedArgs& args, std::size_t count,
                      std::string_view what) {
    if (args.positional.size() < count)
        throw UsageError(std::string(command), "missing " + std::string(what));
    if (args.positional.size() > count)
        throw UsageError(std::string(command),
                         "unexpected argument '" + args.positional[count] + "'");
}

const std::string& RequireOption(std::string_view command, const ParsedArgs& args,
                                 std::string_view name, std::string_view description) {
    const std::string* v = args.Option(name);
    if (!v || v->empty())
        throw UsageError(std::string(command), "missing " + std::string(description));
    return *v;
}

// Messages may quote what a unit or a file holds; the terminal shows it, never obeys it.
void PrintError(std::string_view message) {
    std::cerr << "orv-cli: error: " << TerminalText(message) << '\n';
}

void PrintWarning(std::string_view message) {
    std::cerr << "orv-cli: warning: " << TerminalText(message) << '\n';
}

void PrintWarnings(const std::vector<std::string>& warnings) {
    for (const auto& w : warnings) PrintWarning(w);
}

bool OpenConfig(const std::string& path, EditorState& state) {
    const ReadConfigResult r = ReadConfigFile(path, state.s.rec, state.s.moduleTypes, state.image);
    if (!r.ok) {
        PrintError(r.error);
        return false;
    }
    PrintWarnings(r.warnings);
    return true;
}

bool SaveConfigFile(const std::string& path, ConfigRecord& rec, const ModuleTypes& moduleTypes,
                    Image& image, bool keepHistory) {
    BeforeReplacing keep = nullptr;
    HistoryCopy kept;
    if (keepHistory)
        keep = [&path, &kept](std::string_view oldBytes, std::string_view newBytes) {
            History history;
            kept =
                history.KeepBeforeSave(FileSubject(SplitFilePath(path).name), oldBytes, newBytes);
            if (!kept.ok)
                PrintWarning(kept.error + " '" + path +
                             "' was replaced without a copy of what it held.");
        };
    const WriteConfigResult w =
        WriteConfigFile(path, rec, moduleTypes, image, MainWindowCaption(), keep);
    if (!w.ok) {
        // The file was not replaced: its copy would stand for a save that never happened.
        if (kept.ok && !kept.path.empty()) {
            std::error_code ec;
            std::filesystem::remove(
                std::filesystem::path(std::u8string(kept.path.begin(), kept.path.end())), ec);
        }
        PrintError(w.error);
        return false;
    }
    PrintWarnings(w.warnings);
    return true;
}

bool SaveConfig(const std::string& path, EditorState& state) {
    return SaveConfigFile(path, state.s.rec, state.s.moduleTypes, state.image);
}

int PrintHelp(std::string_view text) {
    std::cout << text;
    return kExitOk;
}

}  // namespace orv::cli
