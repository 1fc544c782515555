#pragma once
// UTF-8 validation, as the server answers are read: invalid bytes give the empty text.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace codec {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Length of the well-formed sequence starting at `at` (1 to 4), or 0 when that byte starts none.
std::size_t sequenceLength(std::string_view bytes, std::size_t at);

// Valid UTF-8 as it is; each byte that is not part of a well-formed sequence becomes the four
// characters \xHH, so device and server bytes can go into JSON, logs and terminals.
std::string printable(std::string_view bytes);

// The bytes as a text when they are valid UTF-8, otherwise the empty text.
std::string utf8OrEmpty(std::span<const std::uint8_t> bytes);

// Byte length of the first `count` characters of UTF-8 text, or npos when it has fewer.
std::size_t prefixOfCharacters(std::string_view text, std::size_t count);

} // namespace codec
