#include "link/unit_session.h"

#include <algorithm>
#include <cstdio>

#include "base/log.h"
#include "link/protocol.h"
#include "model/addresses.h"
#include "model/identity.h"
#include "model/lists.h"

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
        SetDisconnectedState();
        return;
    }
    if (!OpenOrReport()) return;
    ui_.SetBusy(true);
    if (Connected(comms_)) {
        SetConnectedState();
        lastVersion_ = GetVersion(comms_, ui_, rec_, moduleTypes_);
        Notify(hooks_.moduleTypesChanged);
        Notify(hooks_.recordChanged);
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
    {
        RunningScope running(running_);
        if (!comms_.OpenComms(rec_.lstComPort, rec_.lstBaudPC, rec_.lstPCFormat)) {
            outcome_ = ClickOutcome::kPortNotOpened;  // silent, as the button has always been
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
        if (IsConnected()) break;
    }
    baudSearch_.reset();
    if (IsConnected()) return;
    comms_.CloseComms();
    outcome_ = ClickOutcome::kNotAnswering;
}

void UnitSession::ReadClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    if (!OpenOrReport()) return;
    ui_.SetBusy(true);
    LogLine("++ Get EEprom", true);
    // The blocks go into a scratch copy; the editor's image and record change only when the
    // whole EEPROM arrived, so a broken transfer never shows a half-new configuration.
    Image scratch = image_;
    const bool complete = GetEEprom(comms_, ui_, scratch);
    if (complete) {
        Notify(hooks_.beforeReadReplaces);
        if (hooks_.unitImageRead) hooks_.unitImageRead(scratch);
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
        outcome_ = ClickOutcome::kFailed;
    }
    ui_.SetBusy(false);
    comms_.CloseComms();
    SetConnectedState();
}

void UnitSession::WriteClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
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
    if (!OpenOrReport()) return;
    ui_.SetBusy(true);
    BuildImage(rec_, moduleTypes_, image_);
    LogLine("++ Put EEprom", true);
    if (PutEEprom(comms_, ui_, image_)) {
        if (hooks_.imageSent) hooks_.imageSent(image_);
    } else {
        outcome_ = ClickOutcome::kFailed;
    }
    ui_.SetBusy(false);
    comms_.CloseComms();
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
    SendReset(comms_);
    comms_.CloseComms();
}

void UnitSession::CalibrateClick() {
    RunningScope running(running_);
    outcome_ = ClickOutcome::kDone;
    lastLimits_.reset();
    if (!OpenOrReport()) return;
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
