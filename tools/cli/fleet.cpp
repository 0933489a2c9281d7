#include "fleet.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>

#include "base/latin1.h"
#include "base/local_time.h"
#include "base/log.h"
#include "base/quote.h"
#include "files/config_file.h"
#include "files/profile.h"
#include "fleet_display.h"
#include "fleet_report.h"
#include "inventory.h"
#include "model/defaults.h"
#include "model/identity.h"
#include "platform.h"
#include "report/report.h"
#include "stoppable_port.h"
#include "unit_link.h"

namespace orv::cli {
namespace {

const OptionSpec kJobs{{"-j", "--jobs"}, "jobs"};
const OptionSpec kReport{{"--report"}, "report"};
const OptionSpec kJson{{"--json"}, "json", true};
const OptionSpec kIgnore{{"--ignore"}, "ignore"};
const OptionSpec kInto{{"--into"}, "into"};
const OptionSpec kYes{{"-y", "--yes"}, "yes", true};
const OptionSpec kConnectTimeout{{"--connect-timeout"}, "connect-timeout"};
const OptionSpec kVerbose{{"-v", "--verbose"}, "verbose", true};

constexpr int kDefaultJobs = 16;
constexpr int kMaxJobs = 256;
// The status after Ctrl+C, as a shell gives a program that the signal ended.
constexpr int kExitInterrupted = 130;
// Files and sockets a unit at work may hold (a device server's connection and its wake-ups, or a
// serial line and its thread's), and those the program holds besides.
constexpr std::size_t kFilesPerUnit = 8;
constexpr std::size_t kFilesBesides = 64;
// Units at work shown in the live block at most; the rest are counted.
constexpr std::size_t kMaxBlockUnits = 20;

constexpr std::string_view kFleetHelp =
    "Usage: orv-cli fleet status UNITS.csv [OPTIONS]\n"
    "       orv-cli fleet backup UNITS.csv [--into DIR] [OPTIONS]\n"
    "       orv-cli fleet check UNITS.csv [--ignore FIELD,...] [OPTIONS]\n"
    "       orv-cli fleet write UNITS.csv [--yes] [OPTIONS]\n"
    "\n"
    "Runs one command on every unit of an inventory, several units at once:\n"
    "\n"
    "  status   connect to each unit: reachable or why not, its version lines and modules\n"
    "  backup   read each unit into the history (event 'backup', named by the unit's\n"
    "           name); with --into DIR also as DIR/NAME.ORV\n"
    "  check    read each unit and compare it with its golden file, as 'orv-cli verify'\n"
    "           does (the version lines and the MAC address are not compared)\n"
    "  write    write each unit's golden file, backing the unit up first and reading it\n"
    "           back after; asks first, and never writes a unit whose module types\n"
    "           differ from its golden file's\n"
    "\n"
    "UNITS.csv is a CSV file (UTF-8) whose first row names the columns: name,device,baud,\n"
    "format,golden. device is COMn, a device path, tcp://HOST:PORT or rfc2217://HOST:PORT;\n"
    "baud defaults to 9600 and format to N,8,1 (in double quotes, \"N,8,1\", or as N81);\n"
    "golden, the signed-off .ORV, is taken from the CSV's folder unless its path is\n"
    "absolute. Other columns are kept and ignored. A wrong row is reported with its line\n"
    "number and nothing is started.\n"
    "\n"
    "  -j, --jobs N         units at work at once (default 16); units on one device or\n"
    "                       device server port run one after another\n"
    "      --report FILE.html  write the outcome as one web page, readable printed\n"
    "      --json           print the outcome as JSON on standard output (unit lines go\n"
    "                       to standard error)\n"
    "      --ignore FIELDS  check: leave these fields of the differences out, by the\n"
    "                       names of their lines in lower case joined by '-', e.g.\n"
    "                       ip,rs485-address (a name covers the fields it begins)\n"
    "      --into DIR       backup: also save each unit as DIR/NAME.ORV\n"
    "  -y, --yes            write: do not ask first\n"
    "      --connect-timeout SECONDS\n"
    "                       time to reach a device server (default 3)\n"
    "  -v, --verbose        print the activity log, each line headed by its unit\n"
    "  -h, --help           show this help\n"
    "\n"
    "On a terminal each unit at work is shown with its progress; elsewhere a unit's lines\n"
    "are printed when it ends. One unit failing never stops the others. Ctrl+C (or\n"
    "SIGTERM, SIGHUP) starts no further unit and stops the units still connecting or\n"
    "being read; units being written finish their Write unless Ctrl+C is pressed again;\n"
    "the end says which units were written, partly written (up to how many blocks: a\n"
    "block sent counts, acknowledged or not) or left untouched.\n"
    "\n"
    "Exit status: check 0 all the same, 1 some differ, 2 some could not be read (2 wins);\n"
    "status, backup and write 0 when every unit was done, 1 otherwise; 2 wrong usage, a\n"
    "report that cannot be written where asked (checked before any unit is touched) or\n"
    "a wrong inventory (check); 130 stopped by Ctrl+C.\n";

struct FleetOptions {
    FleetAction action = FleetAction::kStatus;
    std::string inventory;
    int jobs = kDefaultJobs;
    std::string report;
    bool json = false;
    std::vector<std::string> ignore;
    std::string into;
    bool yes = false;
    std::optional<std::chrono::milliseconds> connectTimeout;
    bool verbose = false;
};

std::string Now(const char* format) {
    const std::tm local = LocalTime(std::time(nullptr));
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

// A golden file, opened once for all the units that name it.
struct Golden {
    EditorState state;
    std::string error;
    std::vector<std::string> warnings;
};

class FleetRun;

// One unit's messages and progress, kept with its result.
class UnitOutput : public LinkOutput {
  public:
    UnitOutput(FleetRun& run, std::size_t unit) : run_(run), unit_(unit) {}
    void Error(const std::string& text) override;
    void Warning(const std::string& text) override;
    void Note(const std::string& text) override { Warning(text); }
    void Progress(int value, bool visible) override;
    int errors = 0;

  private:
    FleetRun& run_;
    std::size_t unit_;
    int shownProgress_ = -1;
};

thread_local const std::string* tUnitName = nullptr;  // the unit this thread works on

class FleetRun {
  public:
    FleetRun(FleetOptions options, Inventory inventory, std::map<std::string, Golden> goldens)
        : options_(std::move(options)),
          goldens_(std::move(goldens)),
          display_(StandardErrorIsTerminal()) {
        record_.action = options_.action;
        record_.inventory = options_.inventory;
        record_.ignore = options_.ignore;
        record_.units = std::move(inventory.units);
        record_.results.resize(record_.units.size());
        for (std::size_t k = 0; k < record_.units.size(); ++k)
            stopsAt_.push_back(std::make_unique<std::atomic<int>>(1));
        std::map<std::string, std::size_t> groupOf;
        for (std::size_t k = 0; k < record_.units.size(); ++k) {
            const auto [it, fresh] = groupOf.emplace(record_.units[k].deviceKey, groups_.size());
            if (fresh) groups_.emplace_back();
            groups_[it->second].push_back(k);
        }
    }

    int Run();

    // What a unit's output reports, under the run's lock.
    template <typename F>
    void Change(std::size_t k, F&& change, FleetDisplay::Draw when = FleetDisplay::Draw::kSoon) {
        const std::lock_guard lock(mutex_);
        change(record_.results[k]);
        if (!display_.Live()) return;
        // The block is made only when it is to be drawn: a unit's progress changes every few
        // blocks, and making the lines of every unit each time cost more than the link.
        if (when == FleetDisplay::Draw::kSoon && !display_.DrawDue())
            blockStale_ = true;
        else
            Refresh(when);
    }

  private:
    void Worker();
    void RunUnit(std::size_t k);
    void Status(std::size_t k, Link& link, UnitOutput& out);
    void Backup(std::size_t k, Link& link, UnitOutput& out);
    void Check(std::size_t k, Link& link, UnitOutput& out);
    void Write(std::size_t k, Link& link, UnitOutput& out);
    void Firmware(std::size_t k, const std::array<std::string, 2>& lines, const ModuleTypes& types);
    void Finish(std::size_t k, UnitResult result);
    void LoadGolden(std::size_t k, Link& link);
    bool SaveInto(std::size_t k, Link& link, UnitOutput& out);
    void OnInterrupt();
    std::vector<std::string> Block() const;
    // Hands the display the block as it is now (under the lock).
    void Refresh(FleetDisplay::Draw when) {
        display_.Update(Block(), when);
        blockStale_ = false;
    }
    // Lines that stay, with the block beneath brought up to date first (under the lock).
    void PrintLines(const std::vector<std::string>& lines, std::FILE* to) {
        if (blockStale_) Refresh(FleetDisplay::Draw::kWithNextPrint);
        display_.Print(lines, to);
    }
    std::FILE* LinesStream() const { return options_.json ? stderr : stdout; }
    int ExitStatus() const;

    FleetOptions options_;
    std::map<std::string, Golden> goldens_;
    std::mutex mutex_;  // guards record_ and display_
    FleetRecord record_;
    FleetDisplay display_;
    bool blockStale_ = false;  // the display holds an older block than the record's
    std::vector<std::vector<std::size_t>> groups_;  // units by device, in the inventory's order
    std::atomic<std::size_t> nextGroup_{0};
    std::atomic<int> stopLevel_{0};  // Ctrl+C presses
    std::vector<std::unique_ptr<std::atomic<int>>> stopsAt_;
    HistoryKeeper history_;
};

void UnitOutput::Error(const std::string& text) {
    ++errors;
    run_.Change(unit_, [&](UnitRecord& u) { u.errors.push_back(text); });
}

void UnitOutput::Warning(const std::string& text) {
    run_.Change(unit_, [&](UnitRecord& u) { u.warnings.push_back(text); });
}

void UnitOutput::Progress(int value, bool visible) {
    // Told after every block; the bar moves by a whole percent every few.
    if (visible && value == shownProgress_) return;
    shownProgress_ = visible ? value : -1;
    run_.Change(unit_, [&](UnitRecord& u) {
        if (visible) {
            if (u.phase == "connecting") u.phase = "reading";
            u.progress = value;
        } else {
            // A Write's blocks have all gone; what follows is its read-back.
            if (u.phase == "writing" && u.progress > 0) u.phase = "verifying";
            u.progress = -1;
        }
    });
}

std::vector<std::string> FleetRun::Block() const {
    std::vector<std::string> lines;
    std::size_t running = 0, waiting = 0, done = 0;
    std::size_t nameWidth = 0;
    for (std::size_t k = 0; k < record_.units.size(); ++k)
        if (record_.results[k].result == UnitResult::kRunning)
            nameWidth = std::max(nameWidth, record_.units[k].name.size());
    for (std::size_t k = 0; k < record_.units.size(); ++k) {
        const UnitRecord& u = record_.results[k];
        if (u.result == UnitResult::kWaiting) {
            ++waiting;
        } else if (u.result != UnitResult::kRunning) {
            ++done;
        } else if (++running <= kMaxBlockUnits) {
            const std::string& name = record_.units[k].name;
            std::string line = "  " + name + std::string(nameWidth - name.size() + 2, ' ') +
                               OutcomeWords(record_.action, u);
            if (u.progress >= 0) {
                constexpr std::size_t kWords = 18;
                constexpr int kBar = 20;
                const int filled = u.progress * kBar / 100;
                const std::size_t words = OutcomeWords(record_.action, u).size();
                line += std::string(words < kWords ? kWords - words : 1, ' ') + "[" +
                        std::string(filled, '#') + std::string(kBar - filled, ' ') + "]";
            }
            lines.push_back(line);
        }
    }
    if (running > kMaxBlockUnits)
        lines.push_back("  ... and " + std::to_string(running - kMaxBlockUnits) + " more");
    lines.push_back(std::to_string(done) + " of " + std::to_string(record_.units.size()) +
                    " done, " + std::to_string(running) + " at work, " + std::to_string(waiting) +
                    " waiting" + (stopLevel_ > 0 ? "; stopping" : "; Ctrl+C stops"));
    return lines;
}

void FleetRun::OnInterrupt() {
    const int level = ++stopLevel_;
    const std::lock_guard lock(mutex_);
    std::size_t writing = 0;
    for (std::size_t k = 0; k < record_.units.size(); ++k)
        if (record_.results[k].result == UnitResult::kRunning && *stopsAt_[k] == 2) ++writing;
    std::string text;
    if (level == 1) {
        text = "Stopping (Ctrl+C): no further unit is started";
        text += writing == 0 ? "."
                             : "; " + std::to_string(writing) +
                                   (writing == 1 ? " unit being written finishes its"
                                                 : " units being written finish their") +
                                   " Write. Press Ctrl+C again to stop " +
                                   (writing == 1 ? "it" : "them") + " at once, partly written.";
    } else if (level == 2 && writing > 0) {
        text =
            "Stopping the Writes at once (Ctrl+C again): the units being written will hold "
            "part of the new configuration.";
    }
    Refresh(FleetDisplay::Draw::kWithNextPrint);
    display_.Print(text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text},
                   stderr);
}

void FleetRun::Firmware(std::size_t k, const std::array<std::string, 2>& lines,
                        const ModuleTypes& types) {
    Change(k, [&](UnitRecord& u) {
        u.firmware = {Latin1ToUtf8(lines[0]), Latin1ToUtf8(lines[1])};
        u.firmwareKnown = true;
        u.modules = types;
        u.modulesKnown = true;
    });
}

void FleetRun::Status(std::size_t k, Link& link, UnitOutput& out) {
    const bool connected = link.Connect();
    if (link.session->LastVersion().modulesRead)
        Firmware(k, link.session->LastVersion().lines, link.session->LastVersion().moduleTypes);
    Finish(k, connected && out.errors == 0 ? UnitResult::kDone : UnitResult::kFailed);
}

void FleetRun::Backup(std::size_t k, Link& link, UnitOutput& out) {
    const std::string& name = record_.units[k].name;
    bool kept = false;
    link.customize = [&](UnitSessionHooks& hooks) {
        hooks.unitImageRead = [&](const UnitContents& held) {
            Firmware(k, held.versionLines, held.moduleTypes);
            const HistoryCopy copy = history_.With([&](History& h) {
                return h.KeepBackup(held.versionLines, held.moduleTypes, held.image, name);
            });
            if (!copy.ok) {
                // With --into the backup still has a place of its own.
                if (options_.into.empty())
                    out.Error(copy.error + " The unit was read but not backed up.");
                else
                    out.Warning(copy.error + " The backup goes to " + options_.into + " only.");
                return;
            }
            kept = true;
            Change(k, [&](UnitRecord& u) { u.copy = copy.path; });
        };
    };
    link.MakeSession();
    const bool read = ReadUnit(link);
    const bool saved = read && !options_.into.empty() && SaveInto(k, link, out);
    Finish(k, read && (kept || saved) && out.errors == 0 ? UnitResult::kDone : UnitResult::kFailed);
}

bool FleetRun::SaveInto(std::size_t k, Link& link, UnitOutput& out) {
    Change(k, [](UnitRecord& u) { u.phase = "saving"; });
    const std::string file = record_.units[k].name + ".ORV";
    const char last = options_.into.back();
#ifdef _WIN32
    const std::string separator = last == '\\' || last == '/' ? "" : "\\";
#else
    const std::string separator = last == '/' ? "" : "/";
#endif
    const std::string path = options_.into + separator + file;
    // Saving over an older backup of the unit keeps what it held, as every save does.
    const BeforeReplacing keep = [&](std::string_view oldBytes, std::string_view newBytes) {
        const HistoryCopy copy = history_.With(
            [&](History& h) { return h.KeepBeforeSave(FileSubject(file), oldBytes, newBytes); });
        if (!copy.ok)
            out.Warning(copy.error + " '" + path +
                        "' was replaced without a copy of what it held.");
    };
    const WriteConfigResult w = WriteConfigFile(path, link.state.rec, link.state.moduleTypes,
                                                link.image, MainWindowCaption(), keep);
    if (!w.ok) {
        out.Error(w.error);
        return false;
    }
    for (const auto& warning : w.warnings) out.Warning(warning);
    Change(k, [&](UnitRecord& u) { u.saved = path; });
    return true;
}

void FleetRun::Check(std::size_t k, Link& link, UnitOutput& out) {
    const InventoryUnit& unit = record_.units[k];
    LoadGolden(k, link);
    const auto lines = CompareUnit(link, unit.goldenAsWritten);
    if (const auto& held = link.session->LastUnitContents())
        Firmware(k, held->versionLines, held->moduleTypes);
    if (!lines || out.errors != 0) {
        Finish(k, UnitResult::kFailed);
        return;
    }
    Change(k, [&](UnitRecord& u) {
        for (const auto& line : *lines) {
            const std::string field = DifferenceField(line);
            const bool ignored = std::any_of(
                options_.ignore.begin(), options_.ignore.end(),
                [&](const std::string& n) { return field == n || field.starts_with(n + "-"); });
            if (ignored)
                ++u.ignored;
            else
                u.differences.push_back(line);
        }
    });
    const bool same = record_.results[k].differences.empty();
    Finish(k, same ? UnitResult::kDone : UnitResult::kDifferent);
}

void FleetRun::Write(std::size_t k, Link& link, UnitOutput&) {
    const InventoryUnit& unit = record_.units[k];
    LoadGolden(k, link);
    link.sentSubject = unit.name;
    std::string backup;
    link.customize = [&](UnitSessionHooks& hooks) {
        hooks.sizeReported = [&](const SizeReport&) {
            Change(k, [](UnitRecord& u) { u.phase = "backing up"; });
        };
        hooks.keepBackup = [&](const UnitContents& held) -> std::string {
            Firmware(k, held.versionLines, held.moduleTypes);
            const HistoryCopy copy = history_.With([&](History& h) {
                return h.KeepBackup(held.versionLines, held.moduleTypes, held.image, unit.name);
            });
            if (!copy.ok) return copy.error;
            backup = copy.path;
            Change(k, [&](UnitRecord& u) { u.copy = copy.path; });
            // A press that came before the first block stops the unit untouched; from the first
            // block on (the unit's port sees it go) only a second press stops it.
            if (stopLevel_ >= 1) return "Stopped by Ctrl+C before writing.";
            Change(k, [](UnitRecord& u) { u.phase = "writing"; });
            return {};
        };
        hooks.lastUnitCopy = [&backup](const WrittenUnit&) { return UnitCopyHint{backup, {}}; };
    };
    link.MakeSession();
    WriteToUnit(link, unit.goldenAsWritten, OtherModules::kRefuse, {true, true}, nullptr);
    const int accepted = link.session->LastBlocksAccepted();
    // A block that went out counts as possibly taken, its acknowledgement read or not (Ctrl+C
    // twice cuts the wait for it, a line lost it).
    const int held = static_cast<const StoppablePort&>(*link.wrapped).BlocksPossiblyTaken();
    UnitResult result = UnitResult::kFailed;
    switch (link.session->LastWriteEnd()) {
        case WriteEnd::kVerified:
        case WriteEnd::kWritten:
            result = UnitResult::kDone;
            break;
        case WriteEnd::kDifferent:
        case WriteEnd::kNotVerified:
        case WriteEnd::kVerifyStopped:
            result = UnitResult::kUnverified;
            break;
        case WriteEnd::kStopped:
            result = held > 0 ? UnitResult::kPartly : UnitResult::kFailed;
            break;
        case WriteEnd::kNothingSent:
            break;
    }
    if (link.session->LastWriteEnd() != WriteEnd::kNothingSent || held > 0)
        Change(k, [&](UnitRecord& u) {
            u.blocksAccepted = accepted;
            u.blocksHeld = std::max(held, accepted);
        });
    Finish(k, result);
}

// Sets the result of a unit whose flow has ended; the time and the lines are added by RunUnit.
void FleetRun::Finish(std::size_t k, UnitResult result) {
    Change(k, [&](UnitRecord& u) { u.result = result; });
}

// The unit's golden file as the editor holds it once opened; the PC's port, rate and format stay
// the unit's.
void FleetRun::LoadGolden(std::size_t k, Link& link) {
    const Golden& golden = goldens_.at(record_.units[k].golden);
    const PortSelection port = PortSelectionOf(link.state.rec);
    link.state = golden.state.s;
    link.image = golden.state.image;
    link.state.rec.lstComPort = port.comPort;
    link.state.rec.lstBaudPC = port.baudRate;
    link.state.rec.lstPCFormat = port.format;
}

void FleetRun::RunUnit(std::size_t k) {
    const InventoryUnit& unit = record_.units[k];
    const auto start = std::chrono::steady_clock::now();
    Change(
        k,
        [](UnitRecord& u) {
            u.result = UnitResult::kRunning;
            u.phase = "connecting";
        },
        FleetDisplay::Draw::kNow);
    tUnitName = &unit.name;
    UnitOutput out(*this, k);
    try {
        LinkOptions options = unit.link;
        options.connectTimeout = options_.connectTimeout;
        options.manyAtOnce = true;
        options.stopped = [this, k] { return stopLevel_.load() >= stopsAt_[k]->load(); };
        Link link(options, out, [this, k](SerialPort& inner) {
            return std::make_unique<StoppablePort>(inner, stopLevel_, *stopsAt_[k]);
        });
        link.history = &history_;
        switch (options_.action) {
            case FleetAction::kStatus:
                Status(k, link, out);
                break;
            case FleetAction::kBackup:
                Backup(k, link, out);
                break;
            case FleetAction::kCheck:
                Check(k, link, out);
                break;
            case FleetAction::kWrite:
                Write(k, link, out);
                break;
        }
    } catch (const std::exception& e) {
        out.Error(e.what());
        Finish(k, UnitResult::kFailed);
    }
    tUnitName = nullptr;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool stopped = stopLevel_.load() >= stopsAt_[k]->load();
    const std::lock_guard lock(mutex_);
    UnitRecord& u = record_.results[k];
    u.seconds = seconds;
    u.finished = Now("%H:%M:%S");
    u.phase.clear();
    u.progress = -1;
    if (stopped && u.result != UnitResult::kDone && u.result != UnitResult::kDifferent) {
        // What the link said of the line it lost is no news: Ctrl+C cut it.
        if (u.result == UnitResult::kPartly) {
            u.errors = {"Stopped by Ctrl+C after " + std::to_string(u.blocksHeld) + " of the " +
                        std::to_string(kConfigBlocks) +
                        " blocks were sent: the unit may hold up to " +
                        std::to_string(u.blocksHeld) +
                        " blocks of the new configuration and the old one in the rest, a mix. "
                        "Write it again, or write its backup back" +
                        (u.copy.empty() ? std::string(".") : ": " + u.copy)};
            u.warnings.clear();
        } else if (u.result == UnitResult::kUnverified) {
            u.errors = {
                "Stopped by Ctrl+C while the unit was read back: it took every block, "
                "but was not verified."};
            u.warnings.clear();
        } else {
            u.result = UnitResult::kStopped;
            u.errors = {options_.action == FleetAction::kWrite
                            ? "Stopped by Ctrl+C before anything was written."
                            : "Stopped by Ctrl+C."};
        }
    }
    Refresh(FleetDisplay::Draw::kWithNextPrint);
    display_.Print(UnitLines(record_, k), LinesStream());
}

void FleetRun::Worker() {
    for (;;) {
        const std::size_t g = nextGroup_++;
        if (g >= groups_.size()) return;
        for (const std::size_t k : groups_[g]) {
            if (stopLevel_ > 0) {
                const std::lock_guard lock(mutex_);
                record_.results[k].result = UnitResult::kNotStarted;
                Refresh(FleetDisplay::Draw::kWithNextPrint);
                display_.Print(UnitLines(record_, k), LinesStream());
                continue;
            }
            RunUnit(k);
        }
    }
}

int FleetRun::ExitStatus() const {
    if (stopLevel_ > 0) return kExitInterrupted;
    bool failed = false, different = false;
    for (const auto& u : record_.results) {
        failed = failed || (u.result != UnitResult::kDone && u.result != UnitResult::kDifferent);
        different = different || u.result == UnitResult::kDifferent;
    }
    if (options_.action == FleetAction::kCheck) return failed ? 2 : different ? 1 : kExitOk;
    return failed ? kExitFailure : kExitOk;
}

int FleetRun::Run() {
    record_.started = Now("%Y-%m-%d %H:%M:%S");
    std::size_t jobs = std::min<std::size_t>(options_.jobs, groups_.size());
    // Fewer at once rather than units failing for want of a file.
    const std::size_t files = AllowOpenFiles(jobs * kFilesPerUnit + kFilesBesides);
    if (const std::size_t fit = files > kFilesBesides ? (files - kFilesBesides) / kFilesPerUnit : 1;
        fit < jobs) {
        PrintWarning("the system lets orv-cli open " + std::to_string(files) +
                     " files, enough for " + std::to_string(fit) + " units at once, not " +
                     std::to_string(jobs) + "; running " +
                     std::to_string(std::max<std::size_t>(fit, 1)) +
                     " at once (ulimit -n raises the limit).");
        jobs = std::max<std::size_t>(fit, 1);
    }
    {
        const std::lock_guard lock(mutex_);
        Refresh(FleetDisplay::Draw::kNow);
    }
    {
        const auto watch = WatchInterrupts([this] { OnInterrupt(); });
        LogSink before;
        if (options_.verbose)
            before = SetLogSink([this](std::string_view line) {
                const std::string text =
                    (tUnitName ? *tUnitName + ": " : std::string()) + std::string(line);
                const std::lock_guard lock(mutex_);
                PrintLines({text}, stderr);
            });
        std::vector<std::thread> workers;
        for (std::size_t j = 0; j < jobs; ++j) {
            try {
                workers.emplace_back(&FleetRun::Worker, this);
            } catch (const std::system_error& e) {
                // The system gives no more threads: the ones made share the units.
                const std::lock_guard lock(mutex_);
                PrintLines({"orv-cli: warning: " + std::to_string(jobs) +
                            " units at once were asked, but the system gave only " +
                            std::to_string(workers.size()) + " threads (" + e.what() + ")."},
                           stderr);
                break;
            }
        }
        if (workers.empty()) Worker();
        for (auto& w : workers) w.join();
        if (options_.verbose) SetLogSink(before);
    }
    const std::lock_guard lock(mutex_);
    display_.End();
    record_.interrupted = stopLevel_ > 0;
    record_.exitStatus = ExitStatus();
    if (!options_.report.empty()) {
        if (const FileIoResult w = WriteFileAtomically(options_.report, FleetHtml(record_));
            !w.ok) {
            PrintError("Cannot write the report '" + options_.report + "': " + w.error + ".");
            if (record_.exitStatus == kExitOk) record_.exitStatus = kExitFailure;
        }
    }
    display_.Print({Summary(record_)}, LinesStream());
    const auto [made, held, limit] = history_.With([](History& h) {
        return std::tuple{h.CopiesMade(), h.LastCount(), h.Limit()};
    });
    if (held > limit)
        display_.Print(
            {"The history holds " + std::to_string(held) + " copies, more than the " +
             std::to_string(limit) + " it keeps as a rule: this run made " + std::to_string(made) +
             ", and neither a running command's copies nor the newest copy of each "
             "unit are ever removed. Older copies go as later commands make room."},
            LinesStream());
    if (options_.json) {
        std::cout << FleetJson(record_) << std::flush;
        if (!std::cout) PrintError("Cannot write to standard output.");
    }
    return record_.exitStatus;
}

std::optional<FleetAction> ActionNamed(std::string_view name) {
    for (const FleetAction a :
         {FleetAction::kStatus, FleetAction::kBackup, FleetAction::kCheck, FleetAction::kWrite})
        if (ActionName(a) == name) return a;
    return std::nullopt;
}

// The --ignore names, each a field of the differences or the first words of some.
std::vector<std::string> IgnoredFields(const std::string& list) {
    const std::vector<std::string> fields = DifferenceFieldNames();
    std::vector<std::string> names;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : name)
            if (c == ' ' || c == '_') c = '-';
        const bool known =
            !name.empty() && std::any_of(fields.begin(), fields.end(), [&](const std::string& f) {
                return f == name || f.starts_with(name + "-");
            });
        if (!known) {
            std::string all;
            for (const auto& f : fields) all += (all.empty() ? "" : ", ") + f;
            throw UsageError("fleet", "'" + name +
                                          "' names no field of the differences; use these or "
                                          "the words they begin with: " +
                                          all);
        }
        names.push_back(name);
        if (comma == std::string::npos) return names;
        start = comma + 1;
    }
}

