#include "fleet_report.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/quote.h"
#include "link/exchanges.h"
#include "model/lists.h"
#include "model/rules.h"

namespace orv::cli {
namespace {

std::string Plural(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", s);
    return text;
}

// The outcome of every unit with this result, as the summary counts it.
std::string CountWords(FleetAction action, UnitResult result) {
    const bool write = action == FleetAction::kWrite;
    switch (result) {
        case UnitResult::kDone:
            return action == FleetAction::kStatus   ? "reachable"
                   : action == FleetAction::kBackup ? "backed up"
                   : action == FleetAction::kCheck  ? "same"
                                                    : "written and verified";
        case UnitResult::kDifferent:
            return "different";
        case UnitResult::kFailed:
            return action == FleetAction::kStatus   ? "not reachable"
                   : action == FleetAction::kBackup ? "not backed up"
                   : action == FleetAction::kCheck  ? "not read"
                                                    : "not written";
        case UnitResult::kPartly:
            return "partly written";
        case UnitResult::kUnverified:
            return "written, not verified";
        case UnitResult::kStopped:
            return write ? "not written (stopped)" : "stopped";
        case UnitResult::kNotStarted:
            return "not started";
        case UnitResult::kWaiting:
            return "waiting";
        case UnitResult::kRunning:
            return "running";
    }
    return {};
}

// The CSS class of a result, for the page.
std::string_view ResultClass(UnitResult result) {
    switch (result) {
        case UnitResult::kDone:
            return "done";
        case UnitResult::kDifferent:
        case UnitResult::kPartly:
        case UnitResult::kUnverified:
            return "warn";
        case UnitResult::kFailed:
        case UnitResult::kStopped:
            return "bad";
        default:
            return "none";
    }
}

std::string ModulesText(const ModuleTypes& types) {
    std::string text;
    for (int b = 0; b < kBanks; ++b) text += (b ? ", " : "") + std::to_string(types[b]);
    return text;
}

// "Bank 1: Type 15: 16-Channel Opto-Isolated DC Voltage Input Module", one per bank.
std::vector<std::string> ModuleNames(const ModuleTypes& types) {
    std::vector<std::string> names;
    for (int b = 0; b < kBanks; ++b) {
        const std::string_view name = ModuleTypeName(types[b]);
        names.push_back("Bank " + std::to_string(b + 1) + ": " +
                        (name.empty() ? "type " + std::to_string(types[b]) : std::string(name)));
    }
    return names;
}

std::string BlocksText(int blocks) {
    return "up to " + std::to_string(blocks) + " of " + std::to_string(kConfigBlocks);
}

// A message of several lines as lines.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

// Text from a unit or a file for the page: markup escaped, and control characters shown by
// their code (\x1B) as on the terminal, never passed to whatever reads the page.
std::string Html(std::string_view raw) {
    const std::string text = TerminalText(raw);
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool HasDetails(const UnitRecord& u) {
    return !u.differences.empty() || !u.errors.empty() || !u.warnings.empty() || u.ignored > 0;
}

// Where the unit's copies are: the backup or history copy, and the file saved (backup --into).
std::vector<std::string> CopyLines(FleetAction action, const UnitRecord& u) {
    std::vector<std::string> lines;
    if (!u.copy.empty())
        lines.push_back((action == FleetAction::kWrite ? "Backed up first to " : "Kept in ") +
                        u.copy);
    if (!u.saved.empty()) lines.push_back("Saved to " + u.saved);
    return lines;
}

std::string CopiesHtml(FleetAction action, const UnitRecord& u) {
    std::string cell;
    for (const auto& line : CopyLines(action, u)) cell += (cell.empty() ? "" : "<br>") + Html(line);
    return cell;
}

std::string IgnoredLine(const FleetRecord& record, const UnitRecord& u) {
    std::string names;
    for (const auto& n : record.ignore) names += (names.empty() ? "" : ",") + n;
    return Plural(static_cast<std::size_t>(u.ignored), "difference", "differences") +
           " left out (--ignore " + names + ")";
}

}  // namespace

std::string_view ActionName(FleetAction action) {
    switch (action) {
        case FleetAction::kStatus:
            return "status";
        case FleetAction::kBackup:
            return "backup";
        case FleetAction::kCheck:
            return "check";
        case FleetAction::kWrite:
            return "write";
    }
    return {};
}

std::string OutcomeWords(FleetAction action, const UnitRecord& unit) {
    switch (unit.result) {
        case UnitResult::kRunning:
            return unit.phase +
                   (unit.progress >= 0 ? " " + std::to_string(unit.progress) + "%" : std::string());
        case UnitResult::kDifferent:
            return "differs in " + Plural(unit.differences.size(), "place", "places") +
                   " (file -> unit)";
        case UnitResult::kPartly:
            return "partly written (" + BlocksText(unit.blocksHeld) + ")";
        default:
            return CountWords(action, unit.result);
    }
}

std::vector<std::string> UnitLines(const FleetRecord& record, std::size_t k) {
    const InventoryUnit& unit = record.units[k];
    const UnitRecord& u = record.results[k];
    std::vector<std::string> lines{
        unit.name + " (" + unit.device +
        (u.result == UnitResult::kNotStarted ? "" : ", " + Seconds(u.seconds)) +
        "): " + OutcomeWords(record.action, u)};
    auto detail = [&lines](const std::string& text) {
        for (const auto& l : SplitLines(text)) lines.push_back("    " + l);
    };
    if (record.action == FleetAction::kStatus && u.result == UnitResult::kDone) {
        detail("Version line 1: " + u.firmware[0]);
        detail("Version line 2: " + u.firmware[1]);
        detail("Modules: " + ModulesText(u.modules));
    }
    for (const auto& d : u.differences) detail(d);
    if (u.ignored > 0) detail(IgnoredLine(record, u));
    for (const auto& e : u.errors) detail(e);
    for (const auto& w : u.warnings) detail("warning: " + w);
    for (const auto& c : CopyLines(record.action, u)) detail(c);
    return lines;
}

std::string Summary(const FleetRecord& record) {
    std::vector<std::size_t> counts(static_cast<std::size_t>(UnitResult::kNotStarted) + 1);
    for (const auto& u : record.results) ++counts[static_cast<std::size_t>(u.result)];
    std::string text = Plural(record.units.size(), "unit", "units") + ":";
    bool first = true;
    for (std::size_t r = 0; r < counts.size(); ++r) {
        if (counts[r] == 0) continue;
        text += (first ? " " : ", ") + std::to_string(counts[r]) + " " +
                CountWords(record.action, static_cast<UnitResult>(r));
        first = false;
    }
    text += ".";
    if (!record.interrupted) return text;
    text += "\nStopped by Ctrl+C.";
    if (record.action != FleetAction::kWrite) return text;
    // What each unit holds now: the new configuration, a mix, or what it held before.
    std::string written, partly, untouched;
    for (std::size_t k = 0; k < record.units.size(); ++k) {
        const UnitRecord& u = record.results[k];
        const std::string& name = record.units[k].name;
        if (u.result == UnitResult::kDone || u.result == UnitResult::kUnverified)
            written += (written.empty() ? "" : ", ") + name;
        else if (u.result == UnitResult::kPartly || u.blocksHeld > 0)
            partly +=
                (partly.empty() ? "" : ", ") + name + " (" + BlocksText(u.blocksHeld) + " blocks)";
        else
            untouched += (untouched.empty() ? "" : ", ") + name;
    }
    if (!written.empty()) text += "\nWritten: " + written + ".";
    if (!partly.empty())
        text +=
            "\nPartly written, holding a mix of the old and the new configuration (write "
            "them again): " +
            partly + ".";
    if (!untouched.empty()) text += "\nUntouched: " + untouched + ".";
    return text;
}

std::string FleetJson(const FleetRecord& record) {
    using nlohmann::ordered_json;
    ordered_json j;
    j["format"] = "orv-cli-fleet/1";
    j["command"] = ActionName(record.action);
    j["inventory"] = record.inventory;
    j["started"] = record.started;
    if (!record.ignore.empty()) j["ignore"] = record.ignore;
    j["interrupted"] = record.interrupted;
    j["exit_status"] = record.exitStatus;
    ordered_json summary = ordered_json::object();
    for (const auto& u : record.results) {
        const std::string words = CountWords(record.action, u.result);
        summary[words] = summary.value(words, 0) + 1;
    }
    j["summary"] = summary;
    ordered_json units = ordered_json::array();
    for (std::size_t k = 0; k < record.units.size(); ++k) {
        const InventoryUnit& unit = record.units[k];
        const UnitRecord& u = record.results[k];
        ordered_json o;
        o["name"] = unit.name;
        o["device"] = unit.device;
        o["line"] = unit.line;
        o["baud"] = unit.baud;
        o["format"] = unit.format;
        if (!unit.goldenAsWritten.empty()) o["golden"] = unit.golden;
        o["outcome"] = CountWords(record.action, u.result);
        o["firmware"] = u.firmwareKnown ? ordered_json(u.firmware) : ordered_json(nullptr);
        o["modules"] = u.modulesKnown ? ordered_json(u.modules) : ordered_json(nullptr);
        o["seconds"] = std::round(u.seconds * 10) / 10;
        o["finished"] = u.finished;
        o["differences"] = u.differences;
        if (u.ignored > 0) o["differences_ignored"] = u.ignored;
        o["errors"] = u.errors;
        o["warnings"] = u.warnings;
        if (!u.copy.empty()) o["history_copy"] = u.copy;
        if (!u.saved.empty()) o["saved"] = u.saved;
        if (u.blocksHeld >= 0) {
            // Every block sent counts as written: the unit may have taken it unacknowledged.
            o["blocks_written"] = u.blocksHeld;
            o["blocks_acknowledged"] = u.blocksAccepted;
        }
        ordered_json extra = ordered_json::object();
        // Two columns of one name are both kept: the second as "NAME (2)".
        for (const auto& [name, value] : unit.extra) {
            std::string key = name;
            for (int n = 2; extra.contains(key); ++n) key = name + " (" + std::to_string(n) + ")";
            extra[key] = value;
        }
        o["columns"] = extra;
        units.push_back(std::move(o));
    }
    j["units"] = std::move(units);
    // Texts from a unit or a file that are not UTF-8 are shown, not refused.
    return JsonForTerminal(j.dump(2, ' ', false, ordered_json::error_handler_t::replace)) + "\n";
}

std::string JsonForTerminal(std::string dumped) {
    std::string out;
    out.reserve(dumped.size());
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        const auto c = static_cast<unsigned char>(dumped[i]);
        const bool c1 = c == 0xC2 && i + 1 < dumped.size() &&
                        (static_cast<unsigned char>(dumped[i + 1]) & 0xE0) == 0x80;
        if (c == 0x7F || c1) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x",
                          c1 ? static_cast<unsigned char>(dumped[++i]) : c);
            out += code;
        } else {
            out += dumped[i];
        }
    }
    return out;
}

