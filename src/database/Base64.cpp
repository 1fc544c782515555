#include "database/Base64.hpp"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::uint8_t, 256> makeLookup() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kBase64Skip);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        table[static_cast<std::uint8_t>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    }
    return table;
}

} // namespace

const std::array<std::uint8_t, 256> base64DecodeLookup = makeLookup();

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

std::optional<std::vector<std::uint8_t>> strictBase64Decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    const std::string_view body = text.substr(0, text.size() - padding);
    for (const char c : body) {
        if (base64DecodeLookup[static_cast<unsigned char>(c)] == kBase64Skip) {
            return std::nullopt;
        }
    }
    // A third "=" is outside the alphabet and was rejected above; a lone body character in the
    // last group (length 1 mod 4) cannot happen once the total length is a multiple of four.
    std::vector<std::uint8_t> out;
    out.reserve(body.size() / 4 * 3 + 2);
    std::uint32_t acc = 0;
    unsigned bits = 0;
    for (const char c : body) {
        acc = (acc << 6U) | base64DecodeLookup[static_cast<unsigned char>(c)];
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>(acc >> bits));
        }
        acc &= (1U << bits) - 1U;
    }
    return out;
}

} // namespace codec
