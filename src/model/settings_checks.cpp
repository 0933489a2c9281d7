#include "model/settings_checks.h"

#include "base/numbers.h"
#include "model/time_steps.h"

namespace orv {
namespace {

// The value the image builder would read, or nullopt for a text it reports on its own.
std::optional<double> NumberOf(const std::string& text) {
    const LeadingNumber n = ReadLeadingNumber(text);
    if (n.status != NumberStatus::kOk) return std::nullopt;
    return n.value;
}

std::string Shown(double value) {
    const auto whole = static_cast<long long>(value);
    return static_cast<double>(whole) == value ? std::to_string(whole) : std::to_string(value);
}

constexpr const char* kActionWords[] = {"Close", "Open", "Toggle"};
// The from and to slots of an action's range: 0/4 Close, 1/5 Open, 2/6 Toggle.
constexpr int kFromSlot[] = {kSlotCloseFrom, kSlotOpenFrom, kSlotToggleFrom};
constexpr int kToSlot[] = {kSlotCloseTo, kSlotOpenTo, kSlotToggleTo};

}  // namespace

std::optional<std::string> PulseWindowProblem(const ConfigRecord& rec, int window) {
    if (window < 0 || window >= kPulseWindows) return std::nullopt;
    const int min = 2 * window, max = 2 * window + 1;
    const auto lo = NumberOf(rec.txtPulseTime[static_cast<std::size_t>(min)]);
    const auto hi = NumberOf(rec.txtPulseTime[static_cast<std::size_t>(max)]);
    if (!lo || !hi || *lo <= *hi) return std::nullopt;
    return PulseTimeLabel(min) + " " + Shown(*lo) + " " + std::string(kPulseTimeUnit) +
           " is above " + PulseTimeLabel(max) + " " + Shown(*hi) + " " +
           std::string(kPulseTimeUnit) + ": no pulse can fall in that window.";
}

std::optional<std::string> RelayRangeProblem(const ConfigRecord& rec, int relay, int action) {
    if (relay < 0 || relay >= kRelays || action < 0 || action > 2) return std::nullopt;
    const auto from =
        rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(relay, kFromSlot[action]))];
    const auto to = rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(relay, kToSlot[action]))];
    const auto first = NumberOf(from), last = NumberOf(to);
    if (!first || !last || *first <= *last) return std::nullopt;
    return "Bank " + std::to_string(relay / kRelayOutputsPerBank + 1) + " relay " +
           std::to_string(relay % kRelayOutputsPerBank + 1) + " " + kActionWords[action] +
           ": first RIC " + from + " is above last RIC " + to + ": the range holds no RIC.";
}

std::vector<std::string> ImpossibleSettings(const ConfigRecord& rec,
                                            const ModuleTypes& moduleTypes) {
    std::vector<std::string> found;
    for (int w = 0; w < kPulseWindows; ++w)
        if (auto p = PulseWindowProblem(rec, w)) found.push_back(std::move(*p));
    for (int b = 0; b < kBanks; ++b) {
        if (moduleTypes[static_cast<std::size_t>(b)] != kModuleRelay) continue;
        for (int r = 0; r < kRelayOutputsPerBank; ++r)
            for (int a = 0; a < 3; ++a)
                if (auto p = RelayRangeProblem(rec, RelayIndex(b, r), a))
                    found.push_back(std::move(*p));
    }
    return found;
}

std::optional<RelayRange> RelayRangeOf(int relayRicIndex) {
    if (relayRicIndex < 0 || relayRicIndex >= kRelayRicFields) return std::nullopt;
    const int slot = relayRicIndex % 8;
    if (slot == kSlotCloseTMax || slot == kSlotToggleRepeatFilter) return std::nullopt;
    return RelayRange{relayRicIndex / 8, slot % 4};
}

}  // namespace orv
