#include "report/names.h"

#include "base/latin1.h"
#include "base/numbers.h"
#include "model/rules.h"

namespace orv::report {

BankKind KindOf(int moduleType) {
    switch (TabSetFor(moduleType)) {
        case BankTabSet::kChannels:
            return BankKind::kInputs;
        case BankTabSet::kRelays:
            return BankKind::kRelays;
        case BankTabSet::kNone:
            break;
    }
    return BankKind::kNotShown;
}

bool StateShown(int moduleType, int state) {
    if (KindOf(moduleType) != BankKind::kInputs) return false;
    return moduleType != kModuleDryContact || state == kStateReset || state == kStateSteady;
}

std::string ModuleText(int moduleType) {
    if (!IsKnownModuleCode(moduleType))
        return "unknown module type " + std::to_string(moduleType) + " (shown as " +
               std::string(ModuleTypeName(kModuleNotFitted)) + ")";
    return std::string(ModuleTypeName(moduleType));
}

std::string RepeatText(const ConfigRecord& rec, int repeatPosition) {
    std::string text = ListText(kRepeatItems, repeatPosition);
    if (repeatPosition >= 0 && repeatPosition < 4)
        text +=
            " (" + Latin1ToUtf8(rec.txtRepTime[static_cast<std::size_t>(repeatPosition)]) + " s)";
    return text;
}

std::string PortText(const ConfigRecord& rec, int port) {
    const auto n = static_cast<std::size_t>(port);
    return ListText(kBaudRateItems, rec.lstPortBaudrate[n]) + " baud, " +
           ListText(kFrameFormatItems, rec.lstPortFormat[n]);
}

std::string IpText(const ConfigRecord& rec) {
    std::string text;
    for (std::size_t k = 0; k < rec.txtIP.size(); ++k)
        text += (k ? "." : "") + Latin1ToUtf8(rec.txtIP[k]);
    return text;
}

std::optional<long long> DecimalValue(std::string_view text) {
    if (text.size() > 18) return std::nullopt;
    const auto value = ParseDigits(text, 10);
    if (!value) return std::nullopt;
    return static_cast<long long>(*value);
}

bool SameNumber(std::string_view a, std::string_view b) {
    const auto x = DecimalValue(a), y = DecimalValue(b);
    if (x && y) return *x == *y;
    return a == b;
}

bool SameHex(std::string_view a, std::string_view b) {
    // Fifteen digits at most, as DecimalValue takes eighteen.
    auto value = [](std::string_view t) {
        return t.size() > 15 ? std::nullopt : ParseDigits(t, 16);
    };
    const auto x = value(a), y = value(b);
    if (x && y) return *x == *y;
    return a == b;
}

std::string OptionName(int bit) {
    if (bit == 0) return "Suppress Reset Strings";
    if (bit == 7) return "Loop RS232 Output => Input";
    return "spare option bit " + std::to_string(bit);
}

}  // namespace orv::report
