#include "unit_commands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "base/hex.h"
#include "base/latin1.h"
#include "base/log.h"
#include "base/quote.h"
#include "files/config_file.h"
#include "files/history.h"
#include "link/comms.h"
#include "link/device_address.h"
#include "link/exchanges.h"
#include "link/net/device_port.h"
#include "link/trace_port.h"
#include "link/unit_session.h"
#include "model/addresses.h"
#include "model/defaults.h"
#include "model/lists.h"
#include "model/rules.h"
#include "platform.h"
#include "report/report.h"

namespace orv::cli {
namespace {

const OptionSpec kPort{{"-p", "--port"}, "port"};
const OptionSpec kDevice{{"-d", "--device"}, "device"};
const OptionSpec kBaud{{"-b", "--baud"}, "baud"};
const OptionSpec kFormat{{"-f", "--format"}, "format"};
const OptionSpec kTrace{{"--trace"}, "trace"};
const OptionSpec kOutput{{"-o", "--output"}, "output"};
const OptionSpec kMac{{"--mac"}, "mac"};
const OptionSpec kMap{{"--map"}, "map"};
const OptionSpec kUnmap{{"--unmap"}, "unmap"};
const OptionSpec kVerbose{{"-v", "--verbose"}, "verbose", true};
const OptionSpec kNoHistory{{"--no-history"}, "no-history", true};
const OptionSpec kNoVerify{{"--no-verify"}, "no-verify", true};
const OptionSpec kBackup{{"--backup"}, "backup", true};
const OptionSpec kConnectTimeout{{"--connect-timeout"}, "connect-timeout"};

constexpr std::string_view kLinkOptionsHelp =
    "  -p, --port COMn      the PC serial port, COM1..COM16 (default COM1); on Linux COMn is\n"
    "                       /dev/ttyS<n-1> unless mapped to another device (see 'orv-cli ports')\n"
    "  -d, --device NAME    use this serial device or device server instead of a COM port:\n"
    "                       a path, tcp://HOST:PORT (raw TCP) or rfc2217://HOST:PORT (RFC 2217;\n"
    "                       an IPv6 address in brackets: rfc2217://[::1]:4001)\n"
    "      --connect-timeout SECONDS\n"
    "                       time to reach a device server and set up its port (default 3)\n"
    "  -b, --baud RATE      PC baud rate: 110 300 1200 2400 4800 9600 19200 38400 57600 115200\n"
    "                       (default 9600)\n"
    "  -f, --format P,D,S   PC serial format, parity N/E/O, data bits 5..8, stop bits 1/2\n"
    "                       (default N,8,1)\n"
    "      --trace FILE     write a timestamped hex trace of both directions to FILE\n"
    "  -v, --verbose        print the activity log (transfers, copies kept) on standard error\n"
    "  -h, --help           show this help\n";

constexpr std::string_view kNoHistoryHelp =
    "      --no-history     keep no copy in the history (see 'orv-cli history')\n";

// Messages go to standard error; the progress bar too, when it is a terminal.
class CliUi : public LinkUi {
  public:
    int errors = 0;
    std::string searchRate;  // during Auto Baud: the rate being tried

    void ShowMessage(const std::string& text, const std::string&, MessageIcon icon) override {
        ClearBar();
        if (!searchRate.empty() && text.starts_with(kUnableToOpenPort)) {
            // One rate of the search: the search goes on, so it is no failure of the command.
            PrintWarning("at " + searchRate + " baud: " + text);
        } else if (icon == MessageIcon::kWarning) {
            PrintWarning(text);
        } else if (icon == MessageIcon::kInformation) {
            std::cout << text << '\n';
        } else {
            PrintError(text);
            ++errors;
        }
    }
    void SetBusy(bool) override {}
    void SetProgress(int value, bool visible) override {
        if (!tty_) return;
        if (!visible) {
            ClearBar();
            return;
        }
        if (value == shown_) return;
        shown_ = value;
        const int width = 40;
        const int filled = value * width / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), value);
        std::fflush(stderr);
    }

  private:
    void ClearBar() {
        if (shown_ < 0) return;
        std::fprintf(stderr, "\r%50s\r", "");
        std::fflush(stderr);
        shown_ = -1;
    }
    bool tty_ = StandardErrorIsTerminal();
    int shown_ = -1;
};