FleetOptions ParseFleetOptions(const CommandArgs& args, bool& help) {
    const ParsedArgs a = ParseArgs(
        "fleet", args, {kJobs, kReport, kJson, kIgnore, kInto, kYes, kConnectTimeout, kVerbose});
    help = a.help;
    FleetOptions o;
    if (help) return o;
    if (a.positional.empty())
        throw UsageError("fleet", "missing what to do: status, backup, check or write");
    const auto action = ActionNamed(a.positional[0]);
    if (!action)
        throw UsageError("fleet", "'" + a.positional[0] +
                                      "' is not a fleet command; use status, backup, check or "
                                      "write");
    o.action = *action;
    const std::string command = "fleet " + a.positional[0];
    if (a.positional.size() < 2) throw UsageError(command, "missing the inventory (UNITS.csv)");
    if (a.positional.size() > 2)
        throw UsageError(command, "unexpected argument '" + a.positional[2] + "'");
    o.inventory = a.positional[1];
    if (const std::string* j = a.Option("jobs")) {
        char* end = nullptr;
        const long n = std::strtol(j->c_str(), &end, 10);
        if (j->empty() || *end != '\0' || n < 1 || n > kMaxJobs)
            throw UsageError(command, "'" + *j + "' is not a number of jobs; give 1 to " +
                                          std::to_string(kMaxJobs));
        o.jobs = static_cast<int>(n);
    }
    auto only = [&](std::string_view option, FleetAction forAction) {
        if (a.Option(option) && o.action != forAction)
            throw UsageError(command, "--" + std::string(option) + " is for 'fleet " +
                                          std::string(ActionName(forAction)) + "' only");
    };
    only("ignore", FleetAction::kCheck);
    only("into", FleetAction::kBackup);
    only("yes", FleetAction::kWrite);
    if (const std::string* r = a.Option("report")) o.report = *r;
    if (const std::string* i = a.Option("ignore")) o.ignore = IgnoredFields(*i);
    if (const std::string* d = a.Option("into")) {
        if (d->empty()) throw UsageError(command, "--into needs a folder");
        o.into = *d;
    }
    o.json = a.Flag("json");
    o.yes = a.Flag("yes");
    o.verbose = a.Flag("verbose");
    o.connectTimeout = ParseLinkOptions(command, a).connectTimeout;
    return o;
}

