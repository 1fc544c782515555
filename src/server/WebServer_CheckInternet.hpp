#pragma once
// The network availability probe: does a well-known public address answer at all?

#include "server/ServerAccess.hpp"

class WebServer_CheckInternet {
public:
    WebServer_CheckInternet() = default;
    explicit WebServer_CheckInternet(server::ServerAccess access)
        : m_access(std::move(access)) {}

    // True when the probe address gave any answer (any status, even an empty body) before the
    // probe time-out; false when the request failed, timed out, was stopped or the address is
    // not a URL. Writes nothing anywhere.
    bool isNetworkAvailable() const;

private:
    server::ServerAccess m_access;
};
