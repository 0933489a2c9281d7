// The fields of the configuration record, listed once: name, place in the record, kind and, for a
// choice, the length of its item list. The JSON form and the window's binding both walk this
// table, so a field added here reaches both, and a field left out reaches neither.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "model/lists.h"
#include "model/record.h"

namespace orv {

enum class FieldKind {
    kText,    // a text, exactly as typed or set
    kChoice,  // a position in a fixed item list, kNoSelection for none
    kCheck,   // set or clear
    kOption,  // the first of an option pair; the second is its complement
};

// The editor's own state (its PC link settings, the current file's name) lives beside the unit's
// configuration on the same pages, but no exported configuration carries it.
enum class FieldScope { kConfiguration, kEditor };

namespace detail {
template <class Member>
struct FieldShape {
    using Element = Member;
    static constexpr std::size_t count = 1;
    static constexpr bool family = false;
};
template <class T, std::size_t N>
struct FieldShape<std::array<T, N>> {
    using Element = T;
    static constexpr std::size_t count = N;
    static constexpr bool family = true;
};
}  // namespace detail

template <class Member, FieldKind Kind>
struct RecordField {
    using Element = typename detail::FieldShape<Member>::Element;
    static constexpr FieldKind kind = Kind;
    static constexpr std::size_t count = detail::FieldShape<Member>::count;
    // A family is indexed, txtRIC(i); a single field has the one element 0.
    static constexpr bool family = detail::FieldShape<Member>::family;

    std::string_view name;
    Member ConfigRecord::*member;
    int items = 0;
    FieldScope scope = FieldScope::kConfiguration;

    Element& At(ConfigRecord& rec, [[maybe_unused]] std::size_t index) const {
        if constexpr (family)
            return (rec.*member)[index];
        else
            return rec.*member;
    }
    const Element& At(const ConfigRecord& rec, [[maybe_unused]] std::size_t index) const {
        if constexpr (family)
            return (rec.*member)[index];
        else
            return rec.*member;
    }
};

namespace field {
template <class M>
constexpr auto Text(std::string_view name, M ConfigRecord::*member,
                    FieldScope scope = FieldScope::kConfiguration) {
    return RecordField<M, FieldKind::kText>{name, member, 0, scope};
}
template <class M>
constexpr auto Choice(std::string_view name, M ConfigRecord::*member, std::size_t items,
                      FieldScope scope = FieldScope::kConfiguration) {
    return RecordField<M, FieldKind::kChoice>{name, member, static_cast<int>(items), scope};
}
template <class M>
constexpr auto Check(std::string_view name, M ConfigRecord::*member) {
    return RecordField<M, FieldKind::kCheck>{name, member};
}
template <class M>
constexpr auto Option(std::string_view name, M ConfigRecord::*member) {
    return RecordField<M, FieldKind::kOption>{name, member};
}
}  // namespace field

// In the order of the JSON form; the editor-only fields come last.
inline constexpr std::tuple kRecordFields{
    field::Text("txtVer", &ConfigRecord::txtVer),
    field::Text("txtRIC", &ConfigRecord::txtRIC),
    field::Choice("lstFunc", &ConfigRecord::lstFunc, kFuncItems.size()),
    field::Choice("lstType", &ConfigRecord::lstType, kTypeItems.size()),
    field::Choice("lstBaud", &ConfigRecord::lstBaud, kPagingBaudItems.size()),
    field::Choice("lstRepeat", &ConfigRecord::lstRepeat, kRepeatItems.size()),
    field::Text("txtMsg", &ConfigRecord::txtMsg),
    field::Text("txtRlyRIC", &ConfigRecord::txtRlyRIC),
    field::Choice("lstRlyBeep", &ConfigRecord::lstRlyBeep, kRelayBeepItems.size()),
    field::Text("txtRepTime", &ConfigRecord::txtRepTime),
    field::Text("txtPulseTime", &ConfigRecord::txtPulseTime),
    field::Text("txtIP", &ConfigRecord::txtIP),
    field::Text("txtMAC", &ConfigRecord::txtMAC),
    field::Check("chkOptions", &ConfigRecord::chkOptions),
    field::Text("txtRS485Address", &ConfigRecord::txtRS485Address),
    field::Option("optMaster", &ConfigRecord::optMaster),
    field::Choice("lstPortBaudrate", &ConfigRecord::lstPortBaudrate, kBaudRateItems.size()),
    field::Choice("lstPortFormat", &ConfigRecord::lstPortFormat, kFrameFormatItems.size()),
    field::Text("txtDict", &ConfigRecord::txtDict),
    field::Text("txtFastOne", &ConfigRecord::txtFastOne),
    field::Text("txtFastZero", &ConfigRecord::txtFastZero),
    field::Text("txtSlowOne", &ConfigRecord::txtSlowOne),
    field::Text("txtSlowZero", &ConfigRecord::txtSlowZero),
    field::Text("txtFileName", &ConfigRecord::txtFileName, FieldScope::kEditor),
    field::Choice("lstComPort", &ConfigRecord::lstComPort, kComPorts, FieldScope::kEditor),
    field::Choice("lstBaudPC", &ConfigRecord::lstBaudPC, kBaudRateItems.size(),
                  FieldScope::kEditor),
    field::Choice("lstPCFormat", &ConfigRecord::lstPCFormat, kFrameFormatItems.size(),
                  FieldScope::kEditor),
};
using RecordFieldTable = std::remove_const_t<decltype(kRecordFields)>;
inline constexpr std::size_t kRecordFieldCount = std::tuple_size_v<RecordFieldTable>;

// Calls visit(field) for every entry of the table, in order.
template <class Visitor>
constexpr void ForEachRecordField(Visitor&& visit) {
    std::apply([&](const auto&... field) { (visit(field), ...); }, kRecordFields);
}

template <class A, class B>
constexpr bool SameMember(A a, B b) {
    if constexpr (std::is_same_v<A, B>)
        return a == b;
    else
        return false;
}

// Position of a record member in the table (kRecordFieldCount when it has no entry).
template <auto Member>
consteval std::size_t FieldIndexOf() {
    std::size_t found = kRecordFieldCount;
    std::size_t k = 0;
    ForEachRecordField([&](const auto& field) {
        if (SameMember(field.member, Member)) found = k;
        ++k;
    });
    return found;
}

}  // namespace orv
