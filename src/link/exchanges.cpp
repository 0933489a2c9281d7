#include "link/exchanges.h"

#include <cmath>

#include "base/hex.h"
#include "base/numbers.h"
#include "link/protocol.h"
#include "model/identity.h"
#include "model/lists.h"

namespace orv {
namespace {

const std::string kAppTitle(kProgramTitle);

// Progress bar value for done/total of the way, rounded as the bar's integer value is.
int Progress(int done, int total) {
    return static_cast<int>(std::lrint(static_cast<double>(done) / total * 100.0));
}

// R(x): x rounded to whole tens, an exact half ten to the even neighbour.
int RoundToTens(double x) {
    return static_cast<int>(std::nearbyint(x / 10.0)) * 10;
}

}  // namespace

bool Connected(Comms& comms, std::optional<std::uint8_t>* reply) {
    comms.Write({proto::kProbe});
    const std::uint8_t byte = comms.RxByte(proto::kByteTimeoutMs);
    const bool timedOut = comms.RxTimedOut();
    if (reply) *reply = timedOut ? std::nullopt : std::optional<std::uint8_t>(byte);
    return !timedOut && byte == proto::kProbeReply;
}

std::chrono::milliseconds VersionLineBudget(const SerialSettings& settings) {
    const auto fullLine = CharacterTime(settings) * static_cast<long long>(kMaxVersionLine + 2);
    return std::chrono::duration_cast<std::chrono::milliseconds>(2 * fullLine) +
           std::chrono::milliseconds(kVersionLineSlackMs);
}

namespace {

// "Comms timeout while getting Version: the unit sent more than 256 characters without ending
// the line...", for a line given up.
std::string LineGivenUpText(LineEnd end, std::chrono::milliseconds budget) {
    const auto seconds = (budget.count() + 999) / 1000;
    return std::string(kVersionTimeoutText) + ": the unit sent " +
           (end == LineEnd::kTooLong
                ? "more than " + std::to_string(kMaxVersionLine) + " characters"
                : "characters for more than " + std::to_string(seconds) + " seconds") +
           " without ending the line.\nCheck that the PC baud rate and serial format match the "
           "unit, then connect again.";
}

// One version line; a timeout is said at once, a line given up is left to the caller to say.
RxLine ReceiveLine(Comms& comms, LinkUi& ui) {
    RxLine line;
    const auto budget = VersionLineBudget(comms.Settings());
    const auto budgetEnd = SerialClock::now() + budget;
    for (;;) {
        const std::uint8_t byte = comms.RxByte(proto::kByteTimeoutMs);
        if (comms.RxTimedOut()) {
            ui.ShowMessage(kVersionTimeoutText, kAppTitle, MessageIcon::kNone);
            return {{}, LineEnd::kTimeout};
        }
        if (byte == 0x0A || byte == 0x00) break;
        // Checked before the byte is kept: a line of exactly kMaxVersionLine characters is whole.
        if (line.text.size() >= kMaxVersionLine || SerialClock::now() > budgetEnd)
            return {{},
                    line.text.size() >= kMaxVersionLine ? LineEnd::kTooLong : LineEnd::kTooSlow};
        line.text.push_back(static_cast<char>(byte));
    }
    if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    return line;
}

bool GivenUp(LineEnd end) {
    return end == LineEnd::kTooLong || end == LineEnd::kTooSlow;
}

}  // namespace

RxLine RxStringEx(Comms& comms, LinkUi& ui) {
    const RxLine line = ReceiveLine(comms, ui);
    if (GivenUp(line.end))
        ui.ShowMessage(LineGivenUpText(line.end, VersionLineBudget(comms.Settings())), kAppTitle,
                       MessageIcon::kWarning);
    return line;
}

std::string RxString(Comms& comms, LinkUi& ui) {
    return RxStringEx(comms, ui).text;
}

bool DropUntilQuiet(Comms& comms) {
    const auto fullLine =
        CharacterTime(comms.Settings()) * static_cast<long long>(kMaxVersionLine + 2);
    const auto end = SerialClock::now() + 2 * fullLine;
    for (;;) {
        comms.RxByte(proto::kByteTimeoutMs);
        if (comms.RxTimedOut()) return true;
        if (SerialClock::now() > end) return false;
    }
}

VersionReport GetVersion(Comms& comms, LinkUi& ui, ConfigRecord& rec, ModuleTypes& moduleTypes) {
    VersionReport report;
    report.typesBefore = moduleTypes;
    comms.Write({proto::kCommandPrefix, proto::kCmdVersion});
    for (int k = 0; k < 2; ++k) {
        const RxLine line = ReceiveLine(comms, ui);
        report.lines[k] = line.text;
        if (!GivenUp(line.end)) continue;
        // The rest of this line, and the other line with it, can no longer be told apart.
        if (!DropUntilQuiet(comms)) {
            ui.ShowMessage(kUnitKeepsSendingText, kCommsErrorTitle, MessageIcon::kCritical);
            rec.txtVer = report.lines;
            report.moduleTypes = moduleTypes;
            return report;
        }
        ui.ShowMessage(LineGivenUpText(line.end, VersionLineBudget(comms.Settings())), kAppTitle,
                       MessageIcon::kWarning);
        break;
    }
    rec.txtVer = report.lines;

    comms.Write({proto::kCommandPrefix});
    comms.Write({proto::kCmdModules});
    std::string unknown;
    for (int b = 0; b < kBanks; ++b) {
        int code = comms.RxByte(proto::kByteTimeoutMs);
        if (code >= kModuleListItems) {
            unknown += "\nBank " + std::to_string(b + 1) + " reported module type " +
                       std::to_string(code) + ".";
            code = kModuleNotFitted;
        }
        moduleTypes[b] = code;
    }
    report.moduleTypes = moduleTypes;
    report.modulesRead = true;
    if (!unknown.empty()) {
        ui.ShowMessage("The unit reported a module type this program does not know:" + unknown +
                           "\nSuch a bank is shown as NOT FITTED.",
                       kAppTitle, MessageIcon::kWarning);
    }
    return report;
}

bool ReadBlock(Comms& comms, int n, Image& image) {
    comms.Write(proto::ReadBlockRequest(n));
    comms.ExpectReply(proto::kReadReplySize);
    for (int k = 0; k < proto::kReadReplyLeadBytes; ++k) {
        comms.RxByte(proto::kByteTimeoutMs);
        if (comms.RxTimedOut()) return false;
    }
    for (int i = 0; i < kBlockSize; ++i) {
        const std::uint8_t low = comms.RxByte(proto::kByteTimeoutMs);
        if (comms.RxTimedOut()) return false;
        const std::uint8_t high = comms.RxByte(proto::kByteTimeoutMs);
        if (comms.RxTimedOut()) return false;
        image[n * kBlockSize + i] = proto::ByteFromNibbles(low, high);
    }
    return true;
}

int ReadBlocks(Comms& comms, LinkUi& ui, Image& image, int count) {
    for (int n = 0; n < count; ++n) {
        // Reading changes nothing on the unit, so a stop is taken between two blocks.
        if (ui.StopRequested()) return n;
        if (!ReadBlock(comms, n, image)) return n;
        ui.SetProgress(Progress(n + 1, count), true);
        ui.BlockDone(n + 1);
    }
    return count;
}

bool GetEEprom(Comms& comms, LinkUi& ui, Image& image) {
    ui.SetProgress(0, true);
    const bool complete = ReadBlocks(comms, ui, image, kImageBlocks) == kImageBlocks;
    // A Read the user stopped has not failed: nothing is wrong with the line.
    if (!complete && !ui.StopRequested())
        ui.ShowMessage(kGetFailureText, kCommsErrorTitle, MessageIcon::kCritical);
    ui.SetProgress(0, false);
    return complete;
}

bool PutEEprom(Comms& comms, LinkUi& ui, const Image& image, int* acknowledged, bool* refused) {
    ui.SetProgress(0, true);
    bool ok = true;
    if (refused) *refused = false;
    int accepted = 0;
    for (int n = 0; n < kConfigBlocks && ok; ++n) {
        std::span<const std::uint8_t, kBlockSize> data(image.data() + n * kBlockSize, kBlockSize);
        const auto request = proto::WriteBlockRequest(n, data);
        for (int retry = 0;; ++retry) {
            comms.Write(request);
            const std::uint8_t reply = comms.RxByte(proto::kBlockAckTimeoutMs);
            if (comms.RxTimedOut()) {
                ui.ShowMessage(kPutFailureText, kCommsErrorTitle, MessageIcon::kCritical);
                ok = false;
                break;
            }
            if (reply == proto::kAck) {
                ++accepted;
                ui.SetProgress(Progress(n + 1, 255), true);
                ui.BlockDone(accepted);
                break;
            }
            if (retry + 1 >= proto::kMaxSends) {
                ui.ShowMessage(kPutRefusedText, kAppTitle, MessageIcon::kNone);
                if (refused) *refused = true;
                ok = false;
                break;
            }
        }
    }
    if (acknowledged) *acknowledged = accepted;
    ui.SetProgress(0, false);
    return ok;
}

bool PutMAC(Comms& comms, LinkUi& ui, const Image& image) {
    ui.SetProgress(0, true);
    const auto request = proto::MacWriteRequest(image);
    bool ok = false;
    for (int retry = 0;; ++retry) {
        comms.Write(request);
        const std::uint8_t reply = comms.RxByte(proto::kMacAckTimeoutMs);
        if (comms.RxTimedOut()) {
            ui.ShowMessage(kPutFailureText, kCommsErrorTitle, MessageIcon::kCritical);
            break;
        }
        if (reply == proto::kAck) {
            ui.SetProgress(100, true);
            ok = true;
            break;
        }
        if (retry + 1 >= proto::kMaxSends) {
            ui.ShowMessage(kPutRefusedText, kAppTitle, MessageIcon::kNone);
            break;
        }
    }
    ui.SetProgress(0, false);
    return ok;
}

void IncrementMAC(ConfigRecord& rec) {
    for (int k = 5; k >= 3; --k) {
        const auto value = static_cast<unsigned>(ParseDigits(rec.txtMAC[k], 16, 0xFF).value_or(0));
        const unsigned v = (value + 1) % 256;
        rec.txtMAC[k] = HexString(v, 2);
        if (v != 0) return;
    }
}

void SendReset(Comms& comms) {
    comms.Write({proto::kCommandPrefix, proto::kCmdReset});
}

PulseTimes MeasurePulseTimes(Comms& comms) {
    comms.Write({proto::kCommandPrefix});
    comms.Write({proto::kCmdPulseTimes});
    PulseTimes t;
    for (int* time : {&t.fastOff, &t.fastOn, &t.slowOff, &t.slowOn}) {
        *time = comms.RxByte(proto::kByteTimeoutMs) * 10;
        if (comms.RxTimedOut()) t.complete = false;
    }
    return t;
}

bool PulseLimits::anyClamped() const {
    for (bool c : clamped)
        if (c) return true;
    return false;
}

const std::array<const char*, 8> kPulseLimitNames{
    "Fast Pulse ON Min", "Fast Pulse ON Max", "Fast Pulse OFF Min", "Fast Pulse OFF Max",
    "Slow Pulse ON Min", "Slow Pulse ON Max", "Slow Pulse OFF Min", "Slow Pulse OFF Max",
};

PulseLimits ComputePulseLimits(const PulseTimes& t) {
    const double fastOn = t.fastOn, fastOff = t.fastOff, slowOn = t.slowOn, slowOff = t.slowOff;
    const double meanOn = std::sqrt(slowOn * fastOn);
    const double meanOff = std::sqrt(slowOff * fastOff);
    PulseLimits out;
    out.computed = {RoundToTens(2 * fastOn / 3),  RoundToTens(meanOn),
                    RoundToTens(2 * fastOff / 3), RoundToTens(meanOff),
                    RoundToTens(meanOn),          RoundToTens(3 * slowOn / 2),
                    RoundToTens(meanOff),         RoundToTens(3 * slowOff / 2)};
    for (int k = 0; k < 8; ++k) {
        out.clamped[k] = out.computed[k] > kMaxPulseLimit;
        out.value[k] = out.clamped[k] ? kMaxPulseLimit : out.computed[k];
    }
    return out;
}

std::string ClampedLimitsMessage(const PulseLimits& limits) {
    std::string list;
    int count = 0;
    for (int k = 0; k < 8; ++k) {
        if (!limits.clamped[k]) continue;
        list += "\n" + std::string(kPulseLimitNames[k]) + ": " +
                std::to_string(limits.computed[k]) + " mS";
        ++count;
    }
    if (count == 0) return {};
    return std::string(count == 1 ? "This suggested limit is" : "These suggested limits are") +
           " above " + std::to_string(kMaxPulseLimit) +
           " mS, the largest the unit accepts:" + list + "\n" +
           (count == 1 ? "It was" : "They were") + " set to " + std::to_string(kMaxPulseLimit) +
           " mS. Check the slow pulse sequence, or adjust the limits by hand.";
}

}  // namespace orv
