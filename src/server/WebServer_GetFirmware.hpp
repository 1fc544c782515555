#pragma once
// The firmware image fetch: the address list for a model, then each offered image.

#include "device/ConnectedTargetInfo.hpp"
#include "server/ServerAccess.hpp"

class WebServer_GetFirmware {
public:
    static constexpr const char* kPath = "/qvt_products_firmware/info/%@";
    static constexpr int kErrorCode = 501;

    WebServer_GetFirmware() = default;
    explicit WebServer_GetFirmware(server::ServerAccess access)
        : m_access(std::move(access)) {}

    // For RD, GPS, audio and display image in turn, when the image's enable flag is set: reads
    // its address from the list, stores it, fetches it and stores the body (absent when the
    // fetch failed, whatever the HTTP status otherwise). True when every enabled image's
    // address was in the list; false with a 501 failure text at the first that was not, or
    // when memory runs out.
    bool getFirmware(ConnectedTargetInfo& record) const;

private:
    bool fetchFirmware(ConnectedTargetInfo& record) const;
    server::ServerAccess m_access;
};
