#include "history_command.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "base/quote.h"
#include "files/history.h"

namespace orv::cli {
namespace {

constexpr std::string_view kHistoryHelp =
    "Usage: orv-cli history\n"
    "\n"
    "Lists the copies of configurations kept in the history folder, newest first: when, what\n"
    "happened, the unit or file, and where the copy is. The editor and orv-cli keep them,\n"
    "without asking; the newest 1000 are kept.\n"
    "\n"
    "  read               what the unit held, after a Read ('orv-cli read')\n"
    "  write              what was sent to the unit, after a Write ('orv-cli write') that\n"
    "                     the unit accepted and, when read back, held as sent\n"
    "  write-unverified   what was sent, after a Write whose read-back differed or stopped\n"
    "  backup             what the unit held just before a Write ('orv-cli write --backup')\n"
    "  before save        what a file held before Save (or an orv-cli -o OUT.ORV) replaced it\n"
    "                     with another configuration\n"
    "  before exit, before new, before clear form, before open, before read\n"
    "                     what the editor held when that action replaced it unsaved\n"
    "\n"
    "A copy is an ordinary configuration file. To get one back, open it in the editor\n"
    "(File > Open; the history folder is in the dialog's sidebar), write it to a unit with\n"
    "'orv-cli write COPY.ORV', or copy it elsewhere. Where a copy has a .json file beside it,\n"
    "the editor held values the unit could not store as typed:\n"
    "'orv-cli import COPY.json -o OUT.ORV' takes them back as they were.\n"
    "\n"
    "Copies are named by date, time, event and file or unit. A copy made from a copy is\n"
    "named by the original's file or unit and where it came from, e.g.\n"
    "'write untitled (from 2026-12-08 23.14.31 write)'.\n"
    "\n"
#ifdef _WIN32
    "The folder is %LOCALAPPDATA%\\orv-config\\history.\n"
#else
    "The folder is $XDG_DATA_HOME/orv-config/history (by default\n"
    "~/.local/share/orv-config/history).\n"
#endif
    "\n"
    "  -h, --help  show this help\n";

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

// Whether the record was kept beside the copy ("<same name>.json"); paths are UTF-8.
bool HasSidecar(const std::string& copyPath) {
    std::string sidecar = copyPath.substr(0, copyPath.rfind('.')) + ".json";
    std::error_code ec;
    return std::filesystem::exists(
        std::filesystem::path(std::u8string(sidecar.begin(), sidecar.end())), ec);
}

}  // namespace

int RunHistory(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("history", args, {});
    if (a.help) return PrintHelp(kHistoryHelp);
    ExpectPositional("history", a, 0, "");
    const History history;
    const std::vector<HistoryEntry> entries = history.List();
    std::cout << "History folder: " << history.folder() << '\n';
    if (entries.empty()) {
        std::cout << "No copies kept yet.\n";
        return kExitOk;
    }
    std::size_t eventWidth = 0, subjectWidth = 0;
    for (const auto& e : entries) {
        eventWidth = std::max(eventWidth, e.event.size());
        subjectWidth = std::max(subjectWidth, e.subject.size());
    }
    // Names made from a unit's version line may hold what a terminal would take as commands.
    for (const auto& e : entries)
        std::cout << TerminalText(e.time + "  " + Padded(e.event, eventWidth) + "  " +
                                  Padded(e.subject, subjectWidth) + "  " + e.path)
                  << (HasSidecar(e.path) ? "  (and .json)" : "") << '\n';
    std::cout << std::flush;
    if (!std::cout) {
        PrintError("Cannot write to standard output.");
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace orv::cli
