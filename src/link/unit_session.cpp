#include "link/unit_session.h"

#include <algorithm>
#include <cstdio>

#include "base/log.h"
#include "link/device_address.h"
#include "link/protocol.h"
#include "model/addresses.h"
#include "model/identity.h"
#include "model/lists.h"
#include "model/rules.h"

namespace orv {
namespace {

const std::string kAppTitle(kProgramTitle);

// Marks a click as talking to the unit for as long as it runs.
class RunningScope {
  public:
    explicit RunningScope(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~RunningScope() { flag_ = false; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

  private:
    std::atomic<bool>& flag_;
};

// At most this many lines of a list go into one message; the rest are counted.
constexpr std::size_t kMaxListedLines = 20;

std::string ListedLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t k = 0; k < lines.size() && k < kMaxListedLines; ++k) text += "\n" + lines[k];
    if (lines.size() > kMaxListedLines)
        text += "\n... and " + std::to_string(lines.size() - kMaxListedLines) + " more";
    return text;
}

// "block 100", "blocks 3 and 9", "blocks 3, 4, 5, 6, 7, 8 and 14 more".
std::string BlockNames(const std::vector<int>& blocks) {
    constexpr std::size_t kNamed = 6;
    if (blocks.size() == 1) return "block " + std::to_string(blocks[0]);
    std::string text = "blocks ";
    const std::size_t named = blocks.size() > kNamed + 1 ? kNamed : blocks.size() - 1;
    for (std::size_t k = 0; k < named; ++k) text += (k ? ", " : "") + std::to_string(blocks[k]);
    if (named + 1 == blocks.size()) return text + " and " + std::to_string(blocks.back());
    return text + " and " + std::to_string(blocks.size() - named) + " more";
}

}  // namespace

UnitSession::UnitSession(ConfigRecord& rec, ModuleTypes& moduleTypes, Image& image, Comms& comms,
                         LinkUi& ui, UnitSessionHooks hooks)
    : rec_(rec),
      moduleTypes_(moduleTypes),
      image_(image),
      comms_(comms),
      ui_(ui),
      hooks_(std::move(hooks)) {}

void UnitSession::Notify(const std::function<void()>& hook) {
    if (hook) hook();
}

void UnitSession::SetConnectedState() {
    connected_ = true;
    Notify(hooks_.setConnectedState);
}

void UnitSession::SetDisconnectedState() {
    connected_ = false;
    versionReported_ = false;
    Notify(hooks_.setDisconnectedState);
}

bool UnitSession::OpenOrReport() {
    if (comms_.OpenComms(rec_.lstComPort, rec_.lstBaudPC, rec_.lstPCFormat)) return true;
    std::string text = comms_.OpenFailureMessage();
    // In a baud rate search every rate that will not open says so, as a click on Connect would,
    // but a reason the user has just read is not repeated beneath it.
    if (baudSearch_) {
        if (text == *baudSearch_)
            text = kUnableToOpenPort;
        else
            *baudSearch_ = text;
    }
    ui_.ShowMessage(text, kAppTitle, MessageIcon::kNone);
    outcome_ = ClickOutcome::kPortNotOpened;
    return false;
}

void UnitSession::ConnectClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    if (IsConnected()) {
        LogLine("++ Disconnect", true);
        SetDisconnectedState();
        return;
    }
    lastVersion_ = {};
    lastProbeReply_.reset();
    if (!OpenOrReport()) return;
    ui_.SetBusy(true);
    LogLine("++ Connect to " + comms_.LastDevice() + " at " + SettingsText(comms_.Settings()),
            true);
    if (Connected(comms_, &lastProbeReply_)) {
        SetConnectedState();
        lastVersion_ = GetVersion(comms_, ui_, rec_, moduleTypes_);
        versionReported_ = true;
        const auto changes = ModuleTypeChanges(lastVersion_.typesBefore, lastVersion_.moduleTypes);
        if (!changes.empty()) {
            std::string line = "++ Module types from the unit:";
            for (const auto& c : changes) line += (&c == &changes.front() ? " " : "; ") + c;
            LogLine(line, true);
        }
        Notify(hooks_.moduleTypesChanged);
        Notify(hooks_.recordChanged);
        if (!lastVersion_.modulesRead) {
            // A unit streaming without end cannot be read or written: anything asked of it would
            // be answered by the stream. The message said so; the window goes back to Connect.
            SetDisconnectedState();
            outcome_ = ClickOutcome::kFailed;
        }
    } else {
        SetDisconnectedState();
        outcome_ = ClickOutcome::kNotAnswering;
    }
    ui_.SetBusy(false);
    comms_.CloseComms();
}

