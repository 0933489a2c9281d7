#include "model/field_ref.h"

#include <array>
#include <type_traits>

#include "model/lists.h"
#include "model/time_steps.h"

namespace orv {
namespace {

template <class Field>
using ElementOf = typename std::remove_cvref_t<Field>::Element;

std::string ChannelLabel(int i, std::string_view what) {
    return "Bank " + std::to_string(BankOf(i) + 1) + " channel " +
           std::to_string(ChannelOf(i) + 1) + " " +
           std::string(kStateNames[static_cast<std::size_t>(StateOf(i))]) + " " + std::string(what);
}

std::string RelayLabel(int relay, std::string_view what) {
    return "Bank " + std::to_string(relay / kRelayOutputsPerBank + 1) + " relay " +
           std::to_string(relay % kRelayOutputsPerBank + 1) + " " + std::string(what);
}

constexpr std::array<std::string_view, 3> kActions{"Close", "Open", "Toggle"};

}  // namespace

bool IsValidRef(FieldRef ref) {
    bool valid = false;
    VisitRecordField(ref.field, [&](const auto& field, auto) {
        using Field = std::remove_cvref_t<decltype(field)>;
        valid = ref.index < Field::count;
    });
    return valid;
}

FieldKind KindOfField(FieldRef ref) {
    FieldKind kind = FieldKind::kText;
    VisitRecordField(ref.field, [&](const auto& field, auto) {
        kind = std::remove_cvref_t<decltype(field)>::kind;
    });
    return kind;
}

FieldScope ScopeOfField(FieldRef ref) {
    FieldScope scope = FieldScope::kConfiguration;
    VisitRecordField(ref.field, [&](const auto& field, auto) { scope = field.scope; });
    return scope;
}

std::string_view FieldName(FieldRef ref) {
    std::string_view name;
    VisitRecordField(ref.field, [&](const auto& field, auto) { name = field.name; });
    return name;
}

FieldValue GetFieldValue(const ConfigRecord& rec, FieldRef ref) {
    FieldValue value;
    VisitRecordField(ref.field, [&](const auto& field, auto) {
        using Field = std::remove_cvref_t<decltype(field)>;
        if (ref.index < Field::count) value = field.At(rec, ref.index);
    });
    return value;
}

void SetFieldValue(ConfigRecord& rec, FieldRef ref, const FieldValue& value) {
    VisitRecordField(ref.field, [&](const auto& field, auto) {
        using Field = std::remove_cvref_t<decltype(field)>;
        using Element = ElementOf<Field>;
        if (ref.index >= Field::count) return;
        if (const auto* v = std::get_if<Element>(&value)) field.At(rec, ref.index) = *v;
    });
}

std::vector<FieldRef> ChangedFields(const ConfigRecord& a, const ConfigRecord& b) {
    std::vector<FieldRef> changed;
    std::uint16_t k = 0;
    ForEachRecordField([&](const auto& field) {
        using Field = std::remove_cvref_t<decltype(field)>;
        for (std::size_t i = 0; i < Field::count; ++i)
            if (field.At(a, i) != field.At(b, i))
                changed.push_back({k, static_cast<std::uint16_t>(i)});
        ++k;
    });
    return changed;
}

std::string FieldLabel(FieldRef ref) {
    const std::string_view name = FieldName(ref);
    const int i = ref.index;
    if (name == "txtRIC") return ChannelLabel(i, "RIC");
    if (name == "lstFunc") return ChannelLabel(i, "beep");
    if (name == "lstType") return ChannelLabel(i, "pager type");
    if (name == "lstBaud") return ChannelLabel(i, "paging rate");
    if (name == "lstRepeat") return ChannelLabel(i, "repeat");
    if (name == "txtMsg") return ChannelLabel(i, "message");
    if (name == "txtRlyRIC") {
        const int slot = i % 8;
        if (slot == kSlotCloseTMax) return RelayLabel(i / 8, "TMax");
        if (slot == kSlotToggleRepeatFilter) return RelayLabel(i / 8, "Repeat Filter");
        return RelayLabel(i / 8, std::string(kActions[static_cast<std::size_t>(slot % 4)]) +
                                     (slot < 4 ? " first RIC" : " last RIC"));
    }
    if (name == "lstRlyBeep")
        return RelayLabel(i / 3, std::string(kActions[static_cast<std::size_t>(i % 3)]) + " beep");
    if (name == "txtRepTime") return RepeatTimeLabel(i);
    if (name == "txtPulseTime") return PulseTimeLabel(i);
    if (name == "txtVer") return "Firmware version line " + std::to_string(i + 1);
    if (name == "txtIP") return "IP address";
    if (name == "txtMAC") return "MAC address";
    if (name == "chkOptions")
        return i == 0   ? "Suppress Reset Strings"
               : i == 7 ? "Loop RS232 Output => Input"
                        : "Option " + std::to_string(i);
    if (name == "txtRS485Address") return "RS485 address";
    if (name == "optMaster") return "RS485 role";
    if (name == "lstPortBaudrate") return i == 0 ? "RS232 port baud rate" : "RS485 port baud rate";
    if (name == "lstPortFormat") return i == 0 ? "RS232 port format" : "RS485 port format";
    if (name == "txtDict") return "Dictionary entry " + std::to_string(i);
    if (name == "txtFastOne") return "Measured fast pulse ON";
    if (name == "txtFastZero") return "Measured fast pulse OFF";
    if (name == "txtSlowOne") return "Measured slow pulse ON";
    if (name == "txtSlowZero") return "Measured slow pulse OFF";
    if (name == "txtFileName") return "Configuration file name";
    if (name == "lstComPort") return "Communications port";
    if (name == "lstBaudPC") return "PC baud rate";
    if (name == "lstPCFormat") return "PC serial format";
    return std::string(name);
}

}  // namespace orv
