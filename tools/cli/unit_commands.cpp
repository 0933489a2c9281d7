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
#include "stoppable_port.h"
#include "unit_link.h"

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

// Every command prints as it goes.
ConsoleOutput gConsole;

bool SaveFile(const std::string& path, Link& link, bool keepHistory) {
    return SaveConfigFile(path, link.state.rec, link.state.moduleTypes, link.image, keepHistory);
}

// The status after Ctrl+C, as a shell gives a program that the signal ended.
constexpr int kExitInterrupted = 130;

// A command that writes to the unit under Ctrl+C (SIGTERM, SIGHUP): the first press before the
// Write stops at once; during it, the Write goes on unless the user presses again. What the link
// says of the line the stop cut is no news, so it is not printed; the command says what the unit
// may hold instead.
class InterruptibleWrite : public LinkOutput {
  public:
    explicit InterruptibleWrite(LinkOutput& out)
        : out_(out), watch_(WatchInterrupts([this] { OnInterrupt(); })) {}

    // The link's options and port, stopped by the presses.
    LinkOptions Options(LinkOptions options) {
        options.stopped = [this] { return stop_.Stopped(); };
        return options;
    }
    PortWrap Wrap() {
        return [this](SerialPort& inner) {
            auto port = std::make_unique<StoppablePort>(inner, stop_.presses, stop_.stopsAt);
            port_ = port.get();
            return port;
        };
    }
    bool Interrupted() const { return stop_.presses.load() > 0; }
    bool Stopped() const { return stop_.Stopped(); }
    const StoppablePort& Port() const { return *port_; }

    void Error(const std::string& text) override {
        if (!Stopped()) out_.Error(text);
    }
    void Warning(const std::string& text) override {
        if (!Stopped()) out_.Warning(text);
    }
    void Note(const std::string& text) override {
        if (!Stopped()) out_.Note(text);
    }
    void Progress(int value, bool visible) override {
        out_.Progress(Stopped() ? 0 : value, visible && !Stopped());
    }

  private:
    void OnInterrupt() {
        const int press = ++stop_.presses;
        if (!stop_.Writing()) return;  // stops at once; the command says what it left
        if (press == 1)
            Say("Write in progress: stopping would leave the unit with a mix; press Ctrl+C "
                "again to stop anyway");
        else if (press == 2)
            Say("Stopping the Write at once (Ctrl+C again).");
    }
    static void Say(const char* text) {
        // On a line of its own, beneath a progress bar if one is drawn.
        std::fprintf(stderr, "\norv-cli: %s\n", text);
        std::fflush(stderr);
    }

    LinkOutput& out_;
    StopLevel stop_;
    StoppablePort* port_ = nullptr;
    std::unique_ptr<InterruptWatch> watch_;
};