void UnitSession::AutoBaudClick() {
    if (IsConnected()) ConnectClick();
    outcome_ = ClickOutcome::kDone;
    // A raw TCP device server keeps its own port settings whatever rate the PC picks: every try
    // would talk at the same rate, and the rate "found" would mean nothing.
    if (const std::string device = comms_.DeviceFor(rec_.lstComPort); IsRawTcpAddress(device)) {
        ui_.ShowMessage("Auto Baud cannot search the baud rate over raw TCP (" + device +
                            "): the device server keeps its own port settings, whatever rate "
                            "the PC asks for. Set the server's port to the unit's rate, or reach "
                            "the unit with rfc2217:// if the server offers RFC 2217.",
                        kAppTitle, MessageIcon::kNone);
        outcome_ = ClickOutcome::kRefused;
        return;
    }
    LogLine("++ Auto Baud Detect", true);
    {
        RunningScope running(running_);
        // A port that will not open stops the search silently, as the button always has; a
        // rate the port or the device server refuses is only the first failed try.
        if (!comms_.OpenComms(rec_.lstComPort, rec_.lstBaudPC, rec_.lstPCFormat) &&
            comms_.LastOpenFailure() != OpenFailure::kSettingsRefused &&
            comms_.LastOpenFailure() != OpenFailure::kBadSettings) {
            outcome_ = ClickOutcome::kPortNotOpened;
            return;
        }
    }
    // A rate the port will not open at (an adapter without it, a port taken meanwhile) is one
    // failed try: the search goes on with the next.
    baudSearch_.emplace();
    for (int p = static_cast<int>(kBaudRateItems.size()) - 1; p >= 0; --p) {
        rec_.lstBaudPC = p;
        if (hooks_.baudSelectionChanged) hooks_.baudSelectionChanged(p);
        ConnectClick();
        // A unit that answered the probe at this rate but then kept sending has been found; the
        // rates below would only hear its stream as noise.
        if (IsConnected() || outcome_ == ClickOutcome::kFailed) break;
    }
    baudSearch_.reset();
    if (IsConnected()) return;
    comms_.CloseComms();
    if (outcome_ != ClickOutcome::kFailed) outcome_ = ClickOutcome::kNotAnswering;
}

std::optional<ModuleTypes> UnitSession::UnitModuleTypes() const {
    if (!versionReported_ || !lastVersion_.modulesRead) return std::nullopt;
    return lastVersion_.moduleTypes;
}

