#include "unit_link.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "base/hex.h"
#include "base/latin1.h"
#include "base/log.h"
#include "base/quote.h"
#include "link/device_address.h"
#include "link/exchanges.h"
#include "model/lists.h"
#include "model/rules.h"
#include "platform.h"
#include "report/report.h"

namespace orv::cli {

void ConsoleOutput::Error(const std::string& text) {
    ClearBar();
    PrintError(text);
}

void ConsoleOutput::Warning(const std::string& text) {
    ClearBar();
    PrintWarning(text);
}

void ConsoleOutput::Note(const std::string& text) {
    ClearBar();
    std::cout << text << '\n';
}

void ConsoleOutput::Progress(int value, bool visible) {
    if (!ttyKnown_) {
        tty_ = StandardErrorIsTerminal();
        ttyKnown_ = true;
    }
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

void ConsoleOutput::ClearBar() {
    if (shown_ < 0) return;
    std::fprintf(stderr, "\r%50s\r", "");
    std::fflush(stderr);
    shown_ = -1;
}

void LinkUiOutput::ShowMessage(const std::string& text, const std::string&, MessageIcon icon) {
    if (!searchRate.empty() && text.starts_with(kUnableToOpenPort)) {
        // One rate of the search: the search goes on, so it is no failure of the command.
        out_.Warning("at " + searchRate + " baud: " + text);
    } else if (icon == MessageIcon::kWarning) {
        out_.Warning(text);
    } else if (icon == MessageIcon::kInformation) {
        out_.Note(text);
    } else {
        out_.Error(text);
        ++errors;
    }
}

std::optional<int> BaudPosition(std::string_view text, std::string* error) {
    for (std::size_t p = 0; p < kBaudRateItems.size(); ++p)
        if (kBaudRateItems[p].text == text) return static_cast<int>(p);
    if (error)
        *error = "'" + std::string(text) +
                 "' is not a baud rate the unit uses; use one of "
                 "110 300 1200 2400 4800 9600 19200 38400 57600 115200";
    return std::nullopt;
}

std::optional<int> FormatPosition(std::string_view text, std::string* error) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (std::size_t p = 0; p < kFrameFormatItems.size(); ++p)
        if (kFrameFormatItems[p].text == upper) return static_cast<int>(p);
    if (error)
        *error = "'" + std::string(text) +
                 "' is not a serial format; write it as parity,data bits,stop bits, e.g. N,8,1 "
                 "or E,7,2";
    return std::nullopt;
}

std::string DeviceAddressProblem(const std::string& device) {
    if (!IsNetAddress(device)) return {};
    const NetAddressResult r = ParseNetAddress(device);
    if (r.address) return {};
    return "'" + device + "' is not a device server address: " + r.error + ". Write it as " +
           std::string(NetAddressForms());
}

LinkOptions ParseLinkOptions(const std::string& command, const ParsedArgs& a) {
    LinkOptions o;
    if (const std::string* p = a.Option("port")) {
        const auto n = ParseComName(*p);
        if (!n) throw UsageError(command, "'" + *p + "' is not a COM port; use COM1 .. COM16");
        o.com = *n;
    }
    if (const std::string* d = a.Option("device")) {
        if (a.Option("port")) throw UsageError(command, "give either --port or --device, not both");
        if (const std::string problem = DeviceAddressProblem(*d); !problem.empty())
            throw UsageError(command, problem);
        o.device = *d;
    }
    if (const std::string* t = a.Option("connect-timeout")) {
        // Plain decimal seconds only: strtod would also take "0x10" (16) or "1e1".
        const bool decimal =
            std::count(t->begin(), t->end(), '.') <= 1 &&
            std::any_of(t->begin(), t->end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
            std::all_of(t->begin(), t->end(), [](char c) {
                return c == '.' || std::isdigit(static_cast<unsigned char>(c));
            });
        double seconds = 0;
        const auto [end, ec] =
            std::from_chars(t->data(), t->data() + t->size(), seconds, std::chars_format::fixed);
        if (!decimal || ec != std::errc{} || end != t->data() + t->size() ||
            !(seconds >= 0.1 && seconds <= 600))
            throw UsageError(command, "'" + *t +
                                          "' is not a connect timeout; give seconds from 0.1 "
                                          "to 600, e.g. --connect-timeout 10");
        o.connectTimeout = std::chrono::milliseconds(std::lround(seconds * 1000));
    }
    std::string error;
    if (const std::string* b = a.Option("baud"))
        if (!(o.baudPosition = BaudPosition(*b, &error))) throw UsageError(command, error);
    if (const std::string* f = a.Option("format"))
        if (!(o.formatPosition = FormatPosition(*f, &error))) throw UsageError(command, error);
    if (const std::string* t = a.Option("trace")) o.tracePath = *t;
    o.verbose = a.Flag("verbose");
    return o;
}

Link::Link(const LinkOptions& options, LinkOutput& output, const PortWrap& wrap)
    : out(output), line(std::make_unique<DevicePort>(&MakeSerialPort)) {
    ConfigRecord& rec = state.rec;
    rec.lstComPort = options.com - 1;
    if (options.device.empty())
        lookup = UserComPortLookup();
    else
        lookup = [device = options.device](int) { return std::optional<std::string>(device); };
    NetLinkOptions net;
    if (options.connectTimeout) net.connectTimeout = *options.connectTimeout;
    net.manyAtOnce = options.manyAtOnce;
    net.stopped = options.stopped;
    line->SetNetOptions(net);
    if (options.baudPosition) rec.lstBaudPC = *options.baudPosition;
    if (options.formatPosition) rec.lstPCFormat = *options.formatPosition;
    SerialPort* port = line.get();
    if (!options.tracePath.empty()) {
        traceFile = OpenFileForWriting(options.tracePath);
        if (!traceFile)
            throw std::runtime_error("Cannot write the trace file '" + options.tracePath + "'.");
        trace = std::make_unique<TraceSerialPort>(*line, traceFile);
        port = trace.get();
    }
    if (wrap) {
        wrapped = wrap(*port);
        port = wrapped.get();
    }
    comms = std::make_unique<Comms>(*port, lookup);
    comms->SetAdvice(PortAdvice::kCommandLine);
    // Log lines name history copies, whose names come from a unit's version line.
    if (options.verbose)
        SetLogSink([](std::string_view text) { WriteLogLineToStandardError(TerminalText(text)); });
    MakeSession();
    UpdateWhere();
}

Link::~Link() {
    session.reset();
    comms.reset();
    wrapped.reset();
    trace.reset();
    if (traceFile) std::fclose(traceFile);
}

void Link::MakeSession() {
    UnitSessionHooks hooks = Hooks();
    if (customize) customize(hooks);
    session = std::make_unique<UnitSession>(state.rec, state.moduleTypes, image, *comms, ui, hooks);
}

void Link::KeepHistory() {
    ownHistory_.emplace();
    history = &*ownHistory_;
}

UnitSessionHooks Link::Hooks() {
    UnitSessionHooks hooks;
    hooks.baudSelectionChanged = [this](int p) {
        ui.searchRate = ItemText(kBaudRateItems, p);
        UpdateWhere();
    };
    hooks.unitImageRead = [this](const UnitContents& held) {
        const HistoryCopy copy =
            Keep(history_event::kRead, UnitSubject(state.rec.txtVer), held.image);
        unitCopies.Took(copy.path, comms->LastDevice(), held.versionLines, held.image);
    };
    hooks.imageSent = [this](const Image& sent, bool readBackFailed) {
        Keep(readBackFailed ? history_event::kWriteUnverified : history_event::kWrite, sentSubject,
             sent);
    };
    hooks.describeDifferences = [this](const Image& sent, const Image& readBack) {
        return BlockDifferences(sent, readBack, state.moduleTypes);
    };
    hooks.keepBackup = [this](const UnitContents& unit) -> std::string {
        if (!history) return {};
        const HistoryCopy copy = history->With([&](History& h) {
            return h.KeepBackup(unit.versionLines, unit.moduleTypes, unit.image);
        });
        if (!copy.ok) return copy.error;
        unitCopies.Took(copy.path, comms->LastDevice(), unit.versionLines, unit.image);
        backupPath = copy.path;
        out.Note("Backed up the unit's configuration to " + copy.path);
        return {};
    };
    hooks.lastUnitCopy = [this](const WrittenUnit& unit) -> UnitCopyHint {
        // Each orv-cli run is a session of its own: a copy of this unit is one this run took,
        // or one holding the MAC address read from it in this run.
        if (!history) return {{}, "To keep one, write with --backup (and without --no-history)."};
        // A session made after Connect (write) no longer knows what the unit reported.
        const auto& lines = unitVersion ? *unitVersion : unit.versionLines;
        const std::optional<HistoryEntry> copy =
            history->With([&](History& h) { return unitCopies.Find(h, unit.device, lines); });
        if (copy) return {copy->path, {}};
        return {{}, "To keep one before a Write, write with --backup."};
    };
    return hooks;
}

HistoryCopy Link::Keep(std::string_view event, const std::string& subject, const Image& kept) {
    if (!history) return {};
    const HistoryCopy copy = history->With([&](History& h) {
        return h.KeepImage(event, subject, state.rec.txtVer, state.moduleTypes, kept);
    });
    if (!copy.ok)
        out.Warning(copy.error + " The " + (event == history_event::kRead ? "read" : "write") +
                    " went on without it (--no-history skips the copy).");
    return copy;
}

void Link::UpdateWhere() {
    const ConfigRecord& rec = state.rec;
    const std::string device = DeviceForCom(rec.lstComPort + 1, lookup);
    // Over raw TCP the PC's rate and format never reach the line.
    where = IsRawTcpAddress(device)
                ? device + " (raw TCP, at the device server's own port settings)"
                : device + " at " + SettingsTextFor(rec.lstBaudPC, rec.lstPCFormat);
}

bool Link::Probe() {
    if (!comms->OpenComms(state.rec.lstComPort, state.rec.lstBaudPC, state.rec.lstPCFormat)) {
        out.Error(comms->OpenFailureMessage());
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
void Link::NotAnswering(const std::optional<std::uint8_t>& reply) {
    const std::optional<bool> sending = reply ? StillSending() : std::nullopt;
    if (reply && !sending) {
        // The line could not be opened again to look: why is the news.
        out.Error(comms->OpenFailureMessage());
    } else if (sending && *sending) {
        out.Error("The unit on " + where +
                  " keeps sending: it answered the connection check with a stream that does not "
                  "pause, so nothing it sends can be read as a reply.\nCheck that the PC baud "
                  "rate and serial format match the unit and that nothing else sends on the "
                  "line; if they do, restart the unit, then try again.");
    } else if (reply) {
        out.Error("The unit on " + where + " answered the connection check with " +
                  HexString(*reply, 2) +
                  " instead of 11 (hexadecimal). Check that the PC baud rate and serial "
                  "format match the unit ('orv-cli autobaud' searches the rate), then try "
                  "again.");
    } else {
        out.Error("The unit does not answer on " + where +
                  ". Check the cable and the port, and that the PC baud rate and serial "
                  "format match the unit ('orv-cli autobaud' searches the rate).");
    }
}

bool Link::Connect() {
    session->ConnectClick();
    if (session->IsConnected()) unitVersion = session->LastVersion().lines;
    UpdateWhere();
    if (session->LastOutcome() == ClickOutcome::kNotAnswering)
        NotAnswering(session->LastProbeReply());
    return session->LastOutcome() == ClickOutcome::kDone && session->IsConnected();
}

std::optional<bool> Link::StillSending() {
    if (!comms->OpenComms(state.rec.lstComPort, state.rec.lstBaudPC, state.rec.lstPCFormat)) {
        if (comms->LastOpenFailure() == OpenFailure::kKeepsSending) return true;
        return std::nullopt;
    }
    const bool quiet = DropUntilQuiet(*comms);
    comms->CloseComms();
    return !quiet;
}

bool Link::ProbeAndClick(void (UnitSession::*click)()) {
    if (!Probe()) return false;
    ((*session).*click)();
    return Status() == kExitOk;
}

int Link::Status() const {
    return session->LastOutcome() == ClickOutcome::kDone && ui.errors == 0 ? kExitOk : kExitFailure;
}

void Link::PrintServerSettings() const {
    if (const auto s = line->ServerSettings())
        out.Note("The device server set its port to " + SettingsText(*s));
}

// The version lines are the unit's own text: shown, never obeyed by the terminal.
void Link::PrintVersion() const {
    out.Note("Version line 1: " + TerminalText(Latin1ToUtf8(state.rec.txtVer[0])));
    out.Note("Version line 2: " + TerminalText(Latin1ToUtf8(state.rec.txtVer[1])));
    for (int b = 0; b < kBanks; ++b)
        out.Note("Bank " + std::to_string(b + 1) + ": " +
                 std::string(ModuleTypeName(state.moduleTypes[b])));
}

void WarnOfOtherModules(LinkOutput& out, const std::string& file, const ModuleTypes& fileTypes,
                        const ModuleTypes& unitTypes, const std::string& consequence) {
    const auto changes = ModuleTypeChanges(fileTypes, unitTypes);
    if (changes.empty()) return;
    std::string text = "the unit's modules differ from those in " + file + " (file -> unit):";
    for (const auto& c : changes) text += "\n  " + c;
    out.Warning(text + "\n" + consequence);
}

bool ReadUnit(Link& link) {
    if (!link.Connect()) return false;
    link.session->ReadClick();
    return link.Status() == kExitOk;
}

std::optional<std::vector<std::string>> CompareUnit(Link& link, const std::string& file) {
    // The file stays in the link's state; the unit is read into the session's scratch.
    if (!link.Probe()) return std::nullopt;
    link.session->CompareClick();
    const auto& unit = link.session->LastUnitContents();
    if (!unit || link.ui.errors != 0) return std::nullopt;
    WarnOfOtherModules(link.out, file, link.state.moduleTypes, unit->moduleTypes,
                       "For those banks only what both module types use is compared.");
    return UnitDifferences(link.state.rec, link.state.moduleTypes, link.image, unit->moduleTypes,
                           unit->image);
}

bool WriteToUnit(Link& link, const std::string& file, OtherModules otherModules,
                 const WriteChecks& checks, std::optional<SizeReport>* size) {
    // Connect as the editor does, to learn the unit's modules; then the file is put back as it
    // was opened, as if opened after Connect: it is written as it is, for the modules it names.
    const ConfigRecord opened = link.state.rec;
    const ModuleTypes fileTypes = link.state.moduleTypes;
    if (!link.Connect()) return false;
    if (link.ui.errors != 0) {
        // A version reply that timed out leaves the unit's modules unknown and the line in doubt.
        link.out.Error("Nothing was written to the unit.");
        return false;
    }
    if (otherModules == OtherModules::kRefuse) {
        const auto changes = ModuleTypeChanges(fileTypes, link.state.moduleTypes);
        if (!changes.empty()) {
            std::string text = "The unit's modules differ from those in " + file +
                               " (file -> unit), so nothing was written to it:";
            for (const auto& c : changes) text += "\n  " + c;
            link.out.Error(text);
            return false;
        }
    } else {
        WarnOfOtherModules(link.out, file, fileTypes, link.state.moduleTypes,
                           "The file is written as it is, for the modules it names; check that "
                           "it is meant for this unit.");
    }
    link.state.rec = opened;
    link.state.moduleTypes = fileTypes;
    const auto customize = link.customize;
    link.customize = [&customize, size](UnitSessionHooks& hooks) {
        if (customize) customize(hooks);
        if (size) hooks.sizeReported = [size](const SizeReport& s) { size->emplace(s); };
    };
    link.MakeSession();
    link.customize = customize;
    link.session->SetWriteChecks(checks);
    link.session->WriteClick();
    return link.Status() == kExitOk;
}

}  // namespace orv::cli