// The editor's state and link, set up from the command's link options.
struct Link {
    std::unique_ptr<DevicePort> line = std::make_unique<DevicePort>(&MakeSerialPort);
    std::FILE* traceFile = nullptr;
    std::unique_ptr<TraceSerialPort> trace;
    std::unique_ptr<Comms> comms;
    CliUi ui;
    StartupState state = MakeStartupState();
    Image image{};
    std::unique_ptr<UnitSession> session;
    ComPortLookup lookup;
    std::string where;               // "/dev/ttyS0 at 9600,N,8,1"
    std::optional<History> history;  // copies of what was read and written, unless --no-history
    std::string sentSubject;         // the file a write sends, as the copy names it

    Link(const std::string& command, const ParsedArgs& a) {
        ConfigRecord& rec = state.rec;
        int com = 1;
        if (const std::string* p = a.Option("port")) {
            const auto n = ParseComName(*p);
            if (!n) throw UsageError(command, "'" + *p + "' is not a COM port; use COM1 .. COM16");
            com = *n;
        }
        rec.lstComPort = com - 1;
        lookup = UserComPortLookup();
        if (const std::string* d = a.Option("device")) {
            if (a.Option("port"))
                throw UsageError(command, "give either --port or --device, not both");
            if (IsNetAddress(*d)) {
                if (const NetAddressResult r = ParseNetAddress(*d); !r.address)
                    throw UsageError(command,
                                     "'" + *d + "' is not a device server address: " + r.error +
                                         ". Write it as " + std::string(NetAddressForms()));
            }
            lookup = [device = *d](int) { return std::optional<std::string>(device); };
        }
        if (const std::string* t = a.Option("connect-timeout")) {
            char* end = nullptr;
            const double seconds = std::strtod(t->c_str(), &end);
            if (t->empty() || *end != '\0' || !(seconds >= 0.1 && seconds <= 600))
                throw UsageError(command, "'" + *t +
                                              "' is not a connect timeout; give seconds from 0.1 "
                                              "to 600, e.g. --connect-timeout 10");
            NetLinkOptions net;
            net.connectTimeout = std::chrono::milliseconds(std::lround(seconds * 1000));
            line->SetNetOptions(net);
        }
        if (const std::string* b = a.Option("baud")) {
            rec.lstBaudPC = kNoSelection;
            for (std::size_t p = 0; p < kBaudRateItems.size(); ++p)
                if (kBaudRateItems[p].text == *b) rec.lstBaudPC = static_cast<int>(p);
            if (rec.lstBaudPC == kNoSelection)
                throw UsageError(command,
                                 "'" + *b +
                                     "' is not a baud rate the unit uses; use one of "
                                     "110 300 1200 2400 4800 9600 19200 38400 57600 115200");
        }
        if (const std::string* f = a.Option("format")) {
            std::string upper = *f;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            rec.lstPCFormat = kNoSelection;
            for (std::size_t p = 0; p < kFrameFormatItems.size(); ++p)
                if (kFrameFormatItems[p].text == upper) rec.lstPCFormat = static_cast<int>(p);
            if (rec.lstPCFormat == kNoSelection)
                throw UsageError(command, "'" + *f +
                                              "' is not a serial format; write it as parity,"
                                              "data bits,stop bits, e.g. N,8,1 or E,7,2");
        }
        SerialPort* port = line.get();
        if (const std::string* t = a.Option("trace")) {
            traceFile = OpenFileForWriting(*t);
            if (!traceFile) throw std::runtime_error("Cannot write the trace file '" + *t + "'.");
            trace = std::make_unique<TraceSerialPort>(*line, traceFile);
            port = trace.get();
        }
        comms = std::make_unique<Comms>(*port, lookup);
        comms->SetAdvice(PortAdvice::kCommandLine);
        // Log lines name history copies, whose names come from a unit's version line.
        if (a.Flag("verbose"))
            SetLogSink(
                [](std::string_view line) { WriteLogLineToStandardError(TerminalText(line)); });
        session =
            std::make_unique<UnitSession>(state.rec, state.moduleTypes, image, *comms, ui, Hooks());
        UpdateWhere();
    }