void UnitSession::ReadClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    typesBeforeRead_ = moduleTypes_;
    if (!OpenOrReport()) return;
    ui_.SetBusy(true);
    LogLine("++ Get EEprom", true);
    ui_.BeginPhase("Read", 1, 1, kImageBlocks);
    // The blocks go into a scratch copy; the editor's image and record change only when the
    // whole EEPROM arrived, so a broken or stopped transfer never shows a half-new configuration.
    Image scratch = image_;
    const bool complete = GetEEprom(comms_, ui_, scratch);
    if (complete) {
        Notify(hooks_.beforeReadReplaces);
        // Read asks for no version report of its own: the one of the Connect describes the unit
        // (without one, what the editor holds is all there is). Its module types, not those of a
        // file opened since, say which banks hold relays, so the image is decoded under them and
        // the editor takes them, as it takes the unit's version lines.
        UnitContents held;
        held.versionLines = versionReported_ ? lastVersion_.lines : rec_.txtVer;
        held.moduleTypes = UnitModuleTypes().value_or(moduleTypes_);
        held.image = scratch;
        if (hooks_.unitImageRead) hooks_.unitImageRead(held);
        rec_.txtVer = held.versionLines;
        if (held.moduleTypes != moduleTypes_) {
            std::string line = "++ Module types from the unit:";
            for (const auto& c : ModuleTypeChanges(moduleTypes_, held.moduleTypes))
                line += (line.back() == ':' ? " " : "; ") + c;
            LogLine(line, true);
            moduleTypes_ = held.moduleTypes;
            Notify(hooks_.moduleTypesChanged);
        }
        image_ = scratch;
        const DecodeResult decoded = DecodeImage(rec_, moduleTypes_, image_);
        if (hooks_.sizeReported) hooks_.sizeReported(decoded.size);
        Notify(hooks_.recordChanged);
        // What the decode could not show, what its closing rebuild had to adjust, and whether
        // the configuration still fits: each sentence once.
        std::vector<std::string> notes;
        auto note = [&notes](const std::string& w) {
            if (std::find(notes.begin(), notes.end(), w) == notes.end()) notes.push_back(w);
        };
        for (const auto& w : decoded.warnings) note(w);
        for (const auto& w : decoded.build.warnings) note(w);
        if (!decoded.size.fits) note(TooLargeMessage(decoded.build));
        if (!notes.empty()) {
            std::string text =
                "The configuration read from the unit holds values this program "
                "cannot show or store as they are:";
            for (const auto& w : notes) text += "\n" + w;
            ui_.ShowMessage(text, kAppTitle, MessageIcon::kWarning);
        }
    } else {
        outcome_ = ui_.StopRequested() ? ClickOutcome::kStopped : ClickOutcome::kFailed;
    }
    ui_.SetBusy(false);
    comms_.CloseComms();
    SetConnectedState();
}

void UnitSession::WriteClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    writeEnd_ = WriteEnd::kNothingSent;
    blocksAccepted_ = 0;
    BuildResult build;
    const SizeReport size = ReportImageSize(rec_, moduleTypes_, image_, &build);
    if (hooks_.sizeReported) hooks_.sizeReported(size);
    Notify(hooks_.recordChanged);
    if (!size.fits) {
        ui_.ShowMessage(TooLargeMessage(build) + "\nNothing was sent to the unit.", kAppTitle,
                        MessageIcon::kWarning);
        outcome_ = ClickOutcome::kRefused;
        return;
    }
    if (!build.warnings.empty()) {
        // A value the builder had to adjust would reach the unit other than the user sees it.
        std::string text = "The configuration holds values the unit cannot store as shown:";
        for (const auto& w : build.warnings) text += "\n" + w;
        text += "\nCorrect these fields and write again. Nothing was sent to the unit.";
        ui_.ShowMessage(text, kAppTitle, MessageIcon::kWarning);
        outcome_ = ClickOutcome::kRefused;
        return;
    }
    if (!build.notes.empty() || !build.cautions.empty()) {
        // The fields now show what is sent; the user learns before it goes, not afterwards.
        std::string text;
        if (!build.notes.empty()) {
            text = "The configuration is written as the unit keeps it:";
            for (const auto& n : build.notes) text += "\n" + n;
        }
        if (!build.cautions.empty()) {
            text += std::string(text.empty() ? "" : "\n\n") +
                    "These settings are written as they stand, but cannot work as meant:";
            for (const auto& c : build.cautions) text += "\n" + c;
        }
        ui_.ShowMessage(text, kAppTitle, MessageIcon::kInformation);
    }
    if (!OpenOrReport()) return;
    ui_.SetBusy(true);
    // One progress across the steps: the backup, the Write itself, the read-back.
    const int phases = 1 + (checks_.backup ? 1 : 0) + (checks_.verify ? 1 : 0);
    if (checks_.backup && !BackUpUnit(phases)) {
        outcome_ = ui_.StopRequested() ? ClickOutcome::kStopped : ClickOutcome::kFailed;
    } else {
        BuildImage(rec_, moduleTypes_, image_);
        LogLine("++ Put EEprom", true);
        ui_.BeginPhase("Write", checks_.backup ? 2 : 1, phases, kConfigBlocks);
        bool refused = false;
        if (PutEEprom(comms_, ui_, image_, &blocksAccepted_, &refused)) {
            writeEnd_ = checks_.verify ? VerifyWrite(phases) : WriteEnd::kWritten;
            if (hooks_.imageSent)
                hooks_.imageSent(
                    image_, writeEnd_ != WriteEnd::kVerified && writeEnd_ != WriteEnd::kWritten);
            if (writeEnd_ != WriteEnd::kVerified && writeEnd_ != WriteEnd::kWritten &&
                writeEnd_ != WriteEnd::kVerifyStopped)
                outcome_ = ClickOutcome::kFailed;
        } else {
            writeEnd_ = WriteEnd::kStopped;
            outcome_ = ClickOutcome::kFailed;
            ReportStoppedWrite(blocksAccepted_, refused);
        }
    }
    ui_.SetBusy(false);
    comms_.CloseComms();
}