// Why the report could not be written where asked ("" when it can): checked before any unit is
// touched, so that a run is never done for a report that cannot be kept.
std::string ReportPlaceProblem(const std::string& report) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto path = [](const std::string& utf8) {
        return fs::path(std::u8string(utf8.begin(), utf8.end()));
    };
    std::string folder = SplitFilePath(report).directory;
    if (SplitFilePath(report).name.empty()) return "it names a folder, not a file";
    if (folder.empty()) folder = ".";
    if (!fs::is_directory(path(folder), ec)) return "there is no folder " + folder;
    if (fs::is_directory(path(report), ec)) return "it is a folder";
    if (fs::exists(path(report), ec) &&
        (fs::status(path(report), ec).permissions() & fs::perms::owner_write) == fs::perms::none)
        return "it is read-only";
    // A file made and removed again says whether the folder takes new files.
    const std::string probe =
        (folder.back() == '/' || folder.back() == '\\' ? folder : folder + "/") + ".orv-report-" +
        std::to_string(std::time(nullptr)) + ".tmp";
    const FileIoResult w = WriteNewFile(probe, "");
    if (!w.ok && !w.taken) return w.error;
    fs::remove(path(probe), ec);
    return {};
}

// Asks before a fleet write; true when the user says yes.
bool Confirmed(const std::vector<InventoryUnit>& units) {
    std::cerr << (units.size() == 1 ? "This unit"
                                    : "These " + std::to_string(units.size()) + " units")
              << " will be written, "
              << (units.size() == 1 ? "backed up to the history first and read back after:\n"
                                    : "each backed up to the history first and read back after:\n");
    for (const auto& u : units)
        std::cerr << TerminalText("  " + u.name + " (" + u.device + ") <- " + u.goldenAsWritten)
                  << '\n';
    std::cerr << (units.size() == 1 ? "Write it? [y/N] " : "Write them? [y/N] ") << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::cerr << '\n';
        return false;
    }
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

}  // namespace

