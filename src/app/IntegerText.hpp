#pragma once
// Reading a signed 32-bit count out of a text, leniently, as the country lists need it.

#include <cstdint>
#include <string_view>

namespace codec {

// Skips leading white space, takes an optional sign and the decimal digits up to the first
// other character. A text without digits reads as 0; a value beyond the 32-bit range
// saturates at its end (no overflow). "12abc" reads 12, "1.9" reads 1, "1e3" reads 1.
std::int32_t readLeadingInt32(std::string_view text);

} // namespace codec
