#pragma once
// Reading numbers out of server texts the way the updater always has: lenient and locale-free.

#include <cstdint>
#include <string_view>

namespace codec {

// Skips leading white space, then reads the longest prefix that is a decimal floating-point
// number (optional sign, digits, optional "." and fraction, optional exponent). The decimal
// separator is always "."; a text without such a prefix reads as 0. Values beyond the double
// range read as +-infinity, values below it as 0.
double readDecimalNumber(std::string_view text);

// Truncates toward zero into the signed 32-bit range: NaN gives 0, values outside the range
// saturate at its ends.
std::int32_t truncateToInt32(double value);

// Skips leading white space, takes an optional sign and the decimal digits up to the first
// other character. A text without digits reads as 0; a value beyond the 32-bit range
// saturates at its end (no overflow). "12abc" reads 12, "1.9" reads 1, "1e3" reads 1.
std::int32_t readLeadingInt32(std::string_view text);

} // namespace codec
