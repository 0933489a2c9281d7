#include "history_command.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>

#include "base/latin1.h"
#include "base/quote.h"
#include "files/config_file.h"
#include "files/history.h"
#include "model/addresses.h"
#include "model/defaults.h"

namespace orv::cli {
namespace {

constexpr std::string_view kHistoryHelp =
    "Usage: orv-cli history\n"
    "       orv-cli history --units [--stale DAYS]\n"
    "\n"
    "Lists the copies of configurations kept in the history folder, newest first: when, what\n"
    "happened, the unit or file, and where the copy is. The editor and orv-cli keep them,\n"
    "without asking; the newest 1000 are kept, and besides them always the copies made\n"
    "by a command still running and the newest copy of each unit.\n"
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
    "With --units, lists the units the history has seen, one per line: by the MAC\n"
    "address its read and backup copies hold (a unit that still holds the editor's\n"
    "default, 50:46:4A:00:00:00, or none, goes by the name of its copies), with its\n"
    "firmware lines and its last read, last write and last backup. A write sends no MAC\n"
    "address, so a write copy goes to the unit whose copy of the same name came last\n"
    "before it (the backup a fleet write makes first). A unit with no read or backup\n"
    "copy within DAYS days is marked (a read keeps all the unit held, as a backup does).\n"
    "The history never removes a unit's newest copy, so every unit seen stays listed.\n"
    "\n"
    "      --units       list the units instead of the copies\n"
    "      --stale DAYS  mark units not backed up within DAYS days (default 90)\n"
    "  -h, --help        show this help\n";

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

// A unit as the history knows it: by its MAC address, or by the name of its copies.
struct SeenUnit {
    std::string mac;
    std::set<std::string> names;
    std::array<std::string, 2> firmware;
    std::string firmwareTime;  // of the copy the firmware lines come from
    std::string lastRead, lastWrite, lastBackup;
    bool lastWriteUnverified = false;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Whole days from a copy's local time ("2026-12-08 14:03:22") to now.
long DaysSince(const std::string& time) {
    std::tm tm{};
    if (std::sscanf(time.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 6)
        return 0;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const std::time_t then = std::mktime(&tm);
    return then == -1 ? 0 : static_cast<long>(std::difftime(std::time(nullptr), then) / 86400);
}

int ListUnits(const History& history, long staleDays) {
    std::map<std::string, SeenUnit> units;  // by "mac ..." or "name ..."
    auto noteWrite = [](SeenUnit& u, const HistoryEntry& e) {
        u.names.insert(e.subject);
        if (e.time > u.lastWrite) {
            u.lastWrite = e.time;
            u.lastWriteUnverified = e.event == history_event::kWriteUnverified;
        }
    };
    // Oldest first: a write belongs to the unit whose copy of the same name came last before it
    // (the backup a fleet write makes first), or else to the next one read; a unit replaced by
    // another of the same name keeps its own writes.
    std::map<std::string, std::string> lastUnitNamed;                   // lower name -> unit key
    std::map<std::string, std::vector<const HistoryEntry*>> unclaimed;  // lower name -> writes
    const std::vector<HistoryEntry> entries = history.List();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const HistoryEntry& e = *it;
        const std::string name = Lower(e.subject);
        if (e.event == history_event::kWrite || e.event == history_event::kWriteUnverified) {
            if (const auto owner = lastUnitNamed.find(name); owner != lastUnitNamed.end())
                noteWrite(units[owner->second], e);
            else
                unclaimed[name].push_back(&e);
            continue;
        }
        if (e.event != history_event::kRead && e.event != history_event::kBackup) continue;
        // A copy that no longer opens still says the unit was seen, by its name.
        StartupState s = MakeStartupState();
        Image image{};
        const bool opened = ReadConfigFile(e.path, s.rec, s.moduleTypes, image).ok;
        const auto mac = opened ? OwnMacAddress(image) : std::nullopt;
        const std::string key = mac ? "mac " + *mac : "name " + name;
        SeenUnit& u = units[key];
        if (mac) u.mac = *mac;
        u.names.insert(e.subject);
        std::string& last = e.event == history_event::kRead ? u.lastRead : u.lastBackup;
        last = std::max(last, e.time);
        if (opened && e.time >= u.firmwareTime) {
            u.firmwareTime = e.time;
            u.firmware = {Latin1ToUtf8(s.rec.txtVer[0]), Latin1ToUtf8(s.rec.txtVer[1])};
        }
        lastUnitNamed[name] = key;
        if (const auto waiting = unclaimed.find(name); waiting != unclaimed.end()) {
            for (const HistoryEntry* w : waiting->second) noteWrite(u, *w);
            unclaimed.erase(waiting);
        }
    }
    // Units only ever written: by their name.
    for (const auto& [name, writes] : unclaimed)
        for (const HistoryEntry* w : writes) noteWrite(units["name " + name], *w);
    std::cout << "History folder: " << history.folder() << '\n';
    if (units.empty()) {
        std::cout << "No unit was read, backed up or written yet.\n";
        return kExitOk;
    }
    std::vector<std::array<std::string, 6>> rows{
        {"Unit", "Firmware", "Last read", "Last write", "Last backup", ""}};
    std::size_t stale = 0;
    for (const auto& [key, u] : units) {
        std::string names;
        for (const auto& n : u.names) names += (names.empty() ? "" : ", ") + n;
        const std::string label = u.mac.empty() ? names : u.mac + " (" + names + ")";
        const std::string newest = std::max(u.lastRead, u.lastBackup);
        std::string mark;
        if (newest.empty()) {
            mark = "never backed up";
        } else if (const long days = DaysSince(newest); days >= staleDays) {
            mark = "not backed up for " + std::to_string(days) + " days";
        }
        if (!mark.empty()) ++stale;
        auto orNone = [](const std::string& t) { return t.empty() ? std::string("-") : t; };
        rows.push_back({label,
                        u.firmware[0].empty() && u.firmware[1].empty()
                            ? "-"
                            : u.firmware[0] + " / " + u.firmware[1],
                        orNone(u.lastRead),
                        orNone(u.lastWrite) + (u.lastWriteUnverified ? " (unverified)" : ""),
                        orNone(u.lastBackup), mark.empty() ? "" : "STALE: " + mark});
    }
    std::array<std::size_t, 6> width{};
    for (const auto& r : rows)
        for (std::size_t c = 0; c < r.size(); ++c) width[c] = std::max(width[c], r[c].size());
    // Names and version lines come from units and files: shown, never obeyed by the terminal.
    for (const auto& r : rows) {
        std::string line;
        for (std::size_t c = 0; c < r.size(); ++c) line += Padded(r[c], width[c] + 2);
        line.erase(line.find_last_not_of(' ') + 1);
        std::cout << TerminalText(line) << '\n';
    }
    std::cout << units.size() << (units.size() == 1 ? " unit, " : " units, ") << stale
              << " not backed up within " << staleDays << (staleDays == 1 ? " day" : " days")
              << ".\n"
              << std::flush;
    if (!std::cout) {
        PrintError("Cannot write to standard output.");
        return kExitFailure;
    }
    return kExitOk;
}

const OptionSpec kUnits{{"--units"}, "units", true};
const OptionSpec kStale{{"--stale"}, "stale"};

}  // namespace

int RunHistory(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("history", args, {kUnits, kStale});
    if (a.help) return PrintHelp(kHistoryHelp);
    ExpectPositional("history", a, 0, "");
    if (a.Option("stale") && !a.Flag("units"))
        throw UsageError("history", "--stale goes with --units");
    if (a.Flag("units")) {
        long days = 90;
        if (const std::string* d = a.Option("stale")) {
            char* end = nullptr;
            days = std::strtol(d->c_str(), &end, 10);
            if (d->empty() || *end != '\0' || days < 0 || days > 36500)
                throw UsageError("history", "'" + *d +
                                                "' is not a number of days; give 0 to 36500, "
                                                "e.g. --stale 30");
        }
        return ListUnits(History(), days);
    }
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
