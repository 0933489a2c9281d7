// Which record fields carry a key filter and a leave check, and which: written once, for the
// main window's fields and the channel table's cells alike.
#pragma once

#include <optional>
#include <tuple>
#include <utility>

#include "model/field_ref.h"
#include "validate/validate.h"

namespace orv {

// txtRlyRIC: all eight slots, TMax and Repeat Filter included.
inline constexpr std::tuple kGuardedFields{
    std::pair{&ConfigRecord::txtRIC, FieldGuard::kRIC},
    std::pair{&ConfigRecord::txtMsg, FieldGuard::kMessage},
    std::pair{&ConfigRecord::txtRlyRIC, FieldGuard::kRIC},
    std::pair{&ConfigRecord::txtRepTime, FieldGuard::kRepeatTime},
    std::pair{&ConfigRecord::txtIP, FieldGuard::kIPComponent},
    std::pair{&ConfigRecord::txtMAC, FieldGuard::kMACComponent},
    std::pair{&ConfigRecord::txtPulseTime, FieldGuard::kPulseTime},
    std::pair{&ConfigRecord::txtRS485Address, FieldGuard::kRS485Address},
};

template <class Member>
constexpr std::optional<FieldGuard> GuardOf(Member ConfigRecord::*member) {
    std::optional<FieldGuard> guard;
    auto match = [&](const auto& entry) {
        if (SameMember(entry.first, member)) guard = entry.second;
    };
    std::apply([&](const auto&... entry) { (match(entry), ...); }, kGuardedFields);
    return guard;
}

// The guard of the field an element belongs to; nullopt for fields without one.
inline std::optional<FieldGuard> GuardOfField(FieldRef ref) {
    std::optional<FieldGuard> guard;
    VisitRecordField(ref.field, [&](const auto& field, auto) { guard = GuardOf(field.member); });
    return guard;
}

}  // namespace orv