std::string RefusedFleetJson(FleetAction action, const std::string& inventory,
                             const std::vector<std::string>& problems, int exitStatus) {
    using nlohmann::ordered_json;
    ordered_json j;
    j["format"] = "orv-cli-fleet/1";
    j["command"] = ActionName(action);
    j["inventory"] = inventory;
    j["refused"] = problems;
    j["exit_status"] = exitStatus;
    j["units"] = ordered_json::array();
    return JsonForTerminal(j.dump(2, ' ', false, ordered_json::error_handler_t::replace)) + "\n";
}

std::string FleetHtml(const FleetRecord& record) {
    const std::string title = "ORV Pro units: " + std::string(ActionName(record.action)) + " of " +
                              SplitLines(record.inventory).front();
    std::string h =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
        Html(title) +
        "</title>\n<style>\n"
        "body{font-family:system-ui,\"Segoe UI\",Helvetica,Arial,sans-serif;margin:2em;"
        "color:#111}\n"
        "h1{font-size:1.4em;margin-bottom:.2em}h2{font-size:1.1em;margin:1.2em 0 .3em}\n"
        "p.meta{color:#444;margin-top:0}\n"
        "table{border-collapse:collapse;width:100%}\n"
        "th,td{border:1px solid #999;padding:.3em .5em;text-align:left;vertical-align:top}\n"
        "th{background:#eee}\n"
        ".done{background:#e2f2e2}.warn{background:#fff0c2}.bad{background:#f6d3d6}"
        ".none{background:#eee}\n"
        "ul{margin:.2em 0}li{font-family:ui-monospace,Consolas,monospace;font-size:.92em}\n"
        "td{overflow-wrap:anywhere}\n"
        "@media print{body{margin:0;font-size:10pt}a{color:inherit;text-decoration:none}"
        "thead{display:table-header-group}tr,section{break-inside:avoid}"
        "*{-webkit-print-color-adjust:exact;print-color-adjust:exact}}\n"
        "</style>\n</head>\n<body>\n<h1>" +
        Html(title) + "</h1>\n<p class=\"meta\">Started " + Html(record.started) + ". " +
        Html(Summary(record)) + "</p>\n";
    if (!record.ignore.empty()) {
        std::string names;
        for (const auto& n : record.ignore) names += (names.empty() ? "" : ", ") + n;
        h += "<p class=\"meta\">Left out of the comparison: " + Html(names) + ".</p>\n";
    }
    // The headings in <thead>, which a browser repeats at the top of every printed page.
    h += "<table>\n<thead>\n<tr><th>Unit</th><th>Device</th><th>Outcome</th><th>Firmware</th>"
         "<th>Modules</th><th>Copies</th><th>Time</th></tr>\n</thead>\n<tbody>\n";
    for (std::size_t k = 0; k < record.units.size(); ++k) {
        const InventoryUnit& unit = record.units[k];
        const UnitRecord& u = record.results[k];
        const std::string anchor = "unit-" + std::to_string(k + 1);
        std::string modules;
        if (u.modulesKnown)
            for (const auto& m : ModuleNames(u.modules))
                modules += (modules.empty() ? "" : "<br>") + Html(m);
        h += "<tr class=\"" + std::string(ResultClass(u.result)) + "\"><td>" +
             (HasDetails(u) ? "<a href=\"#" + anchor + "\">" + Html(unit.name) + "</a>"
                            : Html(unit.name)) +
             "</td><td>" + Html(unit.device) + "</td><td>" + Html(OutcomeWords(record.action, u)) +
             "</td><td>" +
             (u.firmwareKnown ? Html(u.firmware[0]) + "<br>" + Html(u.firmware[1]) : "") +
             "</td><td>" + modules + "</td><td>" + CopiesHtml(record.action, u) + "</td><td>" +
             (u.result == UnitResult::kNotStarted
                  ? ""
                  : Html(u.finished) + " (" + Seconds(u.seconds) + ")") +
             "</td></tr>\n";
    }
    h += "</tbody>\n</table>\n";
    for (std::size_t k = 0; k < record.units.size(); ++k) {
        const UnitRecord& u = record.results[k];
        if (!HasDetails(u)) continue;
        h += "<section id=\"unit-" + std::to_string(k + 1) + "\">\n<h2>" +
             Html(record.units[k].name) + ": " + Html(OutcomeWords(record.action, u)) +
             "</h2>\n<ul>\n";
        for (const auto& d : u.differences) h += "<li>" + Html(d) + "</li>\n";
        if (u.ignored > 0) h += "<li>" + Html(IgnoredLine(record, u)) + "</li>\n";
        for (const auto& e : u.errors)
            for (const auto& l : SplitLines(e)) h += "<li>" + Html(l) + "</li>\n";
        for (const auto& w : u.warnings)
            for (const auto& l : SplitLines("warning: " + w)) h += "<li>" + Html(l) + "</li>\n";
        for (const auto& c : CopyLines(record.action, u)) h += "<li>" + Html(c) + "</li>\n";
        h += "</ul>\n</section>\n";
    }
    return h + "</body>\n</html>\n";
}

}  // namespace orv::cli
