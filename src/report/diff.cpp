// The differences between two configurations, in the words of the report.
#include <algorithm>
#include <array>
#include <cctype>

#include "base/latin1.h"
#include "base/quote.h"
#include "model/addresses.h"
#include "report/names.h"
#include "report/report.h"

namespace orv {
namespace {

using namespace report;

// The field names of channel and relay lines, after "Bank 1 channel 5 SLOW: " or "Bank 3 relay 1
// Close: ".
constexpr std::string_view kRic = "RIC";
constexpr std::string_view kFunctionCode = "function code";
constexpr std::string_view kPagerType = "pager type";
constexpr std::string_view kPagingRate = "paging rate";
constexpr std::string_view kRepeatLetter = "repeat time";
constexpr std::string_view kMessage = "message";
constexpr std::array<std::string_view, 6> kChannelFields{kRic,        kFunctionCode, kPagerType,
                                                         kPagingRate, kRepeatLetter, kMessage};
constexpr std::string_view kRicRange = "RIC range";
constexpr std::string_view kBeep = "beep";
constexpr std::string_view kTMax = "TMax";
constexpr std::string_view kRepeatFilter = "Repeat Filter";
constexpr std::array<std::string_view, 4> kRelayFields{kRicRange, kBeep, kTMax, kRepeatFilter};
constexpr std::string_view kModule = "module";

std::string Label(std::string_view field) {
    return std::string(field) + " ";
}

// "RS485 address limit" -> "rs485-address-limit", "Option 'Loop RS232 Output => Input'" ->
// "option-loop-rs232-output-input".
std::string FieldName(std::string_view label) {
    std::string name;
    bool gap = false;
    for (const char c : label) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !name.empty()) name += '-';
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            gap = false;
        } else {
            gap = true;
        }
    }
    return name;
}

// The labels of the general settings, each as its line starts before ": ".
std::vector<std::string> GeneralLabels() {
    std::vector<std::string> labels{"Firmware version line 1", "Firmware version line 2"};
    for (const auto port : kPortNames) {
        labels.emplace_back(port);
        labels.push_back(std::string(port) + " format");
    }
    for (const char* l : {"RS485 role", "RS485 address", "RS485 address limit",
                          "RS485 address or limit", "IP address", "MAC address"})
        labels.emplace_back(l);
    for (const auto& item : kRepeatItems) labels.push_back("Repeat time " + std::string(item.text));
    for (const auto window : kPulseWindowNames) {
        labels.push_back(std::string(window) + " min");
        labels.push_back(std::string(window) + " max");
    }
    for (int o = 0; o < 8; ++o) labels.push_back("Option '" + OptionName(o) + "'");
    return labels;
}

class Differences {
  public:
    Differences(const ConfigRecord& a, const ConfigRecord& b) : a_(a), b_(b) {}

    // label is the start of the line up to the old value, "RS232 port: " or "Bank 2 channel 5
    // SLOW: message ": a line "label old -> new" when the texts differ.
    void Add(const std::string& label, const std::string& oldText, const std::string& newText) {
        if (oldText != newText) lines_.push_back(label + oldText + " -> " + newText);
    }
    // Numbers held as decimal text, compared by value.
    void AddNumber(const std::string& what, const std::string& oldText, const std::string& newText,
                   std::string_view unit = {}) {
        if (SameNumber(oldText, newText)) return;
        const std::string u = unit.empty() ? "" : " " + std::string(unit);
        lines_.push_back(what + Latin1ToUtf8(oldText) + u + " -> " + Latin1ToUtf8(newText) + u);
    }

    void General();
    void Channel(int bank, int channel, int state);
    void Relay(int bank, int output);

    std::vector<std::string> Take() { return std::move(lines_); }

  private:
    const ConfigRecord& a_;
    const ConfigRecord& b_;
    std::vector<std::string> lines_;
};

