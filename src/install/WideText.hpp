#pragma once
// UTF-8, the program's own text, and UTF-16, the text of Windows' wide-character calls. Built
// on Windows only.

#include <string>
#include <string_view>

namespace sys {

// What is not valid in the source comes out as U+FFFD.
std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);

} // namespace sys
