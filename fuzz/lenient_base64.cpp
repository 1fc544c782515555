// Lenient Base64: skipping is skipping, the output never outgrows its buffer, and a
// zero-terminated input decodes like the same bytes with their length.

#include "FuzzSupport.hpp"
#include "database/Base64.hpp"

#include <algorithm>
#include <cstring>

namespace {

// Groups of up to four alphabet values give one byte fewer than their count.
std::vector<std::uint8_t> reference(std::string_view text) {
    std::vector<unsigned> values;
    for (const char c : text) {
        const std::uint8_t v = base64DecodeLookup[static_cast<unsigned char>(c)];
        if (v != kBase64Skip) {
            values.push_back(v);
        }
    }
    std::vector<std::uint8_t> out;
    for (std::size_t g = 0; g < values.size(); g += 4) {
        std::uint32_t acc = 0;
        const std::size_t k = std::min<std::size_t>(4, values.size() - g);
        for (std::size_t i = 0; i < 4; ++i) {
            acc = (acc << 6U) | (i < k ? values[g + i] : 0U);
        }
        for (std::size_t i = 0; i + 1 < k; ++i) {
            out.push_back(static_cast<std::uint8_t>(acc >> (16U - 8U * i)));
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzzing::asText(data, size);
    const std::vector<std::uint8_t> decoded = dataFromBase64String(text);
    const bool ascii = std::none_of(text.begin(), text.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    FUZZ_CHECK(decoded == (ascii ? reference(text) : std::vector<std::uint8_t>{}));

    std::size_t length = 0;
    const auto buffer = NewBase64Decode(text.data(), text.size(), &length);
    FUZZ_CHECK(buffer.size() == (text.size() + 3) / 4 * 3);
    FUZZ_CHECK(length <= buffer.size());
    FUZZ_CHECK(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + length) ==
               reference(text));

    const std::string terminated(text);
    std::size_t zLength = 0;
    const auto zBuffer = NewBase64Decode(terminated.c_str(), kBase64ZeroTerminated, &zLength);
    const std::string_view upToZero(terminated.c_str(), std::strlen(terminated.c_str()));
    FUZZ_CHECK(std::vector<std::uint8_t>(zBuffer.begin(), zBuffer.begin() + zLength) ==
               reference(upToZero));
    return 0;
}