    UnitSessionHooks Hooks() {
        UnitSessionHooks hooks;
        hooks.baudSelectionChanged = [this](int p) {
            ui.searchRate = ItemText(kBaudRateItems, p);
            UpdateWhere();
        };
        hooks.unitImageRead = [this](const UnitContents& held) {
            Keep(history_event::kRead, UnitSubject(state.rec.txtVer), held.image);
        };
        hooks.imageSent = [this](const Image& sent, bool readBackFailed) {
            Keep(readBackFailed ? history_event::kWriteUnverified : history_event::kWrite,
                 sentSubject, sent);
        };
        hooks.describeDifferences = [this](const Image& sent, const Image& readBack) {
            return BlockDifferences(sent, readBack, state.moduleTypes);
        };
        hooks.keepBackup = [this](const UnitContents& unit) -> std::string {
            if (!history) return {};
            const HistoryCopy copy =
                history->KeepBackup(unit.versionLines, unit.moduleTypes, unit.image);
            if (!copy.ok) return copy.error;
            std::cout << "Backed up the unit's configuration to " << copy.path << '\n';
            return {};
        };
        hooks.lastUnitCopy = [this] {
            // This run's own backup ranks first in the history that made it.
            const std::optional<HistoryEntry> copy =
                history ? NewestUnitCopy(*history) : NewestUnitCopy(History());
            return copy ? copy->path : std::string();
        };
        return hooks;
    }

    // A copy that cannot be kept is one warning; the command goes on and its status stands.
    void Keep(std::string_view event, const std::string& subject, const Image& kept) {
        if (!history) return;
        const HistoryCopy copy =
            history->KeepImage(event, subject, state.rec.txtVer, state.moduleTypes, kept);
        if (!copy.ok)
            PrintWarning(copy.error + " The " + (event == history_event::kRead ? "read" : "write") +
                         " went on without it (--no-history skips the copy).");
    }
    ~Link() {
        session.reset();
        comms.reset();
        trace.reset();
        if (traceFile) std::fclose(traceFile);
    }

    void UpdateWhere() {
        const ConfigRecord& rec = state.rec;
        const std::string device = DeviceForCom(rec.lstComPort + 1, lookup);
        // Over raw TCP the PC's rate and format never reach the line.
        where = IsRawTcpAddress(device)
                    ? device + " (raw TCP, at the device server's own port settings)"
                    : device + " at " + SettingsTextFor(rec.lstBaudPC, rec.lstPCFormat);
    }

    // Checks that the unit answers, as the editor's connected state requires before the other
    // buttons. Prints why not.
    bool Probe() {
        if (!comms->OpenComms(state.rec.lstComPort, state.rec.lstBaudPC, state.rec.lstPCFormat)) {
            PrintError(comms->OpenFailureMessage());
            return false;
        }
        LogLine("++ Check the unit answers on " + comms->LastDevice() + " at " +
                    SettingsText(comms->Settings()),
                true);
        std::optional<std::uint8_t> reply;
        const bool answered = Connected(*comms, &reply);
        comms->CloseComms();
        UpdateWhere();
        if (!answered) NotAnswering(reply);
        return answered;
    }

    // Why the probe was not answered: silence, another byte, or a unit that never stops sending
    // (its version line without end), which answers every request with its stream.
    void NotAnswering(const std::optional<std::uint8_t>& reply) {
        if (reply && StillSending()) {
            PrintError(kUnitKeepsSendingText);
        } else if (reply) {
            PrintError("The unit on " + where + " answered the connection check with " +
                       HexString(*reply, 2) +
                       " instead of 11 (hexadecimal). Check that the PC baud rate and serial "
                       "format match the unit ('orv-cli autobaud' searches the rate), then try "
                       "again.");
        } else {
            PrintError("The unit does not answer on " + where +
                       ". Check the cable and the port, and that the PC baud rate and serial "
                       "format match the unit ('orv-cli autobaud' searches the rate).");
        }
    }

    // Connect, as the editor's button does (the version lines and module types from the unit);
    // false, the reason printed, when the unit is not connected afterwards.
    bool Connect() {
        session->ConnectClick();
        UpdateWhere();
        if (session->LastOutcome() == ClickOutcome::kNotAnswering)
            NotAnswering(session->LastProbeReply());
        return session->LastOutcome() == ClickOutcome::kDone && session->IsConnected();
    }

    bool StillSending() {
        if (!comms->OpenComms(state.rec.lstComPort, state.rec.lstBaudPC, state.rec.lstPCFormat))
            return false;
        const bool quiet = DropUntilQuiet(*comms);
        comms->CloseComms();
        return !quiet;
    }

    // Probes the unit as the editor's connected state requires, then runs one of its buttons.
    // False (the reason already printed) when the unit does not answer or the click failed.
    bool ProbeAndClick(void (UnitSession::*click)()) {
        if (!Probe()) return false;
        ((*session).*click)();
        return Status() == kExitOk;
    }

