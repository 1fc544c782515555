#pragma once
// Filling a catalogue text's %1..%9 and writing counts as each language groups its digits.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace text {

// Every %N (1 to 9) is replaced by the Nth argument; a %N without an argument, "%%" and a lone
// "%" stay as they are. Arguments are not searched again, so an argument that holds "%2" stays
// itself.
std::string substitute(std::string_view pattern, std::initializer_list<std::string_view> args);

// "9,300" in English, "9 300" (a no-break space, U+00A0) in Russian; the language is "en" or
// "ru", anything else writes English.
std::string groupedNumber(std::uint64_t value, std::string_view language);

} // namespace text
