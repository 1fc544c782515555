#include "database/Utf8.hpp"

namespace codec {

std::size_t sequenceLength(std::string_view bytes, std::size_t at) {
    const auto b0 = static_cast<unsigned char>(bytes[at]);
    if (b0 < 0x80) {
        return 1;
    }
    std::size_t extra = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        lo = b0 == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        hi = b0 == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        lo = b0 == 0xF0 ? 0x90 : 0x80;
        hi = b0 == 0xF4 ? 0x8F : 0xBF; // at most U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() - at - 1 < extra) {
        return 0;
    }
    const auto b1 = static_cast<unsigned char>(bytes[at + 1]);
    if (b1 < lo || b1 > hi) {
        return 0;
    }
    for (std::size_t k = 2; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(bytes[at + k]);
        if (b < 0x80 || b > 0xBF) {
            return 0;
        }
    }
    return extra + 1;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string printable(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, i);
        if (length == 0) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            out += "\\x";
            out += kHex[b >> 4U];
            out += kHex[b & 0xFU];
            ++i;
            continue;
        }
        out.append(bytes.substr(i, length));
        i += length;
    }
    return out;
}

std::string utf8OrEmpty(std::span<const std::uint8_t> bytes) {
    std::string text(bytes.begin(), bytes.end());
    if (!isValidUtf8(text)) {
        return {};
    }
    return text;
}

std::size_t prefixOfCharacters(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t n = 0; n < count; ++n) {
        if (i >= text.size()) {
            return std::string_view::npos;
        }
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0U) == 0x80U) {
            ++i;
        }
    }
    return i;
}

} // namespace codec
