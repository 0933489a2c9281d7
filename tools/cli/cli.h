// Shared pieces of the orv-cli commands: exit statuses, argument parsing, messages.
//
// A command is a function taking the arguments after its name and returning the exit status.
// It handles its own --help. Register it with one line in the table in main.cpp.
#pragma once

#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "image/image.h"
#include "model/defaults.h"

namespace orv::cli {

using CommandArgs = std::vector<std::string>;
using CommandFn = int (*)(const CommandArgs&);

struct Command {
    std::string_view name;
    std::string_view summary;  // one line for "orv-cli --help"
    CommandFn run;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work could not be done (message on stderr)
inline constexpr int kExitUsage = 2;    // the command line is wrong

// Thrown by argument handling; the dispatcher prints it with a hint and exits with kExitUsage.
class UsageError : public std::runtime_error {
  public:
    UsageError(std::string command, const std::string& message)
        : std::runtime_error(message), command_(std::move(command)) {}
    const std::string& command() const { return command_; }

  private:
    std::string command_;
};

// An option that takes a value: every spelling of it ("-o", "--output") and the name it is
// stored under. A flag takes no value; when given, its name is stored with the value "1".
struct OptionSpec {
    std::vector<std::string_view> spellings;
    std::string_view name;
    bool flag = false;
};

struct ParsedArgs {
    bool help = false;
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> options;

    const std::string* Option(std::string_view name) const {
        const auto it = options.find(name);
        return it == options.end() ? nullptr : &it->second;
    }
    bool Flag(std::string_view name) const { return Option(name) != nullptr; }
};

// Splits the arguments into positional ones and options ("-o X", "--output X", "--output=X").
// "-h"/"--help" sets help; "--" ends the options. Unknown options, a missing value and an option
// given twice are usage errors.
ParsedArgs ParseArgs(std::string_view command, const CommandArgs& args,
                     std::initializer_list<OptionSpec> specs);

// Checks the number of positional arguments (usage error otherwise).
void ExpectPositional(std::string_view command, const ParsedArgs& args, std::size_t count,
                      std::string_view what);
// The value of a required option; a usage error "missing <description>" when it is absent.
const std::string& RequireOption(std::string_view command, const ParsedArgs& args,
                                 std::string_view name, std::string_view description);

// "orv-cli: error: ..." / "orv-cli: warning: ..." on standard error.
void PrintError(std::string_view message);
void PrintWarning(std::string_view message);
void PrintWarnings(const std::vector<std::string>& warnings);

// What the editor holds: the record with its module types, and the image (zero at start).
struct EditorState {
    StartupState s = MakeStartupState();
    Image image{};
};

// Opens a file as File > Open does; prints the error or the warnings.
bool OpenConfig(const std::string& path, EditorState& state);
// Saves as File > Save As does; prints the error or the warnings. An existing file that held
// another configuration is kept in the history first ("before save"), unless keepHistory is
// false (--no-history); a copy that cannot be kept is one warning.
bool SaveConfigFile(const std::string& path, ConfigRecord& rec, const ModuleTypes& moduleTypes,
                    Image& image, bool keepHistory = true);
bool SaveConfig(const std::string& path, EditorState& state);
// Prints a command's help text and returns kExitOk.
int PrintHelp(std::string_view text);

}  // namespace orv::cli
