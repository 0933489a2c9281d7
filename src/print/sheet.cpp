#include "print/sheet.h"

#include <algorithm>

#include "base/latin1.h"
#include "image/image.h"
#include "model/addresses.h"
#include "model/identity.h"
#include "model/lists.h"
#include "model/rules.h"
#include "report/names.h"

namespace orv::print {
namespace {

using namespace report;

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

// "Reset", "Normally Closed": the caption the editor gives the state, up to its explanation.
std::string ShortStateCaption(int moduleType, int state) {
    const std::string_view caption = ChannelStateCaption(moduleType, state);
    return std::string(caption.substr(0, caption.find(" - ")));
}

SheetSection UnitSection(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                         std::string_view fileName, std::string_view printed) {
    SheetSection s;
    s.heading = "Unit";
    s.fields.push_back(
        {"Configuration file", fileName.empty() ? std::string(kNotSaved) : std::string(fileName)});
    s.fields.push_back({"Printed", std::string(printed)});
    s.fields.push_back({"MAC address", PrintableText(MacText(rec))});
    const bool hasVersion = !rec.txtVer[0].empty() || !rec.txtVer[1].empty();
    if (!hasVersion) s.fields.push_back({"Firmware version", "(not recorded)"});
    for (std::size_t line = 0; hasVersion && line < rec.txtVer.size(); ++line)
        s.fields.push_back({"Firmware version, line " + std::to_string(line + 1),
                            PrintableText(rec.txtVer[line])});
    for (int b = 0; b < kBanks; ++b)
        s.fields.push_back({"Bank " + std::to_string(b + 1),
                            ModuleText(moduleTypes[static_cast<std::size_t>(b)])});
    std::string repeats;
    for (int t = 0; t < 4; ++t)
        repeats += std::string(t ? ", " : "") + std::string(ItemText(kRepeatItems, t)) + " " +
                   PrintableText(rec.txtRepTime[static_cast<std::size_t>(t)]) + " s";
    s.fields.push_back({"Repeat times", repeats});
    return s;
}

SheetSection InputBank(const ConfigRecord& rec, int bank, int moduleType) {
    SheetSection s;
    s.heading = "Bank " + std::to_string(bank + 1) + ": " + ModuleText(moduleType);
    s.table.columns = {"Ch", "State", "RIC", "Func", "Pager", "Rate", "Repeat", "Message"};
    s.table.stretch = 7;
    for (int c = 0; c < kChannelsPerBank; ++c) {
        for (int st = 0; st < kStatesPerChannel; ++st) {
            if (!StateShown(moduleType, st)) continue;
            const auto i = static_cast<std::size_t>(ChannelStateIndex(bank, c, st));
            s.table.rows.push_back(
                {std::to_string(c + 1), ShortStateCaption(moduleType, st),
                 PrintableText(rec.txtRIC[i]), ListText(kFuncItems, rec.lstFunc[i]),
                 ListText(kTypeItems, rec.lstType[i]), ListText(kPagingBaudItems, rec.lstBaud[i]),
                 RepeatText(rec, rec.lstRepeat[i]), PrintableText(rec.txtMsg[i])});
        }
    }
    return s;
}

SheetSection RelayBank(const ConfigRecord& rec, int bank, int moduleType) {
    SheetSection s;
    s.heading = "Bank " + std::to_string(bank + 1) + ": " + ModuleText(moduleType);
    s.table.columns = {"Relay", "Action", "First RIC", "Last RIC", "Beep", "Time"};
    for (int o = 0; o < kRelayOutputsPerBank; ++o) {
        const int r = RelayIndex(bank, o);
        auto slot = [&](int k) {
            return PrintableText(rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(r, k))]);
        };
        for (int t = 0; t < 3; ++t) {
            std::string time;
            if (t == kActionClose) time = "TMax " + slot(kSlotCloseTMax) + " s";
            if (t == kActionToggle) time = "Repeat Filter " + slot(kSlotToggleRepeatFilter) + " s";
            s.table.rows.push_back(
                {std::to_string(o + 1), std::string(kActionNames[static_cast<std::size_t>(t)]),
                 slot(t), slot(t + 4),
                 ListText(kRelayBeepItems,
                          rec.lstRlyBeep[static_cast<std::size_t>(RelayBeepIndex(r, t))]),
                 time});
        }
    }
    return s;
}

