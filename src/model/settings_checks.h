// Settings the unit stores as they are but that cannot work as meant: a pulse window whose Min is
// above its Max catches no pulse, a relay range whose first RIC is above its last answers no RIC.
// They are never refused (a technician may be half way through changing a pair): whoever shows
// the configuration names them, in these sentences, on leaving the field, in Size, before a Write
// and in orv-cli's warnings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/record.h"

namespace orv {

// Pulse window w (0 Fast ON, 1 Fast OFF, 2 Slow ON, 3 Slow OFF) is txtPulseTime(2w) .. (2w + 1).
constexpr int kPulseWindows = 4;
// "Fast ON Min 500 ms is above Fast ON Max 380 ms: no pulse can fall in that window."
std::optional<std::string> PulseWindowProblem(const ConfigRecord& rec, int window);
// The action's range of a relay (0..31) of a relay bank, "Bank 3 relay 2 Close: first RIC 2000020
// is above last RIC 2000010: the range holds no RIC."
std::optional<std::string> RelayRangeProblem(const ConfigRecord& rec, int relay, int action);
// Every such setting of the record, pulse windows first, then the relay ranges of the banks that
// hold a relay module.
std::vector<std::string> ImpossibleSettings(const ConfigRecord& rec,
                                            const ModuleTypes& moduleTypes);

// Which pulse window a txtPulseTime index belongs to, and which relay and action a txtRlyRIC
// index's range belongs to (nullopt for the TMax and Repeat Filter slots).
constexpr int PulseWindowOf(int pulseTime) {
    return pulseTime / 2;
}
struct RelayRange {
    int relay = 0;
    int action = 0;
};
std::optional<RelayRange> RelayRangeOf(int relayRicIndex);

}  // namespace orv
