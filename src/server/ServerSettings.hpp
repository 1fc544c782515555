#pragma once
// Where the update server and the connectivity probe are, and how long a request may idle.

#include <chrono>
#include <cstddef>
#include <string>

namespace server {

struct ServerSettings {
    // Scheme and host (and port), no trailing slash; the request paths follow it.
    std::string baseAddress;
    // A public address reached over plain http; any answer means the network is there.
    std::string probeUrl;
    std::chrono::milliseconds requestTimeout{30000};
    std::chrono::milliseconds probeTimeout{5000};
    std::size_t maxImageBytes = std::size_t{64} << 20U;
    std::size_t maxAnswerBytes = std::size_t{256} << 20U;
    // The probe only needs to know that an answer came; it keeps no more of the body than this.
    std::size_t maxProbeBytes = std::size_t{64} << 10U;

    // The addresses built into this program (set by the CMake cache variables
    // DETECTOR_UPDATER_SERVER_URL and DETECTOR_UPDATER_PROBE_URL).
    static std::string builtInBaseAddress();
    static std::string builtInProbeUrl();

    // Built-in values, replaced by DETECTOR_UPDATER_SERVER / DETECTOR_UPDATER_PROBE_URL from the
    // environment when set and not empty, then by the run-time overrides below when set.
    static ServerSettings current();

    // For the front ends' --server and --probe-url; an empty text removes the override.
    static void overrideBaseAddress(std::string address);
    static void overrideProbeUrl(std::string url);
};

} // namespace server
