#pragma once
// The device information query: memory layout, offered images and update type of a model.

#include "device/ConnectedTargetInfo.hpp"
#include "server/ServerAccess.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

class WebServer_GetDeviceInfo {
public:
    static constexpr const char* kPath = "/qvt_products/info/%@";
    static constexpr int kErrorCode = 301;
    static constexpr std::size_t kFieldCount = 22;
    // Device address of byte 0 of a firmware image.
    static constexpr std::uint32_t kImageBase = 0x08000000;
    // An RD application at this address is cut from the image's first byte.
    static constexpr std::uint32_t kRdCutFromStart = 0x8C00;

    WebServer_GetDeviceInfo() = default;
    explicit WebServer_GetDeviceInfo(server::ServerAccess access)
        : m_access(std::move(access)) {}

    // Requests the 22 fields for the record's keyword and stores them (and the four cut
    // offsets) in position order. False with a 301 failure text in ErrorMessage at the first
    // missing field or hex field shorter than two characters, or when memory runs out; what was
    // stored before stays.
    bool getDeviceInfo(ConnectedTargetInfo& record) const;

    // The hexadecimal number after the text's first two characters (blanks and line breaks
    // skipped, an optional further 0x accepted, the rest ignored); 0xFFFFFFFF when it does not
    // fit, 0 without digits. nullopt for a text of fewer than two characters.
    static std::optional<std::uint32_t> StringToHex(std::string_view text);
    // True exactly for "true" in any letter case.
    static bool StringToBool(std::string_view text);
    // 0 for "MCU" in any letter case, else 1.
    static std::uint32_t ParsingSaveLocation(std::string_view text);
    // 1 MERIDIAN, 2 ONLY RD, 3 DONGLE, 4 8BIT RD (any letter case), 0 for anything else.
    static std::uint32_t ParsingUpdateType(std::string_view text);

private:
    bool queryDeviceInfo(ConnectedTargetInfo& record) const;
    server::ServerAccess m_access;
};
