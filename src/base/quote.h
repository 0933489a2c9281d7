// A value quoted inside a sentence, two ways for the two kinds of reader.
#pragma once

#include <string>
#include <string_view>

namespace orv {

// For warnings and errors about what a file or a field holds: "text" in double quotes, bytes
// outside printable ASCII shown as <0xNN> so that the user sees exactly what is there.
std::string QuoteForMessage(std::string_view bytes);

// For reports and differences: 'text' in single quotes, the record's Latin-1 bytes as UTF-8.
std::string QuoteForReport(std::string_view latin1);

}  // namespace orv
