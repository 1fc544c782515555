#pragma once
// Helpers for tests: byte buffers that print as hex, a Base64 encoder, record builders.

#include "database/DataBase.hpp"
#include "device/ConnectedTargetInfo.hpp"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// A byte buffer that compares by value and prints as hex in failure messages.
struct Hex {
    std::vector<std::uint8_t> bytes;
    bool operator==(const Hex&) const = default;
};
Hex hex(std::span<const std::uint8_t> bytes);
// Parses "B6 98 09" (blanks optional) into bytes.
Hex hex(std::string_view text);
Hex hex(const std::string& text);
Hex hex(const char* text);
void PrintTo(const Hex& value, std::ostream* os);

// The ten device bytes of a camera record, placed bit by bit at the positions the device
// expects (independent of the production packing): type t, latitude y and longitude x in
// ten-thousandths of a degree, direction h, speed tens s, autodoria d.
Hex recordBitByBit(std::int32_t t, std::int32_t y, std::int32_t x, std::int32_t h, std::int32_t s,
                   std::int32_t d);

std::string base64Encode(std::span<const std::uint8_t> bytes);
std::string base64Encode(std::string_view text);

// A record with the nine-byte key filled as identification would fill it.
std::shared_ptr<ConnectedTargetInfo> recordWithKey(const std::array<std::uint8_t, 9>& key);

std::shared_ptr<const DataBase> camera(double type, double lat, double lng, double direction,
                                       double speed, double autodoria, std::string country);

} // namespace testing_support
