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
    Link link(ParseLinkOptions("write", a), gConsole);
    if (!a.Flag("no-history")) link.KeepHistory();
    link.sentSubject = FileSubject(SplitFilePath(a.positional[0]).name);
    if (!LoadFile(a.positional[0], link)) return kExitFailure;
    std::optional<SizeReport> size;
    const bool written = WriteToUnit(link, a.positional[0], OtherModules::kWarnAndWrite,
                                     {!a.Flag("no-verify"), a.Flag("backup")}, &size);
    if (size)
        std::cout << "Size: last address " << size->lastAddress << ", " << size->percentText
                  << '\n';
    if (!written) return kExitFailure;
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
            "three octets are always 50:46:4A.\n\n",
            "      --mac ADDRESS    the address (default 50:46:4A:00:00:00); xx:yy:zz alone\n"
            "                       is taken as the last three octets\n");
    ExpectPositional("write-mac", a, 0, "");
    Link link(ParseLinkOptions("write-mac", a), gConsole);
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
