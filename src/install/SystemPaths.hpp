#pragma once
// File names as the system takes them. Text in this program is UTF-8 everywhere (the command
// line is converted on arrival); Windows wants wide characters for names beyond its code page.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

// The running binary, or an empty path when the system does not tell.
std::filesystem::path executablePath();

std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8FromPath(const std::filesystem::path& path);

// std::fopen for any name the system can hold.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// Why files cannot be made in the existing `folder`; nothing when they can.
std::optional<std::string> cannotWriteIn(const std::filesystem::path& folder);

} // namespace sys
