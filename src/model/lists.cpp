#include "model/lists.h"

namespace orv {

std::string ComPortItemText(int position) {
    return "COM" + std::to_string(position + 1);
}

std::string_view ModuleTypeName(int code) {
    static constexpr std::array<std::string_view, kModuleTypeNames> names{
        "NOT FITTED",
        "Type  1: Unknown",
        "Type  2: Unknown",
        "Type  3: Unknown",
        "Type  4: Unknown",
        "Type  5: Unknown",
        "Type  6: Unknown",
        "Type  7: Unknown",
        "Type  8: Unknown",
        "Type  9: Unknown",
        "Type 10: Unknown",
        "Type 11: Unknown",
        "Type 12: Unknown",
        "Type 13: 16-Channel Dry Contact Input Module",
        "Type 14: 8-Channel Relay Output Module",
        "Type 15: 16-Channel Opto-Isolated DC Voltage Input Module",
        "",
    };
    if (code < 0 || code >= kModuleTypeNames) return {};
    return names[static_cast<std::size_t>(code)];
}

}  // namespace orv
