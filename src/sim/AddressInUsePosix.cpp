#include "sim/AddressInUse.hpp"

#include <cerrno>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

bool addressInUse(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return false;
    }
    bool inUse = false;
    for (const addrinfo* a = found; a != nullptr && !inUse; a = a->ai_next) {
        const int sock = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (sock < 0) {
            continue;
        }
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        inUse = bind(sock, a->ai_addr, a->ai_addrlen) != 0 && errno == EADDRINUSE;
        close(sock);
    }
    freeaddrinfo(found);
    return inUse;
}

} // namespace sim
