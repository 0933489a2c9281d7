// One element of one record field, named at run time: the field's place in the field table
// (model/fields.h) and the element's index in its family. Undo steps and the channel table name
// what they change this way, and read and write it through the table, so there is one way into
// the record and no copy of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "model/fields.h"

namespace orv {

struct FieldRef {
    std::uint16_t field = 0;  // position in kRecordFields
    std::uint16_t index = 0;  // element of the family (0 for a single field)
    bool operator==(const FieldRef&) const = default;
    // One number per element, for hashing and ordering.
    std::uint32_t Key() const { return (std::uint32_t{field} << 16) | index; }
};

// A text field's text, a choice field's position, a check or option field's state.
using FieldValue = std::variant<std::string, int, bool>;

template <auto Member>
constexpr FieldRef RefOf(std::size_t index = 0) {
    constexpr std::size_t k = FieldIndexOf<Member>();
    static_assert(k < kRecordFieldCount, "the field table has no entry for this member");
    return {static_cast<std::uint16_t>(k), static_cast<std::uint16_t>(index)};
}

// Calls visit(field, std::integral_constant<std::size_t, k>) for entry k of the field table;
// nothing for k outside it.
template <class Visitor>
void VisitRecordField(std::size_t k, Visitor&& visit) {
    [&]<std::size_t... K>(std::index_sequence<K...>) {
        static_cast<void>(
            ((k == K ? (visit(std::get<K>(kRecordFields), std::integral_constant<std::size_t, K>{}),
                        true)
                     : false) ||
             ...));
    }
    (std::make_index_sequence<kRecordFieldCount>{});
}

// Whether the reference names an element that exists.
bool IsValidRef(FieldRef ref);
FieldKind KindOfField(FieldRef ref);
FieldScope ScopeOfField(FieldRef ref);
// "txtRIC", the field's name in the table.
std::string_view FieldName(FieldRef ref);

FieldValue GetFieldValue(const ConfigRecord& rec, FieldRef ref);
// A value of the wrong kind, or a reference outside the table, changes nothing.
void SetFieldValue(ConfigRecord& rec, FieldRef ref, const FieldValue& value);

// Every element whose value differs between a and b, in the order of the field table.
std::vector<FieldRef> ChangedFields(const ConfigRecord& a, const ConfigRecord& b);

// The element as a person names it: "Bank 1 channel 3 RESET RIC", "Bank 2 relay 1 Close last
// RIC", "Bank 2 relay 1 TMax", "Repeat time A", "IP address". Used to name undo steps and cells.
std::string FieldLabel(FieldRef ref);

}  // namespace orv