    // Exit status after a click: failed when the session says so or an error was shown.
    int Status() const {
        return session->LastOutcome() == ClickOutcome::kDone && ui.errors == 0 ? kExitOk
                                                                               : kExitFailure;
    }

    // What an RFC 2217 device server answered when asked for the line's settings.
    void PrintServerSettings() const {
        if (const auto s = line->ServerSettings())
            std::cout << "The device server set its port to " << SettingsText(*s) << '\n';
    }

    // The version lines are the unit's own text: shown, never obeyed by the terminal.
    void PrintVersion() const {
        std::cout << "Version line 1: " << TerminalText(Latin1ToUtf8(state.rec.txtVer[0])) << '\n'
                  << "Version line 2: " << TerminalText(Latin1ToUtf8(state.rec.txtVer[1])) << '\n';
        for (int b = 0; b < kBanks; ++b)
            std::cout << "Bank " << b + 1 << ": " << ModuleTypeName(state.moduleTypes[b]) << '\n';
    }
};

// A file made for other modules than the unit reports: one warning naming each bank, in the words
// the editor uses when Connect changes its module types.
void WarnOfOtherModules(const std::string& file, const ModuleTypes& fileTypes,
                        const ModuleTypes& unitTypes, const std::string& consequence) {
    const auto changes = ModuleTypeChanges(fileTypes, unitTypes);
    if (changes.empty()) return;
    std::string text = "the unit's modules differ from those in " + file + " (file -> unit):";
    for (const auto& c : changes) text += "\n  " + c;
    PrintWarning(text + "\n" + consequence);
}

int Help(std::string_view head, std::string_view extra = {}) {
    std::cout << head << extra << kLinkOptionsHelp;
    return kExitOk;
}

bool LoadFile(const std::string& path, Link& link) {
    const ReadConfigResult r =
        ReadConfigFile(path, link.state.rec, link.state.moduleTypes, link.image);
    if (!r.ok) {
        PrintError(r.error);
        return false;
    }
    PrintWarnings(r.warnings);
    return true;
}

bool SaveFile(const std::string& path, Link& link, bool keepHistory) {
    return SaveConfigFile(path, link.state.rec, link.state.moduleTypes, link.image, keepHistory);
}

}  // namespace

int RunPorts(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("ports", args, {kMap, kUnmap});
    if (a.help) return PrintHelp(PortsHelp());
    ExpectPositional("ports", a, 0, "");
    return ListPorts(a.Option("map"), a.Option("unmap"));
}

int RunConnect(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs(
        "connect", args, {kPort, kDevice, kBaud, kFormat, kTrace, kConnectTimeout, kVerbose});
    if (a.help)
        return Help(
            "Usage: orv-cli connect [LINK OPTIONS]\n\n"
            "Checks that the unit answers, then prints its version lines and the module\n"
            "type of each bank, as Connect does.\n\n");
    ExpectPositional("connect", a, 0, "");
    Link link("connect", a);
    link.session->ConnectClick();
    link.UpdateWhere();
    if (link.session->LastOutcome() == ClickOutcome::kNotAnswering) {
        link.NotAnswering(link.session->LastProbeReply());
        return kExitFailure;
    }
    if (link.session->IsConnected()) {
        std::cout << "Connected on " << link.where << '\n';
        link.PrintServerSettings();
        link.PrintVersion();
    }
    return link.Status();
}

int RunAutoBaud(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs(
        "autobaud", args, {kPort, kDevice, kBaud, kFormat, kTrace, kConnectTimeout, kVerbose});
    if (a.help)
        return Help(
            "Usage: orv-cli autobaud [LINK OPTIONS]\n\n"
            "Tries the baud rates from 115200 down to 110 until the unit answers (the serial\n"
            "format must already match), then prints the rate, version lines and modules.\n\n");
    ExpectPositional("autobaud", a, 0, "");
    Link link("autobaud", a);
    link.session->AutoBaudClick();
    link.UpdateWhere();
    if (link.session->LastOutcome() == ClickOutcome::kRefused) return kExitFailure;
    if (link.session->LastOutcome() == ClickOutcome::kPortNotOpened) {
        if (link.ui.errors == 0) PrintError(link.comms->OpenFailureMessage());
        return kExitFailure;
    }
    // A rate answered, but the unit then kept sending: the message said so.
    if (link.session->LastOutcome() == ClickOutcome::kFailed) return kExitFailure;
    if (!link.session->IsConnected()) {
        PrintError("No baud rate got an answer from the unit on " + link.comms->LastDevice() +
                   " with the format " +
                   std::string(ItemText(kFrameFormatItems, link.state.rec.lstPCFormat)) +
                   ". Check the cable, the port and the serial format.");
        return kExitFailure;
    }
    std::cout << "Found the unit at " << ItemText(kBaudRateItems, link.state.rec.lstBaudPC)
              << " baud on " << link.where << '\n';
    link.PrintServerSettings();
    link.PrintVersion();
    return link.ui.errors == 0 ? kExitOk : kExitFailure;
}