bool UnitSession::ReadUnit(UnitContents& contents, const std::string& failure) {
    ConfigRecord versions;
    contents.moduleTypes = moduleTypes_;
    const VersionReport report = GetVersion(comms_, ui_, versions, contents.moduleTypes);
    contents.versionLines = report.lines;
    // A unit that never ended its version reply cannot be told from its blocks either.
    bool complete = report.modulesRead;
    if (complete) {
        ui_.SetProgress(0, true);
        complete = ReadBlocks(comms_, ui_, contents.image, kImageBlocks) == kImageBlocks;
    }
    // Stopped by the user, it has not failed: the caller says what the stop left.
    if (!complete && !ui_.StopRequested())
        ui_.ShowMessage("Comms failure while reading the unit " + failure, kCommsErrorTitle,
                        MessageIcon::kCritical);
    ui_.SetProgress(0, false);
    return complete;
}

void UnitSession::CompareClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    unitContents_.reset();
    if (!OpenOrReport()) return;
    ui_.SetBusy(true);
    LogLine("++ Get EEprom to compare", true);
    ui_.BeginPhase("Compare", 1, 1, kImageBlocks);
    UnitContents contents;
    if (ReadUnit(contents,
                 "to compare, please check Port, cables and connections. Nothing was compared.")) {
        unitContents_ = std::move(contents);
    } else {
        outcome_ = ui_.StopRequested() ? ClickOutcome::kStopped : ClickOutcome::kFailed;
    }
    ui_.SetBusy(false);
    comms_.CloseComms();
}

bool UnitSession::BackUpUnit(int phases) {
    LogLine("++ Get EEprom for backup", true);
    ui_.BeginPhase("Backup", 1, phases, kImageBlocks);
    UnitContents contents;
    if (!ReadUnit(contents,
                  "for its backup, please check Port, cables and connections. Nothing was "
                  "written to the unit."))
        return false;
    const std::string error = hooks_.keepBackup ? hooks_.keepBackup(contents) : std::string();
    if (error.empty()) return true;
    ui_.ShowMessage(error +
                        "\nThe unit's configuration could not be backed up, so nothing was "
                        "written to the unit.",
                    kAppTitle, MessageIcon::kWarning);
    return false;
}

