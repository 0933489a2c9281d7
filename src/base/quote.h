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

// For a terminal: UTF-8 text with every control character but the line feed (C0, DEL, the C1
// characters U+0080..U+009F) and every byte that is not UTF-8 shown as \xNN, so that text from a
// unit or a file name (an escape sequence, a C1 CSI) is read, never obeyed by the terminal.
std::string TerminalText(std::string_view utf8);

}  // namespace orv