int RunRead(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs(
        "read", args,
        {kPort, kDevice, kBaud, kFormat, kTrace, kConnectTimeout, kOutput, kVerbose, kNoHistory});
    if (a.help)
        return Help(
            "Usage: orv-cli read -o OUT.ORV [LINK OPTIONS]\n\n"
            "Connects (taking the module types from the unit), reads the whole EEPROM as\n"
            "Read does and saves the configuration as the editor saves it. What the unit held\n"
            "is also kept in the history, exactly as read (see 'orv-cli history').\n\n",
            std::string("  -o, --output OUT.ORV the file to write\n") +
                std::string(kNoHistoryHelp));
    ExpectPositional("read", a, 0, "");
    const std::string& out = RequireOption("read", a, "output", "the output file: -o OUT.ORV");
    Link link("read", a);
    if (!a.Flag("no-history")) link.history.emplace();
    if (!link.Connect()) return kExitFailure;
    link.session->ReadClick();
    if (link.Status() != kExitOk) return kExitFailure;
    if (!SaveFile(out, link, link.history.has_value())) return kExitFailure;
    const SizeReport size = ReportImageSize(link.state.rec, link.state.moduleTypes, link.image);
    std::cout << "Read the unit's configuration into " << out << " (last address "
              << size.lastAddress << ", " << size.percentText << ")\n";
    return kExitOk;
}

int RunWrite(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("write", args,
                                   {kPort, kDevice, kBaud, kFormat, kTrace, kConnectTimeout,
                                    kVerbose, kNoHistory, kNoVerify, kBackup});
    if (a.help)
        return Help(
            "Usage: orv-cli write IN.ORV [--no-verify] [--backup] [LINK OPTIONS]\n\n"
            "Opens the file as the editor does, runs the size report and writes blocks 0 to\n"
            "239 to the unit as Write does (the MAC address in the unit is not changed). Once\n"
            "every block was accepted, what was sent is kept in the history (see 'orv-cli\n"
            "history'), and the blocks are read back and compared with what was sent: a block\n"
            "the unit did not keep fails the command, named with the fields it holds. A Write\n"
            "that stops half way says how many blocks the unit took.\n\n",
            std::string("      --no-verify      do not read the blocks back after writing\n"
                        "      --backup         first read the unit and keep what it held in the\n"
                        "                       history; nothing is written if that fails\n") +
                std::string(kNoHistoryHelp));
    ExpectPositional("write", a, 1, "the configuration file to write (IN.ORV)");
    if (a.Flag("backup") && a.Flag("no-history"))
        throw UsageError("write",
                         "--backup keeps the unit's configuration in the history; it cannot go "
                         "with --no-history");
    Link link("write", a);
    if (!a.Flag("no-history")) link.history.emplace();
    link.sentSubject = FileSubject(SplitFilePath(a.positional[0]).name);
    if (!LoadFile(a.positional[0], link)) return kExitFailure;
    // Connect as the editor does, to learn the unit's modules; then the file is put back as it
    // was opened, as if opened after Connect: it is written as it is, for the modules it names.
    const ConfigRecord opened = link.state.rec;
    const ModuleTypes fileTypes = link.state.moduleTypes;
    if (!link.Connect()) return kExitFailure;
    if (link.ui.errors != 0) {
        // A version reply that timed out leaves the unit's modules unknown and the line in doubt.
        PrintError("Nothing was written to the unit.");
        return kExitFailure;
    }
    WarnOfOtherModules(a.positional[0], fileTypes, link.state.moduleTypes,
                       "The file is written as it is, for the modules it names; check that it is "
                       "meant for this unit.");
    link.state.rec = opened;
    link.state.moduleTypes = fileTypes;
    SizeReport size;
    UnitSessionHooks hooks = link.Hooks();
    hooks.sizeReported = [&size](const SizeReport& s) { size = s; };
    link.session = std::make_unique<UnitSession>(link.state.rec, link.state.moduleTypes, link.image,
                                                 *link.comms, link.ui, hooks);
    link.session->SetWriteChecks({!a.Flag("no-verify"), a.Flag("backup")});
    link.session->WriteClick();
    std::cout << "Size: last address " << size.lastAddress << ", " << size.percentText << '\n';
    if (link.Status() != kExitOk) return kExitFailure;
    std::cout << "Wrote " << a.positional[0] << " to the unit on " << link.where
              << (link.session->LastWriteEnd() == WriteEnd::kVerified
                      ? " and verified it: every block read back as sent"
                      : " (not read back: --no-verify)")
              << '\n';
    return kExitOk;
}