WriteEnd UnitSession::VerifyWrite(int phase) {
    LogLine("++ Verify EEprom", true);
    ui_.BeginPhase("Verify", phase, phase, kConfigBlocks);
    // Read back into scratch: the editor's image stays what was sent.
    Image readBack = image_;
    ui_.SetProgress(0, true);
    const int arrived = ReadBlocks(comms_, ui_, readBack, kConfigBlocks);
    ui_.SetProgress(0, false);
    // The Write itself has ended well; only the check of it was given up.
    if (arrived < kConfigBlocks && ui_.StopRequested()) return WriteEnd::kVerifyStopped;
    if (arrived < kConfigBlocks) {
        ui_.ShowMessage(
            "Written, but not verified: the unit accepted every block, then stopped answering "
            "while it was read back (block " +
                std::to_string(arrived) +
                "). Whether it kept the configuration is not known.\nCheck Port, cables and "
                "connections, then compare the unit with the configuration or write again.",
            kCommsErrorTitle, MessageIcon::kCritical);
        return WriteEnd::kNotVerified;
    }
    std::vector<int> blocks;
    for (int n = 0; n < kConfigBlocks; ++n) {
        const auto first = n * kBlockSize;
        if (!std::equal(image_.begin() + first, image_.begin() + first + kBlockSize,
                        readBack.begin() + first))
            blocks.push_back(n);
    }
    if (blocks.empty()) return WriteEnd::kVerified;
    std::vector<std::string> lines;
    if (hooks_.describeDifferences) lines = hooks_.describeDifferences(image_, readBack);
    if (lines.empty()) {
        for (int n : blocks)
            lines.push_back("block " + std::to_string(n) + " (addresses " +
                            std::to_string(n * kBlockSize) + " to " +
                            std::to_string(n * kBlockSize + kBlockSize - 1) + ")");
    }
    const bool one = blocks.size() == 1;
    ui_.ShowMessage("The Write failed: the unit accepted every block, but " + BlockNames(blocks) +
                        (one ? " reads" : " read") +
                        " back different from what was sent (sent -> unit):" + ListedLines(lines) +
                        "\nThe unit now holds what was read back in " +
                        (one ? "that block" : "those blocks") +
                        " and the new configuration elsewhere. Write again; if the same blocks "
                        "fail again, the unit's memory may be failing.",
                    kAppTitle, MessageIcon::kCritical);
    return WriteEnd::kDifferent;
}

void UnitSession::ReportStoppedWrite(int accepted, bool refused) {
    const std::string total = std::to_string(kConfigBlocks);
    // A unit that answers, but not with an acknowledgement, has a sound line: sending the same
    // block again will not help until what makes the unit refuse it is found.
    const std::string refusedBlock =
        "The unit refused block " + std::to_string(accepted) +
        " four times: it answered each time, so the connection is not the cause.";
    const std::string refusalAdvice =
        "Check that the unit's configuration memory is not write-protected, then write again; if "
        "the unit refuses the block again, it may have a fault.";
    if (accepted == 0) {
        ui_.ShowMessage(
            refused ? refusedBlock + " It accepted none of the " + total +
                          " blocks of the configuration, so it should still hold the one it "
                          "held before.\n" +
                          refusalAdvice
                    : "The unit accepted none of the " + total +
                          " blocks of the configuration, so it should still hold the one it "
                          "held before. Write again once the connection is sound.",
            kAppTitle, MessageIcon::kWarning);
        return;
    }
    const std::string last = std::to_string(accepted - 1);
    std::string text =
        (refused ? refusedBlock + " " : std::string()) +
        "The Write stopped after the unit accepted " + std::to_string(accepted) + " of the " +
        total +
        " blocks of the configuration. The unit now holds a mix: the new "
        "configuration in " +
        (accepted == 1 ? "block 0" : "blocks 0 to " + last) +
        " and the one it held before in the rest (blocks " + std::to_string(accepted) + " to " +
        std::to_string(kConfigBlocks - 1) + ").\n" +
        (refused ? refusalAdvice : "To recover, write again once the connection is sound.");
    if (hooks_.lastUnitCopy) {
        // Units with the same firmware report the same version lines: the copy must be of this
        // unit, or going back would write another unit's configuration into it.
        const UnitCopyHint copy = hooks_.lastUnitCopy(
            {comms_.LastDevice(), versionReported_ ? lastVersion_.lines : rec_.txtVer});
        if (!copy.path.empty())
            text +=
                " To go back instead, the last configuration read from this unit is kept in the "
                "history:\n" +
                copy.path;
        else
            text +=
                " No copy of what this unit held before is kept in the history, so there is "
                "none to go back to." +
                (copy.howToKeep.empty() ? std::string() : " " + copy.howToKeep);
    }
    ui_.ShowMessage(text, kAppTitle, MessageIcon::kWarning);
}

