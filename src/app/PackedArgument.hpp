#pragma once
// The one-text arguments of the window operations: comma-separated fields and "YES"/"NO" flags.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace packed {

// Splits at every comma; no field can hold a comma. "" gives one empty field, "a," gives
// "a" and "".
std::vector<std::string> splitFields(std::string_view text);

// Joins fields with commas, the inverse of splitFields for fields without commas.
std::string joinFields(const std::vector<std::string>& fields);

// A flag field of a packed argument: true only for "YES" exactly (case matters).
bool isYes(std::string_view field);

// A whole-text switch such as setBtnConnect's: "YES" or "NO" in any letter case (ASCII) gives
// true or false; any other text gives no value.
std::optional<bool> readSwitch(std::string_view text);

} // namespace packed
