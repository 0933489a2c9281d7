// Text at the Win32 wide-character API: UTF-8 inside the program, UTF-16 at the system calls, so
// paths with blanks and non-ASCII letters work. Windows only.
#pragma once

#include <string>
#include <string_view>

namespace orv {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// The system's description of a Win32 error code in UTF-8, without the closing period and line
// break, starting with a small letter so that it reads inside a sentence.
std::string Win32ErrorText(unsigned long code);

}  // namespace orv
