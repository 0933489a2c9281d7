// Reading the record's numeric text fields for the image, and naming fields in warnings.
// Internal to the image code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/numbers.h"
#include "model/record.h"

namespace orv::detail {

// Collects warnings and formats the one sentence each adjusted field gets.
class FieldReader {
  public:
    explicit FieldReader(std::vector<std::string>& warnings) : warnings_(warnings) {}

    // A whole number in [lo, hi] from decimal text; fractions round half to even. Anything else
    // is clamped into the range and reported. unit is appended to numbers in the message.
    std::int64_t Whole(const std::string& field, std::string_view text, std::int64_t lo,
                       std::int64_t hi, std::string_view unit = {});
    // A time in [0, maxValue] (milliseconds or seconds), returned in tens, rounded half to even.
    int Tens(const std::string& field, std::string_view text, int maxValue, std::string_view unit);
    // A RIC: values above 2097151 keep only their low 21 bits (as the unit reads them), with a
    // warning; negative or unreadable values become 0.
    std::uint32_t Ric(const std::string& field, std::string_view text);
    // A byte from two hexadecimal digits.
    int HexByte(const std::string& field, std::string_view text);
    // A list position in [0, count); anything else gives fallback and a warning naming the
    // fallback item.
    int Position(const std::string& field, int position, int count, int fallback,
                 std::string_view fallbackText);

    void Add(std::string sentence) { warnings_.push_back(std::move(sentence)); }

  private:
    std::vector<std::string>& warnings_;
};

// A number as a person writes it: "45", "12.5".
std::string NumberText(double v);

// Human names of fields, as a technician finds them on the pages.
std::string ChannelStateName(int i, const ModuleTypes& moduleTypes);  // "bank 1 channel 2 RESET"
std::string RelaySlotName(int k);  // "bank 2 relay 3 Close RIC range from"
std::string PulseTimeName(int p);  // "Fast pulse ON minimum"

}  // namespace orv::detail
