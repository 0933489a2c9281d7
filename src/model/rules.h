// How the bank pages are arranged for a bank's module type, and the RS485 label rule.
// Pure functions: the window applies them to its widgets, the CLI report uses the same captions.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/record.h"

namespace orv {

// Captions every channel-state frame gets when the main window loads (voltage-input set).
inline constexpr std::array<std::string_view, 4> kVoltageCaptions{
    "Reset - Trigger when voltage absent",
    "Slow - Trigger when slow pulse applied",
    "Fast - Trigger when fast pulse applied",
    "Steady - Trigger when steady voltage applied",
};
// Captions of the dry-contact set (module type 13); SLOW and FAST are not used there.
inline constexpr std::string_view kContactResetCaption = "Normally Closed - Trigger on open";
inline constexpr std::string_view kContactSteadyCaption = "Normally Open - Trigger on close";

// Which tab set a bank page shows.
enum class BankTabSet { kNone, kChannels, kRelays };

// A code outside 0..15 (only possible from outside data) is treated as not fitted.
bool IsKnownModuleCode(int moduleType);
BankTabSet TabSetFor(int moduleType);

// What ApplyModuleTypes does to one channel-state frame; nullopt means "left as it is".
struct ChannelFrameRule {
    std::optional<bool> visible;
    std::optional<std::string_view> caption;
};
ChannelFrameRule ChannelFrameRuleFor(int moduleType, int state);

// Caption of the frame of the bank page: the module type name.
std::string_view BankFrameCaption(int moduleType);

// Module type position shown in lstMod(b) for a code (not fitted for unknown codes).
int ModuleListPosition(int moduleType);

// Whether a channel state carries a message the unit uses for this module type (the builder
// empties the others).
bool StateUsesMessage(int moduleType, int state);

// A module type in a sentence: "Type 13 (16-Channel Dry Contact Input Module)", "Type 7 (Unknown)",
// "NOT FITTED"; a code outside the list is named by its number ("Type 16"). Without the name,
// where space is short: "Type 13".
std::string ModuleTypeInWords(int moduleType, bool withName = true);
// One line per bank whose module type differs, "Bank 1: Type 13 (16-Channel Dry Contact Input
// Module) -> Type 15 (16-Channel Opto-Isolated DC Voltage Input Module)"; empty when none does.
// Whoever tells the user that module types changed (the editor after Connect, orv-cli before a
// Write) says it in these words.
std::vector<std::string> ModuleTypeChanges(const ModuleTypes& from, const ModuleTypes& to,
                                           bool withNames = true);

// Label of txtRS485Address: "Limit" while master, "Address" while slave.
std::string_view RS485Label(bool master);

// The caption a channel-state frame shows for a module type (after start-up captions).
std::string_view ChannelStateCaption(int moduleType, int state);

}  // namespace orv
