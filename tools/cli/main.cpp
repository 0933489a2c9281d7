// orv-cli: the headless companion of the editor. One table maps each command name to the function
// that runs it; a command gets the arguments after its name and returns the exit status.
#include <array>
#include <exception>
#include <iostream>
#include <string>

#include "base/log.h"
#include "base/quote.h"
#include "cli.h"
#include "file_commands.h"
#include "fleet.h"
#include "history_command.h"
#include "model/identity.h"
#include "platform.h"
#include "report_commands.h"
#include "unit_commands.h"

namespace {

using orv::cli::Command;

constexpr auto kCommands = std::to_array<Command>({
    {"new", "save the default configuration with the given module types", orv::cli::RunNew},
    {"export", "open a configuration file and write its record as JSON", orv::cli::RunExport},
    {"import", "build a configuration file from a JSON record", orv::cli::RunImport},
    {"resave", "open a configuration file and save it to another (Save As)", orv::cli::RunResave},
    {"size", "print how much of the unit's configuration area a file fills", orv::cli::RunSize},
    {"show", "print a configuration as a readable report (or --json)", orv::cli::RunShow},
    {"diff", "list the differences between two configuration files", orv::cli::RunDiff},
    {"export-csv", "write the channel table of a file for a spreadsheet", orv::cli::RunExportCsv},
    {"import-csv", "apply a channel table to a file and save the result", orv::cli::RunImportCsv},
    {"ports", "show what each COM port means here and the serial devices found",
     orv::cli::RunPorts},
    {"connect", "check that the unit answers; print its version lines and modules",
     orv::cli::RunConnect},
    {"autobaud", "search the baud rate at which the unit answers", orv::cli::RunAutoBaud},
    {"read", "read the unit's configuration into a file (as Read)", orv::cli::RunRead},
    {"write", "write a configuration file to the unit (as Write) and verify it",
     orv::cli::RunWrite},
    {"verify", "compare what the unit holds with a configuration file", orv::cli::RunVerify},
    {"write-mac", "write only the MAC address to the unit (as Write MAC)", orv::cli::RunWriteMac},
    {"mac-increment", "step the MAC address in a file to the next one", orv::cli::RunMacIncrement},
    {"reset", "tell the unit to restart (as Reset ORV)", orv::cli::RunReset},
    {"calibrate", "fetch the measured pulse times and print the suggested limits",
     orv::cli::RunCalibrate},
    {"history", "list the copies kept of configurations read, written or replaced",
     orv::cli::RunHistory},
    {"fleet", "status, backup, check or write every unit of an inventory, several at once",
     orv::cli::RunFleet},
});

void PrintUsage(std::ostream& out) {
    out << "Usage: orv-cli COMMAND [ARGUMENTS...]\n"
           "       orv-cli COMMAND --help\n"
           "\n"
           "The command-line companion of "
        << orv::kProgramTitle << ", version " << orv::VersionNumberText()
        << ".\n"
           "\n"
           "Commands:\n";
    std::size_t width = 0;
    for (const auto& c : kCommands) width = std::max(width, c.name.size());
    for (const auto& c : kCommands)
        out << "  " << c.name << std::string(width - c.name.size() + 2, ' ') << c.summary << '\n';
    out << "\n"
           "Exit status: 0 done, 1 failed (the reason is on standard error), 2 wrong usage.\n";
}

// The message may quote what was typed (a name, an option): shown, never obeyed by the terminal.
int UsageFailure(const std::string& command, const std::string& message) {
    const std::string named = orv::TerminalText(command.empty() ? "" : " " + command);
    std::cerr << "orv-cli" << named << ": " << orv::TerminalText(message) << '\n'
              << "Try 'orv-cli" << named << " --help'.\n";
    return orv::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // The activity log is for --verbose: standard error carries only what the user must read.
    orv::SetLogSink({});
    const orv::cli::CommandArgs args = orv::cli::ProgramArguments(argc, argv);
    if (args.empty()) {
        PrintUsage(std::cerr);
        return orv::cli::kExitUsage;
    }
    const std::string name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(std::cout);
        return orv::cli::kExitOk;
    }
    if (name == "--version") {
        std::cout << "orv-cli " << orv::VersionNumberText() << '\n';
        return orv::cli::kExitOk;
    }
    for (const auto& c : kCommands) {
        if (c.name != name) continue;
        try {
            return c.run(orv::cli::CommandArgs(args.begin() + 1, args.end()));
        } catch (const orv::cli::UsageError& e) {
            return UsageFailure(e.command(), e.what());
        } catch (const std::exception& e) {
            orv::cli::PrintError(e.what());
            return orv::cli::kExitFailure;
        }
    }
    return UsageFailure("", "unknown command '" + name + "'");
}
