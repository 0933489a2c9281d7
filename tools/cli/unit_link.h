// One unit as the orv-cli commands drive it: the editor's state, the port (a serial line or a
// device server, traced when asked) and the session of the editor's buttons, set up from the link
// options; and the flows the commands share (connect, read, compare with a file, write a file).
// The single-unit commands print what happens as it happens; a fleet run gives every unit a link
// of its own and keeps each unit's messages with its result.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "files/history.h"
#include "files/unit_copies.h"
#include "link/comms.h"
#include "link/net/device_port.h"
#include "link/trace_port.h"
#include "link/unit_session.h"

namespace orv::cli {

// Where a link's messages go.
class LinkOutput {
  public:
    virtual ~LinkOutput() = default;
    virtual void Error(const std::string& text) = 0;  // the command fails
    virtual void Warning(const std::string& text) = 0;
    virtual void Note(const std::string& text) = 0;  // what was done (standard output)
    // The progress of a transfer, 0..100, shown or hidden.
    virtual void Progress(int value, bool visible) = 0;
};

// Prints at once: errors and warnings on standard error, notes on standard output, the progress
// bar on standard error when it is a terminal.
class ConsoleOutput : public LinkOutput {
  public:
    void Error(const std::string& text) override;
    void Warning(const std::string& text) override;
    void Note(const std::string& text) override;
    void Progress(int value, bool visible) override;

  private:
    void ClearBar();
    bool tty_ = false;
    bool ttyKnown_ = false;
    int shown_ = -1;
};

// The link options of a command line, checked.
struct LinkOptions {
    int com = 1;
    std::string device;  // a device or a device server's address instead of the COM port
    std::optional<int> baudPosition;    // in kBaudRateItems; the editor's default without one
    std::optional<int> formatPosition;  // in kFrameFormatItems
    std::optional<std::chrono::milliseconds> connectTimeout;
    bool manyAtOnce = false;        // one of many links driven at once (see NetLinkOptions)
    std::function<bool()> stopped;  // asked while a device server is being reached (Ctrl+C)
    std::string tracePath;
    bool verbose = false;
};
// The options of a command's arguments; a wrong one is a usage error.
LinkOptions ParseLinkOptions(const std::string& command, const ParsedArgs& args);

// What is wrong with the text of one option, or nullopt when it is right. Each says what to give
// instead.
std::optional<int> BaudPosition(std::string_view text, std::string* error);
std::optional<int> FormatPosition(std::string_view text, std::string* error);
std::string DeviceAddressProblem(const std::string& device);  // "" for a good one

// The history shared by the units of a run: copies are kept one at a time, and a copy of one
// unit is never pruned to make room for another's.
class HistoryKeeper {
  public:
    template <typename F>
    auto With(F&& use) {
        const std::lock_guard lock(mutex_);
        return use(history_);
    }

  private:
    std::mutex mutex_;
    History history_;
};

// The session's messages and progress, handed to a link's output.
class LinkUiOutput : public LinkUi {
  public:
    explicit LinkUiOutput(LinkOutput& out) : out_(out) {}
    int errors = 0;          // messages that failed the click
    std::string searchRate;  // during Auto Baud: the rate being tried

    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    void SetBusy(bool) override {}
    void SetProgress(int value, bool visible) override { out_.Progress(value, visible); }

  private:
    LinkOutput& out_;
};

// A port in front of the link's own (the fleet's stop on Ctrl+C).
using PortWrap = std::function<std::unique_ptr<SerialPort>(SerialPort& inner)>;

struct Link {
    Link(const LinkOptions& options, LinkOutput& out, const PortWrap& wrap = {});
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // The session with the hooks of Hooks(), changed by customize when set. Made by the
    // constructor; again after a change of customize or of what the hooks keep.
    void MakeSession();
    UnitSessionHooks Hooks();

    // Keeps copies in the user's history from now on (without it, nothing is kept).
    void KeepHistory();
    void UpdateWhere();
    // Checks that the unit answers, as the editor's connected state requires before the other
    // buttons; gives the reason when it does not.
    bool Probe();
    void NotAnswering(const std::optional<std::uint8_t>& reply);
    // Connect, as the editor's button does (the version lines and module types from the unit);
    // false, the reason given, when the unit is not connected afterwards.
    bool Connect();
    // Whether the unit still sends once asked nothing (a stream, not a reply); nullopt when the
    // line did not open again to look (OpenFailureMessage says why).
    std::optional<bool> StillSending();
    // Probes, then runs one of the session's buttons; false (the reason given) when the unit does
    // not answer or the click failed.
    bool ProbeAndClick(void (UnitSession::*click)());
    // Exit status after a click: failed when the session says so or an error was shown.
    int Status() const;
    void PrintServerSettings() const;
    void PrintVersion() const;
    // A copy that cannot be kept is one warning; the command goes on and its status stands.
    HistoryCopy Keep(std::string_view event, const std::string& subject, const Image& kept);

    LinkOutput& out;
    std::unique_ptr<DevicePort> line;
    std::FILE* traceFile = nullptr;
    std::unique_ptr<TraceSerialPort> trace;
    std::unique_ptr<SerialPort> wrapped;
    std::unique_ptr<Comms> comms;
    LinkUiOutput ui{out};
    StartupState state = MakeStartupState();
    Image image{};
    std::unique_ptr<UnitSession> session;
    ComPortLookup lookup;
    std::string where;                 // "/dev/ttyS0 at 9600,N,8,1"
    HistoryKeeper* history = nullptr;  // copies of what was read and written, when kept
    std::string sentSubject;           // the file a write sends, as its copy names it
    std::string backupPath;            // the backup made before a write (write --backup)
    std::function<void(UnitSessionHooks&)> customize;
    UnitCopies unitCopies;  // the copies of the unit this run kept, for a Write that stops
    std::optional<std::array<std::string, 2>> unitVersion;  // as the unit reported them

  private:
    std::optional<HistoryKeeper> ownHistory_;
};

// Connects and reads the whole EEPROM into the link's state, as Read does (the read copy kept by
// the hooks). False, the reason given, when the unit is not read.
bool ReadUnit(Link& link);

// Reads the unit into scratch (nothing is written or kept) and compares what it holds with the
// configuration of the link's state, named file, as the editor would write it: one line per
// difference (file -> unit). The firmware version lines and the MAC address are the unit's own and
// are not compared. nullopt, the reason given, when the unit was not read.
std::optional<std::vector<std::string>> CompareUnit(Link& link, const std::string& file);

// What a Write does where the unit's modules differ from the file's.
enum class OtherModules { kWarnAndWrite, kRefuse };
// Connects (to learn the unit's modules), then writes the configuration of the link's state, named
// file, as Write does, with the checks given; size receives the size report once the Write ran.
// False, the reason given, when the unit was not written as asked (the session says how far it
// got).
bool WriteToUnit(Link& link, const std::string& file, OtherModules otherModules,
                 const WriteChecks& checks, std::optional<SizeReport>* size);

// A file made for other modules than the unit reports: one warning naming each bank, in the words
// the editor uses when Connect changes its module types.
void WarnOfOtherModules(LinkOutput& out, const std::string& file, const ModuleTypes& fileTypes,
                        const ModuleTypes& unitTypes, const std::string& consequence);

}  // namespace orv::cli
