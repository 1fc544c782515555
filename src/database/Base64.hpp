#pragma once
// Base64 decoding in its two forms: strict (canonical text only) and lenient (skips anything else).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Value of every input byte for the lenient decoder; bytes outside the alphabet, "=" included,
// map to kBase64Skip.
inline constexpr std::uint8_t kBase64Skip = 65;

namespace codec::detail {
constexpr std::array<std::uint8_t, 256> makeBase64Lookup() {
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::array<std::uint8_t, 256> table{};
    table.fill(kBase64Skip);
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        table[static_cast<std::uint8_t>(alphabet[i])] = static_cast<std::uint8_t>(i);
    }
    return table;
}
} // namespace codec::detail

inline constexpr std::array<std::uint8_t, 256> base64DecodeLookup =
    codec::detail::makeBase64Lookup();

// Passing this as the length means the input is zero-terminated.
inline constexpr std::size_t kBase64ZeroTerminated = static_cast<std::size_t>(-1);

// Lenient decoding of `length` bytes: skips every byte outside the alphabet, padding included, and
// goes on after padding. Returns a buffer of ((length + 3) / 4) * 3 bytes whose first
// *outputLength bytes are the result.
std::vector<std::uint8_t> NewBase64Decode(const char* input, std::size_t length,
                                          std::size_t* outputLength);

// Lenient decoding of a text; a text holding any non-ASCII character decodes to no bytes.
// Never fails.
std::vector<std::uint8_t> dataFromBase64String(std::string_view text);

namespace codec {

// Strict decoding: only alphabet characters followed by the "=" padding that makes the length a
// multiple of four. Anything else (a line break, a blank, a wrong length) gives nullopt.
std::optional<std::vector<std::uint8_t>> strictBase64Decode(std::string_view text);
// The same, with the bytes in a string (not checked as UTF-8).
std::optional<std::string> strictBase64DecodeText(std::string_view text);
// The same in place: the decoded bytes overwrite the start of `text`, so a large answer is
// decoded without a second buffer. Returns their count; nullopt when the text is not canonical
// Base64, in which case `text` may have been partly overwritten.
std::optional<std::size_t> strictBase64DecodeInPlace(std::span<char> text);

} // namespace codec
