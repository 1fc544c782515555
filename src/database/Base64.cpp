#include "database/Base64.hpp"

#include <algorithm>
#include <cstring>

std::vector<std::uint8_t> NewBase64Decode(const char* input, std::size_t length,
                                          std::size_t* outputLength) {
    if (length == kBase64ZeroTerminated) {
        length = input == nullptr ? 0 : std::strlen(input);
    }
    std::vector<std::uint8_t> output(((length + 3) / 4) * 3);
    std::size_t out = 0;
    std::size_t pos = 0;
    while (pos < length) {
        std::array<std::uint8_t, 4> group{};
        std::size_t k = 0;
        while (pos < length && k < group.size()) {
            const std::uint8_t value = base64DecodeLookup[static_cast<unsigned char>(input[pos++])];
            if (value != kBase64Skip) {
                group[k++] = value;
            }
        }
        // Each group of k values yields k - 1 bytes; the buffer always has room, since k values
        // took at least k input bytes.
        if (k >= 2) {
            output[out] = static_cast<std::uint8_t>((group[0] << 2U) | (group[1] >> 4U));
        }
        if (k >= 3) {
            output[out + 1] = static_cast<std::uint8_t>((group[1] << 4U) | (group[2] >> 2U));
        }
        if (k == 4) {
            output[out + 2] = static_cast<std::uint8_t>((group[2] << 6U) | group[3]);
        }
        if (k >= 1) {
            out += k - 1;
        }
    }
    if (outputLength != nullptr) {
        *outputLength = out;
    }
    return output;
}

std::vector<std::uint8_t> dataFromBase64String(std::string_view text) {
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        return {};
    }
    std::size_t length = 0;
    auto bytes = NewBase64Decode(text.data(), text.size(), &length);
    bytes.resize(length);
    return bytes;
}

namespace codec {

namespace {

// Decodes into any byte container; false when the text is not canonical Base64.
template <typename Container>
bool strictDecodeInto(std::string_view text, Container& out) {
    if (text.size() % 4 != 0) {
        return false;
    }
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    const std::string_view body = text.substr(0, text.size() - padding);
    out.clear();
    out.reserve(body.size() / 4 * 3 + 2);
    // A third "=" is outside the alphabet and rejected here; with the total length a multiple of
    // four, the last group always has at least two body characters.
    std::uint32_t acc = 0;
    unsigned bits = 0;
    for (const char c : body) {
        const std::uint8_t value = base64DecodeLookup[static_cast<unsigned char>(c)];
        if (value == kBase64Skip) {
            return false;
        }
        acc = (acc << 6U) | value;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<typename Container::value_type>(acc >> bits));
            acc &= (1U << bits) - 1U;
        }
    }
    return true;
}

} // namespace

std::optional<std::vector<std::uint8_t>> strictBase64Decode(std::string_view text) {
    std::vector<std::uint8_t> out;
    if (!strictDecodeInto(text, out)) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> strictBase64DecodeText(std::string_view text) {
    std::string out;
    if (!strictDecodeInto(text, out)) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::size_t> strictBase64DecodeInPlace(std::span<char> text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    const std::size_t bodyLength = text.size() - padding;
    // Output position out never passes the input position: four characters give three bytes.
    std::size_t out = 0;
    std::uint32_t acc = 0;
    unsigned bits = 0;
    for (std::size_t in = 0; in < bodyLength; ++in) {
        const std::uint8_t value = base64DecodeLookup[static_cast<unsigned char>(text[in])];
        if (value == kBase64Skip) {
            return std::nullopt;
        }
        acc = (acc << 6U) | value;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            text[out++] = static_cast<char>(static_cast<std::uint8_t>(acc >> bits));
            acc &= (1U << bits) - 1U;
        }
    }
    return out;
}

} // namespace codec