namespace {

int Verify(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs(
        "verify", args, {kPort, kDevice, kBaud, kFormat, kTrace, kConnectTimeout, kVerbose});
    if (a.help)
        return Help(
            "Usage: orv-cli verify IN.ORV [LINK OPTIONS]\n\n"
            "Reads the unit (its version report and whole EEPROM; nothing is written or kept)\n"
            "and compares what it holds with the file as the editor would write it, printing\n"
            "one line per difference in the words of 'orv-cli diff' (file -> unit). The\n"
            "firmware version lines and the MAC address are the unit's own and are not\n"
            "compared.\n\n"
            "Exit status: 0 the same, 1 different, 2 trouble (a file that does not open, a unit\n"
            "that does not answer, wrong usage).\n\n");
    ExpectPositional("verify", a, 1, "the configuration file to compare with the unit (IN.ORV)");
    Link link("verify", a);
    if (!LoadFile(a.positional[0], link)) return 2;
    // The file stays in the link's state; the unit is read into the session's scratch.
    if (!link.Probe()) return 2;
    link.session->CompareClick();
    const auto& unit = link.session->LastUnitContents();
    if (!unit || link.ui.errors != 0) return 2;
    const auto lines = UnitDifferences(link.state.rec, link.state.moduleTypes, link.image,
                                       unit->moduleTypes, unit->image);
    WarnOfOtherModules(a.positional[0], link.state.moduleTypes, unit->moduleTypes,
                       "For those banks only what both module types use is compared.");
    if (lines.empty()) {
        std::cout << "The unit on " << link.where << " holds the configuration of "
                  << a.positional[0] << '\n';
    } else {
        std::cout << "The unit on " << link.where << " differs from " << a.positional[0] << " in "
                  << lines.size() << (lines.size() == 1 ? " place" : " places")
                  << " (file -> unit):\n";
    }
    for (const auto& line : lines) std::cout << TerminalText(line) << '\n';
    std::cout << std::flush;
    if (!std::cout) {
        PrintError("Cannot write to standard output.");
        return 2;
    }
    return lines.empty() ? kExitOk : kExitFailure;
}

}  // namespace

int RunVerify(const CommandArgs& args) {
    // Any failure is status 2 here: 1 means "different".
    try {
        return Verify(args);
    } catch (const UsageError&) {
        throw;
    } catch (const std::exception& e) {
        PrintError(e.what());
        return 2;
    }
}

