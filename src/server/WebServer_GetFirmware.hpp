#pragma once
// The firmware image fetch: the address list for a model, then each offered image.

#include "device/ConnectedTargetInfo.hpp"
#include "server/ServerAccess.hpp"

#include <array>
#include <cstddef>

class WebServer_GetFirmware {
public:
    static constexpr const char* kPath = "/qvt_products_firmware/info/%@";
    static constexpr int kErrorCode = 501;

    WebServer_GetFirmware() = default;
    explicit WebServer_GetFirmware(server::ServerAccess access)
        : m_access(std::move(access)) {}

    // List positions of the images.
    static constexpr std::size_t kRdImage = 0;
    static constexpr std::size_t kGpsImage = 1;

    // For RD, GPS, audio and display image in turn, when the image's enable flag is set: reads
    // its address from the list, stores it, fetches it and stores the body (absent when the
    // fetch failed, whatever the HTTP status otherwise). True when every enabled image's
    // address was in the list; false with a 501 failure text at the first that was not, or
    // with the request's own failure when the list request failed and an image is enabled.
    bool getFirmware(ConnectedTargetInfo& record);

    // The failed fetch of the image at list position `position` in the last getFirmware(), so
    // the version check can say why the image is absent; a result without error when the
    // image was fetched or not asked for.
    [[nodiscard]] const server::HttpResult& imageFetch(std::size_t position) const;

private:
    server::ServerAccess m_access;
    std::array<server::HttpResult, 4> m_fetchFailures;
};
