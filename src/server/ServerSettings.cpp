#include "server/ServerSettings.hpp"

#include <cstdlib>
#include <mutex>

#ifndef DETECTOR_UPDATER_SERVER_URL
#define DETECTOR_UPDATER_SERVER_URL "http://127.0.0.1:8754"
#endif
#ifndef DETECTOR_UPDATER_PROBE_URL
#define DETECTOR_UPDATER_PROBE_URL "http://connectivitycheck.gstatic.com/generate_204"
#endif

namespace server {

namespace {

std::mutex g_overrideMutex;
std::string g_baseOverride;
std::string g_probeOverride;

std::string fromEnvironment(const char* name, std::string fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : std::move(fallback);
}

// A trailing slash would double the one every path starts with.
std::string withoutTrailingSlash(std::string address) {
    while (!address.empty() && address.back() == '/') {
        address.pop_back();
    }
    return address;
}

} // namespace

std::string ServerSettings::builtInBaseAddress() { return DETECTOR_UPDATER_SERVER_URL; }
std::string ServerSettings::builtInProbeUrl() { return DETECTOR_UPDATER_PROBE_URL; }

ServerSettings ServerSettings::current() {
    ServerSettings s;
    s.baseAddress = fromEnvironment("DETECTOR_UPDATER_SERVER", builtInBaseAddress());
    s.probeUrl = fromEnvironment("DETECTOR_UPDATER_PROBE_URL", builtInProbeUrl());
    {
        const std::lock_guard lock(g_overrideMutex);
        if (!g_baseOverride.empty()) {
            s.baseAddress = g_baseOverride;
        }
        if (!g_probeOverride.empty()) {
            s.probeUrl = g_probeOverride;
        }
    }
    s.baseAddress = withoutTrailingSlash(std::move(s.baseAddress));
    return s;
}

void ServerSettings::overrideBaseAddress(std::string address) {
    const std::lock_guard lock(g_overrideMutex);
    g_baseOverride = std::move(address);
}

void ServerSettings::overrideProbeUrl(std::string url) {
    const std::lock_guard lock(g_overrideMutex);
    g_probeOverride = std::move(url);
}

} // namespace server
