#include "database/TextNumber.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace codec {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal exponent of the first non-zero digit of a mantissa such as "0012.5" or ".003".
long leadingDigitExponent(std::string_view mantissa) {
    long position = 0; // digits seen before the point
    bool beforePoint = true;
    long fractionZeros = 0;
    for (const char c : mantissa) {
        if (c == '.') {
            beforePoint = false;
            continue;
        }
        if (c == '0' && position == 0) {
            if (!beforePoint) {
                ++fractionZeros;
            }
            continue;
        }
        if (beforePoint) {
            ++position;
        } else {
            return position > 0 ? position - 1 : -(fractionZeros + 1);
        }
    }
    return position - 1;
}

} // namespace

double readDecimalNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    const std::size_t mantissaEnd = i;
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                if (exponent < 100000) {
                    exponent = exponent * 10 + (text[j] - '0');
                }
                ++j;
            }
            if (negativeExponent) {
                exponent = -exponent;
            }
            i = j;
        }
    }
    // from_chars takes no "+", so the sign is applied here.
    double value = 0.0;
    const char* first = text.data() + mantissaStart;
    const char* last = text.data() + i;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        const std::string_view mantissa = text.substr(mantissaStart, mantissaEnd - mantissaStart);
        value = leadingDigitExponent(mantissa) + exponent > 0
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    } else if (ec != std::errc{} || ptr != last) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::int32_t truncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t readLeadingInt32(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated in 64 bits and capped just past the 32-bit range, so it cannot overflow.
    constexpr std::int64_t kCap = std::int64_t{1} << 32;
    std::int64_t magnitude = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (magnitude < kCap) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
        ++i;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace codec
