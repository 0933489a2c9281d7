// Record texts are 8-bit bytes taken as Latin-1; JSON, reports and spreadsheets want UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orv {

// Every byte as the Latin-1 character it stands for, in UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// nullopt when the text holds a character above U+00FF, or is not UTF-8 at all.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

}  // namespace orv