void UnitSession::MacWriteClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    if (!OpenOrReport()) return;
    ui_.SetBusy(true);
    for (std::size_t m = 0; m < kFixedMacOctets.size(); ++m) rec_.txtMAC[m] = kFixedMacOctets[m];
    const BuildResult built = BuildImage(rec_, moduleTypes_, image_);
    if (!built.fits) {
        // The builder leaves an oversized configuration's image alone, MAC bytes included; the
        // MAC block does not depend on the configuration fitting, so put the address in here.
        for (int m = 0; m < 6; ++m) {
            unsigned v = 0;
            std::sscanf(rec_.txtMAC[m].c_str(), "%2x", &v);
            image_[kMacAddress + m] = static_cast<std::uint8_t>(v);
        }
    }
    Notify(hooks_.recordChanged);
    LogLine("++ Put MAC to EEprom", true);
    if (!PutMAC(comms_, ui_, image_)) outcome_ = ClickOutcome::kFailed;
    ui_.SetBusy(false);
    comms_.CloseComms();
}

void UnitSession::MacIncrementClick() {
    outcome_ = ClickOutcome::kDone;
    IncrementMAC(rec_);
    Notify(hooks_.recordChanged);
}

void UnitSession::ResetClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    if (!OpenOrReport()) return;
    LogLine("++ Reset ORV", true);
    SendReset(comms_);
    comms_.CloseComms();
}

void UnitSession::CalibrateClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    lastLimits_.reset();
    if (!OpenOrReport()) return;
    LogLine("++ Get pulse times", true);
    lastTimes_ = MeasurePulseTimes(comms_);
    if (!lastTimes_.complete) {
        // Limits computed from missing bytes would be zeros: keep the user's values instead.
        comms_.CloseComms();
        ui_.ShowMessage(kPulseTimesFailure, kCommsErrorTitle, MessageIcon::kCritical);
        outcome_ = ClickOutcome::kFailed;
        return;
    }
    rec_.txtFastZero = std::to_string(lastTimes_.fastOff);
    rec_.txtFastOne = std::to_string(lastTimes_.fastOn);
    rec_.txtSlowZero = std::to_string(lastTimes_.slowOff);
    rec_.txtSlowOne = std::to_string(lastTimes_.slowOn);
    const PulseLimits limits = ComputePulseLimits(lastTimes_);
    for (int k = 0; k < 8; ++k) rec_.txtPulseTime[k] = std::to_string(limits.value[k]);
    lastLimits_ = limits;
    comms_.CloseComms();
    Notify(hooks_.recordChanged);
    if (limits.anyClamped())
        ui_.ShowMessage(ClampedLimitsMessage(limits), kAppTitle, MessageIcon::kWarning);
}

void UnitSession::TimerTick(const PortSelection& port) {
    if (!IsConnected()) return;
    bool expected = false;
    if (!running_.compare_exchange_strong(expected, true)) return;  // an exchange is under way
    if (comms_.IsOpen()) {
        running_ = false;
        return;
    }
    // A port that no longer opens counts as a unit that no longer answers.
    const bool answered =
        comms_.OpenComms(port.comPort, port.baudRate, port.format) && Connected(comms_);
    comms_.CloseComms();
    running_ = false;
    if (!answered) SetDisconnectedState();
}

}  // namespace orv