// What a Write stopped by Ctrl+C left in the unit, and where to go from there.
int ReportInterruptedWrite(const InterruptibleWrite& run, Link& link, const std::string& file) {
    const int held = run.Port().BlocksPossiblyTaken();
    const std::string total = std::to_string(kConfigBlocks);
    if (!run.Stopped()) {
        // One press: the Write was let run to its end, which the lines above told.
        PrintWarning("Ctrl+C came during the Write, which was let run to its end.");
        return kExitInterrupted;
    }
    if (held == 0) {
        PrintError(
            "Stopped by Ctrl+C before anything was written: the unit holds what it held "
            "before.");
        return kExitInterrupted;
    }
    if (held >= kConfigBlocks) {
        PrintError("Stopped by Ctrl+C while the unit was read back: it took all " + total +
                   " blocks of " + file + ", but was not verified ('orv-cli verify " + file +
                   "' compares it).");
        return kExitInterrupted;
    }
    std::string text =
        "Stopped by Ctrl+C during the Write: the unit may hold up to " + std::to_string(held) +
        " of the " + total + " blocks of " + file +
        (held == 1 ? " (block 0)" : " (blocks 0 to " + std::to_string(held - 1) + ")") +
        " and what it held before in the rest: a mix. Write " + file +
        " again, or write its backup back";
    if (!link.backupPath.empty()) {
        text += ": orv-cli write '" + link.backupPath + "'";
    } else {
        const std::optional<HistoryEntry> copy =
            link.history ? link.history->With([](History& h) { return NewestUnitCopy(h); })
                         : std::nullopt;
        text += copy ? ". No backup was made (--backup makes one); the last configuration read "
                       "from a unit is kept in the history: " +
                           copy->path
                     : ". No backup was made (--backup makes one).";
    }
    PrintError(text + ".");
    return kExitInterrupted;
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
    Link link(ParseLinkOptions("connect", a), gConsole);
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
    Link link(ParseLinkOptions("autobaud", a), gConsole);
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
    Link link(ParseLinkOptions("read", a), gConsole);
    if (!a.Flag("no-history")) link.KeepHistory();
    if (!ReadUnit(link)) return kExitFailure;
    if (!SaveFile(out, link, link.history != nullptr)) return kExitFailure;
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
            "that stops half way says how many blocks the unit took.\n\n"
            "Ctrl+C (or SIGTERM, SIGHUP) before the Write begins stops at once; during it, the\n"
            "Write goes on to its end unless Ctrl+C comes again, which stops it at once and says\n"
            "how many blocks the unit may hold (a block sent counts) and where its backup is.\n"
            "Exit status 130 after Ctrl+C.\n\n",
            std::string("      --no-verify      do not read the blocks back after writing\n"
                        "      --backup         first read the unit and keep what it held in the\n"
                        "                       history; nothing is written if that fails\n") +
                std::string(kNoHistoryHelp));
    ExpectPositional("write", a, 1, "the configuration file to write (IN.ORV)");
    if (a.Flag("backup") && a.Flag("no-history"))
        throw UsageError("write",
                         "--backup keeps the unit's configuration in the history; it cannot go "
                         "with --no-history");
    InterruptibleWrite run(gConsole);
    Link link(run.Options(ParseLinkOptions("write", a)), run, run.Wrap());
    if (!a.Flag("no-history")) link.KeepHistory();
    link.sentSubject = FileSubject(SplitFilePath(a.positional[0]).name);
    if (!LoadFile(a.positional[0], link)) return kExitFailure;
    std::optional<SizeReport> size;
    const bool written = WriteToUnit(link, a.positional[0], OtherModules::kWarnAndWrite,
                                     {!a.Flag("no-verify"), a.Flag("backup")}, &size);
    if (size)
        std::cout << "Size: last address " << size->lastAddress << ", " << size->percentText
                  << '\n';
    if (run.Stopped() || (!written && run.Interrupted()))
        return ReportInterruptedWrite(run, link, a.positional[0]);
    if (!written) return kExitFailure;
    std::cout << "Wrote " << a.positional[0] << " to the unit on " << link.where
              << (link.session->LastWriteEnd() == WriteEnd::kVerified
                      ? " and verified it: every block read back as sent"
                      : " (not read back: --no-verify)")
              << '\n';
    return run.Interrupted() ? ReportInterruptedWrite(run, link, a.positional[0]) : kExitOk;
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
    Link link(ParseLinkOptions("verify", a), gConsole);
    if (!LoadFile(a.positional[0], link)) return 2;
    const auto compared = CompareUnit(link, a.positional[0]);
    if (!compared) return 2;
    const std::vector<std::string>& lines = *compared;
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
            "three octets are always 50:46:4A. Ctrl+C while the block is being written lets it\n"
            "finish unless pressed again (exit status 130 after Ctrl+C).\n\n",
            "      --mac ADDRESS    the address (default 50:46:4A:00:00:00); xx:yy:zz alone\n"
            "                       is taken as the last three octets\n");
    ExpectPositional("write-mac", a, 0, "");
    InterruptibleWrite run(gConsole);
    Link link(run.Options(ParseLinkOptions("write-mac", a)), run, run.Wrap());
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
    const bool written = link.ProbeAndClick(&UnitSession::MacWriteClick);
    if (run.Stopped()) {
        PrintError(run.Port().MacSent()
                       ? "Stopped by Ctrl+C after the MAC block was sent: the unit may hold the "
                         "new MAC address " +
                             MacText(link.state.rec) + " or its old one. Write it again to be sure."
                       : "Stopped by Ctrl+C before the MAC block was sent: the unit's MAC "
                         "address is as it was.");
        return kExitInterrupted;
    }
    if (!written) return run.Interrupted() ? kExitInterrupted : kExitFailure;
    std::cout << "Wrote the MAC address " << MacText(link.state.rec) << " to the unit\n";
    if (run.Interrupted()) {
        PrintWarning("Ctrl+C came during the Write, which was let run to its end.");
        return kExitInterrupted;
    }
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
    Link link(LinkOptions{}, gConsole);
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
    Link link(ParseLinkOptions("reset", a), gConsole);
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
    Link link(ParseLinkOptions("calibrate", a), gConsole);
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