void Differences::General() {
    for (std::size_t v = 0; v < 2; ++v)
        if (a_.txtVer[v] != b_.txtVer[v])
            Add("Firmware version line " + std::to_string(v + 1) + ": ",
                QuoteForReport(a_.txtVer[v]), QuoteForReport(b_.txtVer[v]));
    for (std::size_t n = 0; n < 2; ++n) {
        Add(std::string(kPortNames[n]) + ": ", ListText(kBaudRateItems, a_.lstPortBaudrate[n]),
            ListText(kBaudRateItems, b_.lstPortBaudrate[n]));
        Add(std::string(kPortNames[n]) + " format: ",
            ListText(kFrameFormatItems, a_.lstPortFormat[n]),
            ListText(kFrameFormatItems, b_.lstPortFormat[n]));
    }
    auto role = [](const ConfigRecord& r) { return std::string(r.optMaster ? "Master" : "Slave"); };
    Add("RS485 role: ", role(a_), role(b_));
    // The same number means an address to a slave and an address limit to a master.
    const std::string addressName = a_.optMaster == b_.optMaster
                                        ? (a_.optMaster ? "RS485 address limit" : "RS485 address")
                                        : "RS485 address or limit";
    AddNumber(addressName + ": ", a_.txtRS485Address, b_.txtRS485Address);

    bool ipSame = true;
    for (std::size_t k = 0; k < 4; ++k) ipSame = ipSame && SameNumber(a_.txtIP[k], b_.txtIP[k]);
    if (!ipSame) Add("IP address: ", IpText(a_), IpText(b_));
    bool macSame = true;
    for (std::size_t k = 0; k < 6; ++k) macSame = macSame && SameHex(a_.txtMAC[k], b_.txtMAC[k]);
    if (!macSame) Add("MAC address: ", Latin1ToUtf8(MacText(a_)), Latin1ToUtf8(MacText(b_)));

    for (std::size_t t = 0; t < 4; ++t)
        AddNumber("Repeat time " + std::string(kRepeatItems[t].text) + ": ", a_.txtRepTime[t],
                  b_.txtRepTime[t], "s");
    for (std::size_t w = 0; w < kPulseWindowNames.size(); ++w) {
        AddNumber(std::string(kPulseWindowNames[w]) + " min: ", a_.txtPulseTime[2 * w],
                  b_.txtPulseTime[2 * w], "ms");
        AddNumber(std::string(kPulseWindowNames[w]) + " max: ", a_.txtPulseTime[2 * w + 1],
                  b_.txtPulseTime[2 * w + 1], "ms");
    }
    for (std::size_t o = 0; o < 8; ++o)
        Add("Option '" + OptionName(static_cast<int>(o)) + "': ", a_.chkOptions[o] ? "on" : "off",
            b_.chkOptions[o] ? "on" : "off");
}

void Differences::Channel(int bank, int channel, int state) {
    const auto i = static_cast<std::size_t>(ChannelStateIndex(bank, channel, state));
    const std::string where = "Bank " + std::to_string(bank + 1) + " channel " +
                              std::to_string(channel + 1) + " " +
                              std::string(kStateNames[static_cast<std::size_t>(state)]) + ": ";
    AddNumber(where + Label(kRic), a_.txtRIC[i], b_.txtRIC[i]);
    Add(where + Label(kFunctionCode), ListText(kFuncItems, a_.lstFunc[i]),
        ListText(kFuncItems, b_.lstFunc[i]));
    Add(where + Label(kPagerType), ListText(kTypeItems, a_.lstType[i]),
        ListText(kTypeItems, b_.lstType[i]));
    Add(where + Label(kPagingRate), ListText(kPagingBaudItems, a_.lstBaud[i]),
        ListText(kPagingBaudItems, b_.lstBaud[i]));
    // The letter only: a changed repeat time itself is named once, in the general settings.
    Add(where + Label(kRepeatLetter), ListText(kRepeatItems, a_.lstRepeat[i]),
        ListText(kRepeatItems, b_.lstRepeat[i]));
    if (a_.txtMsg[i] != b_.txtMsg[i])
        Add(where + Label(kMessage), QuoteForReport(a_.txtMsg[i]), QuoteForReport(b_.txtMsg[i]));
}

