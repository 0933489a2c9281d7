// The readable report of a configuration.
#include <sstream>

#include "base/latin1.h"
#include "image/image.h"
#include "model/addresses.h"
#include "model/rules.h"
#include "report/names.h"
#include "report/report.h"

namespace orv {
namespace {

using namespace report;

// Pads a text to a width (texts are ASCII where widths matter; longer texts are not cut).
std::string Pad(std::string_view text, std::size_t width) {
    std::string out(text);
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

std::string Right(std::string_view text, std::size_t width) {
    std::string out(text);
    if (out.size() < width) out.insert(0, width - out.size(), ' ');
    return out;
}

// The widest trigger caption, "Steady - Trigger when steady voltage applied".
constexpr std::size_t kCaptionWidth = 44;
constexpr std::size_t kLabelWidth = 20;

void Setting(std::ostream& out, std::string_view label, const std::string& value) {
    out << "  " << Pad(label, kLabelWidth) << value << '\n';
}

void GeneralSection(std::ostream& out, const ConfigRecord& rec) {
    out << "General\n";
    for (int n = 0; n < 2; ++n)
        Setting(out, kPortNames[static_cast<std::size_t>(n)], PortText(rec, n));
    Setting(out, "RS485 role",
            std::string(rec.optMaster ? "Master, address limit " : "Slave, address ") +
                Latin1ToUtf8(rec.txtRS485Address));
    Setting(out, "IP address", IpText(rec));
    Setting(out, "MAC address", Latin1ToUtf8(MacText(rec)));
    std::string repeats;
    for (int t = 0; t < 4; ++t)
        repeats += std::string(t ? ", " : "") + std::string(ItemText(kRepeatItems, t)) + " " +
                   Latin1ToUtf8(rec.txtRepTime[static_cast<std::size_t>(t)]) + " s";
    Setting(out, "Repeat times", repeats);
    for (std::size_t w = 0; w < kPulseWindowNames.size(); ++w)
        Setting(out, kPulseWindowNames[w],
                Latin1ToUtf8(rec.txtPulseTime[2 * w]) + " to " +
                    Latin1ToUtf8(rec.txtPulseTime[2 * w + 1]) + " ms");
    std::string options = OptionName(0) + " " + (rec.chkOptions[0] ? "on" : "off") + ", " +
                          OptionName(7) + " " + (rec.chkOptions[7] ? "on" : "off");
    std::string spare;
    for (int o = 1; o <= 6; ++o)
        if (rec.chkOptions[static_cast<std::size_t>(o)])
            spare += (spare.empty() ? "" : ", ") + std::to_string(o);
    options += ", spare bits " + (spare.empty() ? std::string("none") : spare);
    Setting(out, "Options", options);
}

void InputBank(std::ostream& out, const ConfigRecord& rec, int bank, int moduleType) {
    out << "  " << Right("Ch", 2) << "  " << Pad("Trigger", kCaptionWidth) << "  " << Pad("RIC", 7)
        << "  Func  " << Pad("Pager", 5) << "  " << Pad("Rate", 4) << "  " << Pad("Repeat", 10)
        << "  Message\n";
    for (int c = 0; c < kChannelsPerBank; ++c) {
        for (int s = 0; s < kStatesPerChannel; ++s) {
            if (!StateShown(moduleType, s)) continue;
            const auto i = static_cast<std::size_t>(ChannelStateIndex(bank, c, s));
            out << "  " << Right(std::to_string(c + 1), 2) << "  "
                << Pad(ChannelStateCaption(moduleType, s), kCaptionWidth) << "  "
                << Pad(Latin1ToUtf8(rec.txtRIC[i]), 7) << "  "
                << Pad(ListText(kFuncItems, rec.lstFunc[i]), 4) << "  "
                << Pad(ListText(kTypeItems, rec.lstType[i]), 5) << "  "
                << Pad(ListText(kPagingBaudItems, rec.lstBaud[i]), 4) << "  "
                << Pad(RepeatText(rec, rec.lstRepeat[i]), 10) << "  \""
                << Latin1ToUtf8(rec.txtMsg[i]) << "\"\n";
        }
    }
}

void RelayBank(std::ostream& out, const ConfigRecord& rec, int bank) {
    out << "  Relay  " << Pad("Action", 6) << "  " << Pad("RIC range", 15) << "  Beep  Time\n";
    for (int o = 0; o < kRelayOutputsPerBank; ++o) {
        const int r = RelayIndex(bank, o);
        for (int t = 0; t < 3; ++t) {
            const auto from = static_cast<std::size_t>(RelayRicIndex(r, t));
            std::string time;
            if (t == kActionClose)
                time =
                    "TMax " +
                    Latin1ToUtf8(
                        rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(r, kSlotCloseTMax))]) +
                    " s";
            if (t == kActionToggle)
                time = "Repeat Filter " +
                       Latin1ToUtf8(rec.txtRlyRIC[static_cast<std::size_t>(
                           RelayRicIndex(r, kSlotToggleRepeatFilter))]) +
                       " s";
            out << "  " << Right(std::to_string(o + 1), 5) << "  "
                << Pad(kActionNames[static_cast<std::size_t>(t)], 6) << "  "
                << Pad(Latin1ToUtf8(rec.txtRlyRIC[from]) + "-" +
                           Latin1ToUtf8(rec.txtRlyRIC[from + 4]),
                       15)
                << "  ";
            const std::string beep = ListText(
                kRelayBeepItems, rec.lstRlyBeep[static_cast<std::size_t>(RelayBeepIndex(r, t))]);
            out << (time.empty() ? beep : Pad(beep, 4) + "  " + time);
            out << '\n';
        }
    }
}

}  // namespace

std::string ConfigReport(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                         std::string_view source) {
    std::ostringstream out;
    out << "ORV Pro configuration";
    if (!source.empty()) out << ' ' << source;
    out << '\n';

    const bool hasVersion = !rec.txtVer[0].empty() || !rec.txtVer[1].empty();
    out << Pad("Firmware version", kLabelWidth + 2)
        << (hasVersion ? Latin1ToUtf8(rec.txtVer[0]) + " / " + Latin1ToUtf8(rec.txtVer[1])
                       : std::string("(not recorded)"))
        << '\n';

    // The size as the Size button would show it, from a build of a copy.
    ConfigRecord copy = rec;
    Image image{};
    const BuildResult build = BuildImage(copy, moduleTypes, image);
    out << Pad("Size", kLabelWidth + 2) << "last used address " << build.lastAddress << " of "
        << kConfigAreaLast << " (" << PercentText(build.lastAddress) << ")"
        << (build.fits ? "" : ", does not fit the unit") << '\n';
    out << '\n';

    GeneralSection(out, rec);

    for (int b = 0; b < kBanks; ++b) {
        const int type = moduleTypes[static_cast<std::size_t>(b)];
        out << "\nBank " << (b + 1) << ": " << ModuleText(type) << '\n';
        switch (KindOf(type)) {
            case BankKind::kInputs:
                InputBank(out, rec, b, type);
                break;
            case BankKind::kRelays:
                RelayBank(out, rec, b);
                break;
            case BankKind::kNotShown:
                break;
        }
    }
    return out.str();
}

}  // namespace orv