SheetSection CommsSection(const ConfigRecord& rec) {
    SheetSection s;
    s.heading = "Comms";
    for (int n = 0; n < 2; ++n)
        s.fields.push_back(
            {std::string(kPortNames[static_cast<std::size_t>(n)]), PortText(rec, n)});
    s.fields.push_back({"RS485 role", rec.optMaster ? "Master" : "Slave"});
    s.fields.push_back({rec.optMaster ? "RS485 address limit" : "RS485 address",
                        PrintableText(rec.txtRS485Address)});
    return s;
}

SheetSection LanSection(const ConfigRecord& rec) {
    SheetSection s;
    s.heading = "LAN";
    s.fields.push_back({"IP address", PrintableText(IpText(rec))});
    s.fields.push_back({"MAC address", PrintableText(MacText(rec))});
    return s;
}

SheetSection PulseSection(const ConfigRecord& rec) {
    SheetSection s;
    s.heading = "Pulse Timing";
    for (std::size_t w = 0; w < kPulseWindowNames.size(); ++w)
        s.fields.push_back({std::string(kPulseWindowNames[w]),
                            PrintableText(rec.txtPulseTime[2 * w]) + " to " +
                                PrintableText(rec.txtPulseTime[2 * w + 1]) + " ms"});
    return s;
}

SheetSection OptionsSection(const ConfigRecord& rec) {
    SheetSection s;
    s.heading = "Options";
    s.fields.push_back({OptionName(0), OnOff(rec.chkOptions[0])});
    s.fields.push_back({OptionName(7), OnOff(rec.chkOptions[7])});
    std::string spare;
    for (int o = 1; o <= 6; ++o)
        if (rec.chkOptions[static_cast<std::size_t>(o)])
            spare += (spare.empty() ? "" : ", ") + std::to_string(o);
    s.fields.push_back({"Spare option bits set", spare.empty() ? std::string("none") : spare});
    return s;
}

SheetSection DictionarySection(const ConfigRecord& normalised, const BuildResult& build) {
    SheetSection s;
    s.heading = "Dictionary";
    const auto words = std::count_if(normalised.txtDict.begin(), normalised.txtDict.end(),
                                     [](const std::string& w) { return !w.empty(); });
    s.fields.push_back({"Words", std::to_string(words) + " of " + std::to_string(kDictEntries)});
    s.fields.push_back({"Configuration size", "last used address " +
                                                  std::to_string(build.lastAddress) + " of " +
                                                  std::to_string(kConfigAreaLast) + " (" +
                                                  PercentText(build.lastAddress) + ")" +
                                                  (build.fits ? "" : ", does not fit the unit")});
    return s;
}

}  // namespace

std::string PrintableText(std::string_view recordText) {
    std::string out;
    out.reserve(recordText.size());
    for (const char ch : recordText) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20) {
            out += "\xE2\x90";  // U+2400 + c, the control's symbol
            out += static_cast<char>(0x80 + c);
        } else if (c == 0x7F) {
            out += "\xE2\x90\xA1";  // U+2421, the symbol for DEL
        } else {
            out += Latin1ToUtf8(std::string(1, ch));
        }
    }
    return out;
}

SheetContent MakeCommissioningSheet(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                                    std::string_view fileName, std::string_view printed) {
    // What a Write would send: bank rules, message spacing, times to their steps, dictionary.
    ConfigRecord normalised = rec;
    Image image{};
    const BuildResult build = BuildImage(normalised, moduleTypes, image);

    SheetContent sheet;
    sheet.title = std::string(kSheetTitle);
    sheet.program = MainWindowCaption();
    sheet.fileName = fileName.empty() ? std::string(kNotSaved) : std::string(fileName);
    sheet.printed = std::string(printed);
    sheet.sections.push_back(UnitSection(normalised, moduleTypes, fileName, printed));
    for (int b = 0; b < kBanks; ++b) {
        const int type = moduleTypes[static_cast<std::size_t>(b)];
        switch (KindOf(type)) {
            case BankKind::kInputs:
                sheet.sections.push_back(InputBank(normalised, b, type));
                break;
            case BankKind::kRelays:
                sheet.sections.push_back(RelayBank(normalised, b, type));
                break;
            case BankKind::kNotShown:
                break;
        }
    }
    sheet.sections.push_back(CommsSection(normalised));
    sheet.sections.push_back(LanSection(normalised));
    sheet.sections.push_back(PulseSection(normalised));
    sheet.sections.push_back(OptionsSection(normalised));
    sheet.sections.push_back(DictionarySection(normalised, build));
    sheet.signOff = {"Commissioned by", "Signature", "Date"};
    return sheet;
}

}  // namespace orv::print
