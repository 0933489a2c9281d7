#include "model/rules.h"

#include "model/lists.h"
#include "model/record.h"

namespace orv {

bool IsKnownModuleCode(int moduleType) {
    return moduleType >= 0 && moduleType < kModuleListItems;
}

BankTabSet TabSetFor(int moduleType) {
    if (!IsKnownModuleCode(moduleType) || moduleType == kModuleNotFitted) return BankTabSet::kNone;
    if (moduleType == kModuleRelay) return BankTabSet::kRelays;
    return BankTabSet::kChannels;
}

ChannelFrameRule ChannelFrameRuleFor(int moduleType, int state) {
    if (TabSetFor(moduleType) != BankTabSet::kChannels) return {};
    const bool contact = moduleType == kModuleDryContact;
    switch (state) {
        case kStateReset:
            return {std::nullopt, contact ? kContactResetCaption : kVoltageCaptions[0]};
        case kStateSlow:
        case kStateFast:
            return {!contact, std::nullopt};
        case kStateSteady:
            return {std::nullopt, contact ? kContactSteadyCaption : kVoltageCaptions[3]};
        default:
            return {};
    }
}

std::string_view BankFrameCaption(int moduleType) {
    return ModuleTypeName(ModuleListPosition(moduleType));
}

int ModuleListPosition(int moduleType) {
    return IsKnownModuleCode(moduleType) ? moduleType : kModuleNotFitted;
}

bool StateUsesMessage(int moduleType, int state) {
    switch (TabSetFor(moduleType)) {
        case BankTabSet::kNone:
            // Codes outside 0..15 are left alone by the builder; only "NOT FITTED" empties them.
            return moduleType != kModuleNotFitted;
        case BankTabSet::kRelays:
            return false;
        case BankTabSet::kChannels:
            return moduleType != kModuleDryContact || state == kStateReset || state == kStateSteady;
    }
    return true;
}

std::string ModuleTypeInWords(int moduleType, bool withName) {
    if (moduleType == kModuleNotFitted) return std::string(ModuleTypeName(kModuleNotFitted));
    std::string text = "Type " + std::to_string(moduleType);
    // The list's names read "Type  7: Unknown": what follows the colon describes the module.
    const std::string_view name =
        withName && IsKnownModuleCode(moduleType) ? ModuleTypeName(moduleType) : "";
    if (const auto colon = name.find(": "); colon != std::string_view::npos)
        text += " (" + std::string(name.substr(colon + 2)) + ")";
    return text;
}

std::vector<std::string> ModuleTypeChanges(const ModuleTypes& from, const ModuleTypes& to,
                                           bool withNames) {
    std::vector<std::string> lines;
    for (int b = 0; b < kBanks; ++b) {
        const auto k = static_cast<std::size_t>(b);
        if (from[k] == to[k]) continue;
        lines.push_back("Bank " + std::to_string(b + 1) + ": " +
                        ModuleTypeInWords(from[k], withNames) + " -> " +
                        ModuleTypeInWords(to[k], withNames));
    }
    return lines;
}

std::string_view RS485Label(bool master) {
    return master ? "Limit" : "Address";
}

std::string_view ChannelStateCaption(int moduleType, int state) {
    if (moduleType == kModuleDryContact) {
        if (state == kStateReset) return kContactResetCaption;
        if (state == kStateSteady) return kContactSteadyCaption;
    }
    return kVoltageCaptions[static_cast<std::size_t>(state & 3)];
}

}  // namespace orv
