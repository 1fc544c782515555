#include "sim/AddressInUse.hpp"

#include <winsock2.h>
// After winsock2.h, whose types it uses.
#include <ws2tcpip.h>

namespace sim {

bool addressInUse(const std::string& host, int port) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    bool inUse = false;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) == 0) {
        for (const addrinfo* a = found; a != nullptr && !inUse; a = a->ai_next) {
            const SOCKET sock = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (sock == INVALID_SOCKET) {
                continue;
            }
            // Windows' SO_REUSEADDR would bind over a listener; exclusive use reports it.
            BOOL yes = TRUE;
            setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
                       sizeof yes);
            inUse = bind(sock, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 &&
                    WSAGetLastError() == WSAEADDRINUSE;
            closesocket(sock);
        }
        freeaddrinfo(found);
    }
    WSACleanup();
    return inUse;
}

} // namespace sim
