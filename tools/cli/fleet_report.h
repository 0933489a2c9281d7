// What a fleet run found, unit by unit, and the ways it is told: a line per unit with its details,
// the summary, the JSON for scripts and the HTML page for people and printers.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "inventory.h"
#include "model/record.h"

namespace orv::cli {

enum class FleetAction { kStatus, kBackup, kCheck, kWrite };
std::string_view ActionName(FleetAction action);  // "status", "backup", "check", "write"

enum class UnitResult {
    kWaiting,
    kRunning,
    kDone,        // reachable, backed up, the same as its golden file, written and verified
    kDifferent,   // check: differs from its golden file
    kUnverified,  // write: every block was taken, but the read-back differed or did not end
    kPartly,      // write: the unit took some blocks, then the Write stopped
    kFailed,      // not reached, not read, not backed up; write: nothing was written
    kStopped,     // Ctrl+C stopped it before it ended (write: before it wrote anything)
    kNotStarted,  // Ctrl+C came before its turn
};

struct UnitRecord {
    UnitResult result = UnitResult::kWaiting;
    std::string phase;                  // what it is doing now: "connecting", "reading", ...
    int progress = -1;                  // of the transfer under way, 0..100; -1 without one
    std::vector<std::string> errors;    // why it failed, in the link's words
    std::vector<std::string> warnings;  // worth a look
    std::vector<std::string> differences;
    int ignored = 0;                        // differences left out (--ignore)
    std::array<std::string, 2> firmware{};  // the version lines it reported (UTF-8)
    bool firmwareKnown = false;
    ModuleTypes modules{};
    bool modulesKnown = false;
    std::string copy;         // the copy kept in the history
    std::string saved;        // backup --into: the file saved
    int blocksAccepted = -1;  // write: blocks the unit acknowledged
    int blocksHeld = -1;      // write: blocks it may hold (every block sent, acknowledged or not)
    double seconds = 0;
    std::string finished;  // local time it ended, "14:03:22"
};

struct FleetRecord {
    FleetAction action = FleetAction::kStatus;
    std::string inventory;  // the CSV's path
    std::string started;    // local date and time, "2026-12-08 14:03:22"
    std::vector<std::string> ignore;
    bool interrupted = false;
    int exitStatus = 0;
    std::vector<InventoryUnit> units;
    std::vector<UnitRecord> results;  // one per unit, in the inventory's order
};

// The outcome in a few words: "same", "3 differences", "not read", "partly written".
std::string OutcomeWords(FleetAction action, const UnitRecord& unit);
// The lines a finished unit is told in: "NAME (DEVICE): OUTCOME (12.3 s)", then its details
// indented (version lines, modules, differences, reasons, warnings).
std::vector<std::string> UnitLines(const FleetRecord& record, std::size_t unit);
// How the run went, in one paragraph: the units by outcome; after Ctrl+C, which units were
// written, partly written or left untouched.
std::string Summary(const FleetRecord& record);
// The same facts for scripts and for people: JSON, and one self-contained HTML page.
std::string FleetJson(const FleetRecord& record);
std::string FleetHtml(const FleetRecord& record);
// The JSON of a run that never started: the inventory was refused for these problems.
std::string RefusedFleetJson(FleetAction action, const std::string& inventory,
                             const std::vector<std::string>& problems, int exitStatus);
// JSON text with the characters a terminal acts on escaped as \u00XX although JSON would let
// them through raw: DEL and the C1 controls (U+0080..U+009F; U+009B is a CSI).
std::string JsonForTerminal(std::string dumped);

}  // namespace orv::cli
