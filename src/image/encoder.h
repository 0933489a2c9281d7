// Message encoding against one dictionary, with the dictionary looked up by hash instead of a
// linear search per word. Internal to the image code.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "model/record.h"

namespace orv::detail {

class MessageEncoder {
  public:
    explicit MessageEncoder(const ConfigRecord& rec);
    // The encoded message: literal characters and dictionary codes 0x80 + d, no terminator.
    std::string Encode(std::string_view text) const;

  private:
    std::unordered_map<std::string_view, int> entries_;  // word -> first entry holding it
};

}  // namespace orv::detail
