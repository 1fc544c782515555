#pragma once
// What every fuzz target shares: property checks that stop the run, and ways to cut the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A property that does not hold is a finding: abort, so that libFuzzer keeps the input and the
// replay test fails.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz property failed: %s (%s:%d)\n", #condition, __FILE__,       \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzzing {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Reads parameters off the front of the input; what is left is the main text.
class InputCursor {
public:
    InputCursor(const std::uint8_t* data, std::size_t size)
        : m_rest(data, size) {}

    std::uint8_t byte() {
        if (m_rest.empty()) {
            return 0;
        }
        const std::uint8_t b = m_rest.front();
        m_rest = m_rest.subspan(1);
        return b;
    }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v = (v << 8U) | byte();
        }
        return v;
    }
    // The bytes up to the next `separator` (or the end), which is consumed.
    std::string_view piece(char separator) {
        const std::string_view text = rest();
        const auto at = text.find(separator);
        const std::string_view out = text.substr(0, at);
        m_rest = m_rest.subspan(at == std::string_view::npos ? text.size() : at + 1);
        return out;
    }
    [[nodiscard]] std::string_view rest() const {
        return {reinterpret_cast<const char*>(m_rest.data()), m_rest.size()};
    }
    [[nodiscard]] bool empty() const { return m_rest.empty(); }

private:
    std::span<const std::uint8_t> m_rest;
};

// Canonical Base64 (RFC 4648, with padding), written here so that no target checks the
// production decoder against itself.
inline std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t acc = 0;
    unsigned bits = 0;
    for (const char c : bytes) {
        acc = (acc << 8U) | static_cast<unsigned char>(c);
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += kAlphabet[(acc >> bits) & 63U];
        }
    }
    if (bits > 0) {
        out += kAlphabet[(acc << (6 - bits)) & 63U];
    }
    while (out.size() % 4 != 0) {
        out += '=';
    }
    return out;
}

} // namespace fuzzing