int RunFleet(const CommandArgs& args) {
    bool help = false;
    FleetOptions options = ParseFleetOptions(args, help);
    if (help) return PrintHelp(kFleetHelp);
    // Before anything else: no unit is touched for a report that cannot be kept.
    if (!options.report.empty()) {
        if (const std::string problem = ReportPlaceProblem(options.report); !problem.empty()) {
            PrintError("Cannot write the report '" + options.report + "': " + problem +
                       ". Nothing was started.");
            return kExitUsage;
        }
    }
    // A wrong inventory is trouble for check, where 1 means "different".
    const int refused = options.action == FleetAction::kCheck ? 2 : kExitFailure;
    const bool needGolden =
        options.action == FleetAction::kCheck || options.action == FleetAction::kWrite;
    Inventory inventory = ReadInventory(options.inventory, needGolden);
    std::map<std::string, Golden> goldens;
    for (const auto& u : inventory.units) {
        if (!needGolden) break;
        if (u.golden.empty()) continue;  // said already: the unit names no golden file
        const auto [it, fresh] = goldens.try_emplace(u.golden);
        if (fresh) {
            const ReadConfigResult r =
                ReadConfigFile(u.golden, it->second.state.s.rec, it->second.state.s.moduleTypes,
                               it->second.state.image);
            if (!r.ok) it->second.error = r.error;
            it->second.warnings = r.warnings;
            if (r.ok) PrintWarnings(r.warnings);
        }
        if (!it->second.error.empty())
            inventory.problems.push_back("line " + std::to_string(u.line) + ": " +
                                         it->second.error);
    }
    if (!inventory.problems.empty()) {
        // In the order of the file's lines, whichever check found them.
        auto lineOf = [](const std::string& p) {
            return p.starts_with("line ") ? std::atoi(p.c_str() + 5) : 0;
        };
        std::stable_sort(
            inventory.problems.begin(), inventory.problems.end(),
            [&](const std::string& a, const std::string& b) { return lineOf(a) < lineOf(b); });
        std::string text = "the inventory '" + options.inventory +
                           "' was refused and nothing was "
                           "started (" +
                           std::to_string(inventory.problems.size()) +
                           (inventory.problems.size() == 1 ? " problem" : " problems") + "):";
        for (const auto& p : inventory.problems) text += "\n  " + p;
        PrintError(text);
        if (options.json)
            std::cout << RefusedFleetJson(options.action, options.inventory, inventory.problems,
                                          refused)
                      << std::flush;
        return refused;
    }

    if (!options.into.empty()) {
        std::error_code ec;
        const std::filesystem::path into(std::u8string(options.into.begin(), options.into.end()));
        std::filesystem::create_directories(into, ec);
        if (ec || !std::filesystem::is_directory(into, ec)) {
            PrintError("Cannot save backups in '" + options.into +
                       "': " + (ec ? ec.message() : std::string("it is not a folder")) +
                       ". Nothing was started.");
            return kExitFailure;
        }
    }
    if (options.action == FleetAction::kWrite && !options.yes && !Confirmed(inventory.units)) {
        PrintError("Nothing was written (give --yes to write without being asked).");
        return kExitFailure;
    }
    // The serial lines want their application object made here, on the main thread, before any
    // unit's thread opens one.
    UserComPortLookup();
    FleetRun run(std::move(options), std::move(inventory), std::move(goldens));
    return run.Run();
}

}  // namespace orv::cli