void Differences::Relay(int bank, int output) {
    const int r = RelayIndex(bank, output);
    auto ric = [&](const ConfigRecord& rec, int slot) -> const std::string& {
        return rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(r, slot))];
    };
    for (int t = 0; t < 3; ++t) {
        const std::string where = "Bank " + std::to_string(bank + 1) + " relay " +
                                  std::to_string(output + 1) + " " +
                                  std::string(kActionNames[static_cast<std::size_t>(t)]) + ": ";
        if (!SameNumber(ric(a_, t), ric(b_, t)) || !SameNumber(ric(a_, t + 4), ric(b_, t + 4)))
            Add(where + Label(kRicRange),
                Latin1ToUtf8(ric(a_, t)) + "-" + Latin1ToUtf8(ric(a_, t + 4)),
                Latin1ToUtf8(ric(b_, t)) + "-" + Latin1ToUtf8(ric(b_, t + 4)));
        const auto m = static_cast<std::size_t>(RelayBeepIndex(r, t));
        Add(where + Label(kBeep), ListText(kRelayBeepItems, a_.lstRlyBeep[m]),
            ListText(kRelayBeepItems, b_.lstRlyBeep[m]));
        if (t == kActionClose)
            AddNumber(where + Label(kTMax), ric(a_, kSlotCloseTMax), ric(b_, kSlotCloseTMax), "s");
        if (t == kActionToggle)
            AddNumber(where + Label(kRepeatFilter), ric(a_, kSlotToggleRepeatFilter),
                      ric(b_, kSlotToggleRepeatFilter), "s");
    }
}

}  // namespace

std::vector<std::string> ConfigDifferences(const ConfigRecord& a, const ModuleTypes& typesA,
                                           const ConfigRecord& b, const ModuleTypes& typesB) {
    Differences d(a, b);
    d.General();
    for (int bank = 0; bank < kBanks; ++bank) {
        const int ta = typesA[static_cast<std::size_t>(bank)];
        const int tb = typesB[static_cast<std::size_t>(bank)];
        d.Add("Bank " + std::to_string(bank + 1) + " " + std::string(kModule) + ": ",
              ModuleText(ta), ModuleText(tb));
    }
    for (int bank = 0; bank < kBanks; ++bank) {
        const int ta = typesA[static_cast<std::size_t>(bank)];
        const int tb = typesB[static_cast<std::size_t>(bank)];
        if (KindOf(ta) == BankKind::kInputs && KindOf(tb) == BankKind::kInputs) {
            for (int c = 0; c < kChannelsPerBank; ++c)
                for (int s = 0; s < kStatesPerChannel; ++s)
                    if (StateShown(ta, s) && StateShown(tb, s)) d.Channel(bank, c, s);
        } else if (KindOf(ta) == BankKind::kRelays && KindOf(tb) == BankKind::kRelays) {
            for (int o = 0; o < kRelayOutputsPerBank; ++o) d.Relay(bank, o);
        }
    }
    return d.Take();
}

std::string DifferenceField(std::string_view line) {
    const auto colon = line.find(": ");
    if (colon == std::string_view::npos) return {};
    const std::string_view label = line.substr(0, colon);
    const std::string_view rest = line.substr(colon + 2);
    if (!label.starts_with("Bank ")) {
        const std::string name = FieldName(label);
        for (const auto& l : GeneralLabels())
            if (FieldName(l) == name) return name;
        return {};
    }
    if (label.ends_with(" " + std::string(kModule))) return FieldName(kModule);
    // Longer names first where one begins with another ("RIC range", "RIC").
    auto field = [&rest](auto fields) -> std::string {
        std::sort(fields.begin(), fields.end(),
                  [](std::string_view a, std::string_view b) { return a.size() > b.size(); });
        for (const auto f : fields)
            if (rest.starts_with(Label(f))) return FieldName(f);
        return {};
    };
    if (label.find(" channel ") != std::string_view::npos) return field(kChannelFields);
    if (label.find(" relay ") != std::string_view::npos) return field(kRelayFields);
    return {};
}

std::vector<std::string> DifferenceFieldNames() {
    std::vector<std::string> names;
    for (const auto& l : GeneralLabels()) names.push_back(FieldName(l));
    names.push_back(FieldName(kModule));
    for (const auto f : kChannelFields) names.push_back(FieldName(f));
    for (const auto f : kRelayFields) names.push_back(FieldName(f));
    return names;
}

}  // namespace orv
