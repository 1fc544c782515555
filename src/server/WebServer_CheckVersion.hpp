#pragma once
// The update version check: versions read out of downloaded firmware images, which firmware
// is written, and the version-block texts the download writes.

#include "device/ConnectedTargetInfo.hpp"
#include "server/HttpClient.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class WebServer_CheckVersion {
public:
    // Starts every version block, in the images and in device memory.
    static constexpr std::string_view kBlockMarker = "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~";
    // The part of the marker a search compares: up to and including its first "&".
    static constexpr std::size_t kMarkerSearchLength = 23;
    // A version block never reaches further than this.
    static constexpr std::size_t kBlockLength = 60;
    static constexpr std::size_t kVersionDigits = 10;
    static constexpr const char* kUnknown = "UNKNOWN";

    // The ten-digit version of the first version block at or after the image offset of
    // `startAddress` (address minus 0x08000000, wrapping), or "UNKNOWN". Never fails otherwise.
    static std::string getUpdateVersion(std::span<const std::uint8_t> image,
                                        std::uint32_t startAddress);

    // Reads the GPS update version, then (only if found) the RD one. True when both are
    // versions; never touches ErrorMessage.
    static bool CheckUpdateVersion(ConnectedTargetInfo& record);

    // The 501 failure text for a CheckUpdateVersion() that returned false, naming the first
    // image without a version: the kind and reason of its failed fetch when `gpsFetch` or
    // `rdFetch` failed, else "NoVersion" with the image's size and address.
    static std::string noVersionText(const ConnectedTargetInfo& record,
                                     const server::HttpResult& gpsFetch,
                                     const server::HttpResult& rdFetch);

    // Decides the GPS and RD enable flags and builds the two update details and the two verify
    // blocks. Always true.
    static bool SetUpdateOption(ConnectedTargetInfo& record);
};
