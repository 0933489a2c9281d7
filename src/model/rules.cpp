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
