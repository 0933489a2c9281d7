#include "report/names.h"

#include "files/record_json.h"
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

std::string Quoted(std::string_view latin1) {
    return "'" + Latin1ToUtf8(latin1) + "'";
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

std::string MacText(const ConfigRecord& rec) {
    std::string text;
    for (std::size_t k = 0; k < rec.txtMAC.size(); ++k)
        text += (k ? ":" : "") + Latin1ToUtf8(rec.txtMAC[k]);
    return text;
}

std::optional<long long> DecimalValue(std::string_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool SameNumber(std::string_view a, std::string_view b) {
    const auto x = DecimalValue(a), y = DecimalValue(b);
    if (x && y) return *x == *y;
    return a == b;
}

namespace {
std::optional<long long> HexValue(std::string_view text) {
    if (text.empty() || text.size() > 15) return std::nullopt;
    long long value = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + d;
    }
    return value;
}
}  // namespace

bool SameHex(std::string_view a, std::string_view b) {
    const auto x = HexValue(a), y = HexValue(b);
    if (x && y) return *x == *y;
    return a == b;
}

std::string OptionName(int bit) {
    if (bit == 0) return "Suppress Reset Strings";
    if (bit == 7) return "Loop RS232 Output => Input";
    return "spare option bit " + std::to_string(bit);
}

}  // namespace orv::report