int RunWriteMac(const CommandArgs& args) {
    const ParsedArgs a =
        ParseArgs("write-mac", args,
                  {kPort, kDevice, kBaud, kFormat, kTrace, kConnectTimeout, kMac, kVerbose});
    if (a.help)
        return Help(
            "Usage: orv-cli write-mac [--mac 50:46:4A:xx:yy:zz] [LINK OPTIONS]\n\n"
            "Writes only the MAC address block to the unit, as Write MAC does. The first\n"
            "three octets are always 50:46:4A.\n\n",
            "      --mac ADDRESS    the address (default 50:46:4A:00:00:00); xx:yy:zz alone\n"
            "                       is taken as the last three octets\n");
    ExpectPositional("write-mac", a, 0, "");
    Link link("write-mac", a);
    if (const std::string* m = a.Option("mac")) {
        std::vector<std::string> octets;
        std::size_t start = 0;
        for (;;) {
            const std::size_t colon = m->find(':', start);
            octets.push_back(
                m->substr(start, colon == std::string::npos ? std::string::npos : colon - start));
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
        if (octets.size() != 6 && octets.size() != 3)
            throw UsageError("write-mac", "write the MAC address as 50:46:4A:xx:yy:zz");
        for (auto& o : octets) {
            if (o.size() != 2 || !std::isxdigit(static_cast<unsigned char>(o[0])) ||
                !std::isxdigit(static_cast<unsigned char>(o[1])))
                throw UsageError("write-mac",
                                 "'" + o + "' is not a MAC octet (two hexadecimal digits)");
            for (char& c : o) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (octets.size() == 6 &&
            !std::equal(kFixedMacOctets.begin(), kFixedMacOctets.end(), octets.begin()))
            PrintWarning("the first three octets are always 50:46:4A; " + octets[0] + ":" +
                         octets[1] + ":" + octets[2] + " is replaced");
        const std::size_t first = octets.size() - 3;
        for (int k = 0; k < 3; ++k) link.state.rec.txtMAC[3 + k] = octets[first + k];
    }
    if (!link.ProbeAndClick(&UnitSession::MacWriteClick)) return kExitFailure;
    std::cout << "Wrote the MAC address " << MacText(link.state.rec) << " to the unit\n";
    return kExitOk;
}

int RunMacIncrement(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs("mac-increment", args, {kOutput});
    if (a.help) {
        std::cout
            << "Usage: orv-cli mac-increment IN.ORV [-o OUT.ORV]\n\n"
               "Steps the MAC address held in the file to the next one (the last three octets\n"
               "count as one number) and saves the file, as Increment and Save do.\n\n"
               "  -o, --output OUT.ORV  save to another file instead of IN.ORV\n"
               "  -h, --help            show this help\n";
        return kExitOk;
    }
    ExpectPositional("mac-increment", a, 1, "the configuration file (IN.ORV)");
    Link link("mac-increment", ParsedArgs{});
    if (!LoadFile(a.positional[0], link)) return kExitFailure;
    const std::string before = MacText(link.state.rec);
    link.session->MacIncrementClick();
    const std::string* out = a.Option("output");
    if (!SaveFile(out ? *out : a.positional[0], link, true)) return kExitFailure;
    std::cout << before << " -> " << MacText(link.state.rec) << '\n';
    return kExitOk;
}

int RunReset(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs(
        "reset", args, {kPort, kDevice, kBaud, kFormat, kTrace, kConnectTimeout, kVerbose});
    if (a.help)
        return Help(
            "Usage: orv-cli reset [LINK OPTIONS]\n\n"
            "Checks that the unit answers, then tells it to restart, as Reset ORV does.\n\n");
    ExpectPositional("reset", a, 0, "");
    Link link("reset", a);
    if (!link.ProbeAndClick(&UnitSession::ResetClick)) return kExitFailure;
    std::cout << "Sent the reset command to the unit on " << link.where << '\n';
    return kExitOk;
}

int RunCalibrate(const CommandArgs& args) {
    const ParsedArgs a = ParseArgs(
        "calibrate", args, {kPort, kDevice, kBaud, kFormat, kTrace, kConnectTimeout, kVerbose});
    if (a.help)
        return Help(
            "Usage: orv-cli calibrate [LINK OPTIONS]\n\n"
            "Fetches the pulse times the unit measured on bank 1 (fast sequence on channel 1,\n"
            "slow on channel 2) and prints them with the eight suggested detection limits.\n\n");
    ExpectPositional("calibrate", a, 0, "");
    Link link("calibrate", a);
    if (!link.ProbeAndClick(&UnitSession::CalibrateClick)) return kExitFailure;
    const ConfigRecord& r = link.state.rec;
    std::cout << "Measured fast ON:  " << r.txtFastOne << " mS\n"
              << "Measured fast OFF: " << r.txtFastZero << " mS\n"
              << "Measured slow ON:  " << r.txtSlowOne << " mS\n"
              << "Measured slow OFF: " << r.txtSlowZero << " mS\n";
    for (int k = 0; k < 8; ++k) {
        const std::string name = kPulseLimitNames[k];
        std::cout << name << ":" << std::string(20 - name.size(), ' ') << r.txtPulseTime[k]
                  << " mS";
        if (link.session->LastLimits() && link.session->LastLimits()->clamped[k])
            std::cout << " (computed " << link.session->LastLimits()->computed[k] << ", clamped)";
        std::cout << '\n';
    }
    return kExitOk;
}

}  // namespace orv::cli
