#include "report_commands.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <iostream>
#include <iterator>

#include "base/quote.h"
#include "files/config_file.h"
#include "files/profile.h"
#include "files/record_json.h"
#include "image/image.h"
#include "model/defaults.h"
#include "report/report.h"
#include "sheet_pdf.h"

namespace orv::cli {
namespace {

const OptionSpec kOutput{{"-o", "--output"}, "output"};
const OptionSpec kIgnoreVersions{{"--ignore-versions"}, "ignore-versions", true};
const OptionSpec kPdf{{"--pdf"}, "pdf"};
const OptionSpec kPaper{{"--paper"}, "paper"};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// Takes a flag out of the arguments (before a "--"); ParseArgs knows only options with values.
bool TakeFlag(CommandArgs& args, std::string_view flag) {
    bool found = false;
    for (auto it = args.begin(); it != args.end() && *it != "--";) {
        if (*it == flag) {
            found = true;
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    return found;
}

bool WriteOutput(const std::string* path, const std::string& text) {
    if (path) {
        if (const FileIoResult w = WriteFileAtomically(*path, text); !w.ok) {
            PrintError("Cannot write '" + *path + "': " + w.error + ".");
            return false;
        }
        return true;
    }
    std::cout << text << std::flush;
    if (!std::cout) {
        PrintError("Cannot write to standard output.");
        return false;
    }
    return true;
}

constexpr std::string_view kShowHelp =
    "Usage: orv-cli show IN.ORV [--json | --pdf OUT.pdf [--paper A4|Letter]]\n"
    "\n"
    "Opens the file as the editor does and prints the configuration as a technician reads it:\n"
    "firmware version and size, the ports, RS485 role, IP and MAC addresses, repeat times, pulse\n"
    "windows and options, then each bank with its module type: one line per channel and trigger\n"
    "state (captioned as the editor captions it) with RIC, function code, pager type, paging\n"
    "rate, repeat time and message, or one line per relay action with its RIC range, beep and\n"
    "time. A bank that is not fitted takes one line.\n"
    "\n"
    "With --pdf it writes the commissioning sheet instead, as the editor's File > Export PDF\n"
    "does: the file name, date printed, MAC address, firmware and module types, each fitted\n"
    "bank's channel or relay table, Comms, LAN, Pulse Timing, Options and the dictionary's size,\n"
    "with \"page n of m\" on every page, on A4 or, where the locale uses it, Letter paper.\n"
    "\n"
    "  --json           print the configuration record as JSON instead (as 'orv-cli export')\n"
    "  --pdf OUT.pdf    write the commissioning sheet to OUT.pdf instead\n"
    "  --paper SIZE     A4 or Letter, whatever the locale uses (with --pdf)\n"
    "  -h, --help       show this help\n";

constexpr std::string_view kDiffHelp =
    "Usage: orv-cli diff [--ignore-versions] A.ORV B.ORV\n"
    "\n"
    "Opens both files as the editor does and prints one line per difference, named as in the\n"
    "report, e.g. \"RS232 port: 9600 -> 19200\" or \"Bank 2 channel 5 SLOW: message 'X' -> 'Y'\".\n"
    "What cannot differ in meaning is not compared: the message dictionary, bytes the editor\n"
    "never reads, and fields the module type hides (banks not fitted, SLOW and FAST of a\n"
    "dry-contact bank). Where a bank's module type differs only what both types use is compared.\n"
    "\n"
    "Exit status: 0 the same, 1 different, 2 trouble (a file that does not open, wrong usage).\n"
    "\n"
    "  --ignore-versions  leave out the firmware version lines, which are the unit's, not its\n"
    "                     configuration (a file written to a unit and one read back from it)\n"
    "  -h, --help         show this help\n";

constexpr std::string_view kExportCsvHelp =
    "Usage: orv-cli export-csv IN.ORV [-o OUT.csv]\n"
    "\n"
    "Writes the channel table of the configuration for a spreadsheet (RFC 4180, UTF-8, CR LF):\n"
    "a header row \"Bank,Channel,State,RIC,RIC To,Function,Pager Type,Paging Rate,Repeat,\n"
    "Seconds,Message\", one row per channel state the editor shows and one per relay action\n"
    "(Close, Open, Toggle; Function holds the beep, Seconds the TMax or Repeat Filter).\n"
    "\n"
    "  -o, --output OUT.csv  the file to write (standard output when left out)\n"
    "  -h, --help            show this help\n";

constexpr std::string_view kImportCsvHelp =
    "Usage: orv-cli import-csv IN.ORV TABLE.csv -o OUT.ORV\n"
    "\n"
    "Opens IN.ORV as the editor does, applies the table and saves the result as Save As does.\n"
    "The table is a header row naming its columns (Bank, Channel and State are needed, any of\n"
    "the others may be left out) and any number of rows as 'orv-cli export-csv' writes them; a\n"
    "cell that equals what export wrote leaves its field alone. If any row is wrong the whole\n"
    "table is refused, every problem is listed with its row, column, value and reason, and\n"
    "nothing is saved. TABLE.csv may be '-' for standard input.\n"
    "\n"
    "  -o, --output OUT.ORV  the file to write\n"
    "  -h, --help            show this help\n";

int Diff(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("diff", args, {kIgnoreVersions});
    if (a.help) return PrintHelp(kDiffHelp);
    ExpectPositional("diff", a, 2, "the two configuration files to compare (A.ORV B.ORV)");
    EditorState first, second;
    if (!OpenConfig(a.positional[0], first) || !OpenConfig(a.positional[1], second)) return 2;
    // The unit's firmware, not its configuration: a file written and one read back differ there.
    if (a.Flag("ignore-versions")) second.s.rec.txtVer = first.s.rec.txtVer;
    const auto lines =
        ConfigDifferences(first.s.rec, first.s.moduleTypes, second.s.rec, second.s.moduleTypes);
    for (const auto& line : lines) std::cout << TerminalText(line) << '\n';
    std::cout << std::flush;
    if (!std::cout) {
        PrintError("Cannot write to standard output.");
        return 2;
    }
    return lines.empty() ? 0 : 1;
}

}  // namespace

int RunShow(const CommandArgs& args) {
    CommandArgs rest = args;
    const bool json = TakeFlag(rest, "--json");
    const ParsedArgs a = ParseArgs("show", rest, {kPdf, kPaper});
    if (a.help) return PrintHelp(kShowHelp);
    ExpectPositional("show", a, 1, "the configuration file to show (IN.ORV)");
    const std::string* pdf = a.Option("pdf");
    if (json && pdf) throw UsageError("show", "--json and --pdf cannot go together; choose one");
    Paper paper = Paper::kLocale;
    if (const std::string* p = a.Option("paper")) {
        if (!pdf) throw UsageError("show", "--paper goes with --pdf OUT.pdf");
        if (EqualNoCase(*p, "A4"))
            paper = Paper::kA4;
        else if (EqualNoCase(*p, "Letter"))
            paper = Paper::kLetter;
        else
            throw UsageError("show", "'" + *p + "' is not a paper size; use A4 or Letter");
    }
    EditorState state;
    if (!OpenConfig(a.positional[0], state)) return kExitFailure;
    if (pdf) return WriteSheetPdfFile(state, a.positional[0], *pdf, paper) ? kExitOk : kExitFailure;
    const std::string text =
        json ? RecordToJson(state.s.rec, state.s.moduleTypes, &state.image).dump(2) + "\n"
             : TerminalText(ConfigReport(state.s.rec, state.s.moduleTypes, a.positional[0]));
    return WriteOutput(nullptr, text) ? kExitOk : kExitFailure;
}

int RunDiff(const CommandArgs& args) {
    // Any failure is status 2 here: 1 means "different".
    try {
        return Diff(args);
    } catch (const UsageError&) {
        throw;  // the dispatcher prints it and exits with 2
    } catch (const std::exception& e) {
        PrintError(e.what());
        return 2;
    }
}

int RunExportCsv(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("export-csv", args, {kOutput});
    if (a.help) return PrintHelp(kExportCsvHelp);
    ExpectPositional("export-csv", a, 1, "the configuration file to export (IN.ORV)");
    EditorState state;
    if (!OpenConfig(a.positional[0], state)) return kExitFailure;
    return WriteOutput(a.Option("output"), ExportChannelTable(state.s.rec, state.s.moduleTypes))
               ? kExitOk
               : kExitFailure;
}

int RunImportCsv(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("import-csv", args, {kOutput});
    if (a.help) return PrintHelp(kImportCsvHelp);
    ExpectPositional("import-csv", a, 2,
                     "the configuration file and the table to apply (IN.ORV TABLE.csv)");
    const std::string& out =
        RequireOption("import-csv", a, "output", "the output file: -o OUT.ORV");
    const std::string& tablePath = a.positional[1];

    std::string table;
    if (tablePath == "-") {
        table.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (const FileIoResult r = ReadWholeFile(tablePath, table); !r.ok) {
        PrintError("Cannot read '" + tablePath + "': " + r.error + ".");
        return kExitFailure;
    }

    EditorState state;
    if (!OpenConfig(a.positional[0], state)) return kExitFailure;
    const TableImportResult r = ImportChannelTable(table, state.s.rec, state.s.moduleTypes);
    if (!r.ok) {
        std::string message = "the table '" + tablePath + "' was refused and nothing was saved (" +
                              std::to_string(r.problems.size()) +
                              (r.problems.size() == 1 ? " problem" : " problems") + "):";
        for (const auto& p : r.problems) message += "\n  " + p.Text();
        PrintError(message);
        return kExitFailure;
    }
    PrintWarnings(r.warnings);
    if (!SaveConfig(out, state)) return kExitFailure;
    std::cout << "Applied '" << tablePath << "': " << r.rows << (r.rows == 1 ? " row, " : " rows, ")
              << r.changed << (r.changed == 1 ? " value" : " values") << " changed; saved '" << out
              << "'.\n";
    return kExitOk;
}

}  // namespace orv::cli
