// detector-update-server: serves a catalog folder as the update server, until Ctrl-C.

#include "install/BuildVersion.hpp"
#include "sim/UpdateServerSim.hpp"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void usage(std::ostream& out) {
    out << "usage: detector-update-server --catalog DIR [--port N] [--host ADDRESS]\n"
           "                              [--log FILE] [--fault KIND[:PATH-PREFIX]]...\n"
           "       detector-update-server --version\n"
           "  KIND: 404, missing-fields, bad-base64, stall, redirect, empty\n"
           "        flood-lines:MB, flood-records:MB, long-line:MB (database answers of\n"
           "        MB megabytes: line feeds, valid records, one endless record line)\n"
           "Serves until Ctrl-C. Exit status: 0 after Ctrl-C, 1 catalog or log file\n"
           "unusable, 2 usage error or address in use.\n";
}

int usageError(const std::string& what) {
    std::cerr << "detector-update-server: " << what << "\nTry 'detector-update-server --help'.\n";
    return 2;
}

std::optional<sim::ServerFault> faultNamed(const std::string& name) {
    if (name == "404") {
        return sim::ServerFault::NotFoundHtml;
    }
    if (name == "missing-fields") {
        return sim::ServerFault::MissingFields;
    }
    if (name == "bad-base64") {
        return sim::ServerFault::BadBase64;
    }
    if (name == "stall") {
        return sim::ServerFault::Stall;
    }
    if (name == "redirect") {
        return sim::ServerFault::Redirect;
    }
    if (name == "empty") {
        return sim::ServerFault::EmptyBody;
    }
    if (name == "flood-lines") {
        return sim::ServerFault::FloodLines;
    }
    if (name == "flood-records") {
        return sim::ServerFault::FloodRecords;
    }
    if (name == "long-line") {
        return sim::ServerFault::LongLine;
    }
    return std::nullopt;
}

// True when `host`:`port` cannot be bound because something listens there already.
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

} // namespace

int main(int argc, char** argv) {
    std::string catalogDir;
    std::string host = "127.0.0.1";
    std::string logPath;
    int port = 8754;
    std::vector<std::pair<sim::ServerFault, std::string>> faults;
    std::uint64_t floodBytes = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--catalog" && hasValue) {
            catalogDir = argv[++i];
        } else if (arg == "--port" && hasValue) {
            try {
                port = std::stoi(argv[++i]);
            } catch (const std::exception&) {
                port = -1;
            }
            if (port < 0 || port > 65535) {
                std::cerr << "detector-update-server: bad port '" << argv[i] << "'\n";
                return 2;
            }
        } else if (arg == "--host" && hasValue) {
            host = argv[++i];
        } else if (arg == "--log" && hasValue) {
            logPath = argv[++i];
        } else if (arg == "--fault" && hasValue) {
            const std::string faultArgument = argv[++i];
            const auto colon = faultArgument.find(':');
            const auto fault = faultNamed(faultArgument.substr(0, colon));
            if (!fault) {
                std::cerr << "detector-update-server: unknown fault '" << faultArgument << "'\n";
                return 2;
            }
            std::string prefix = colon == std::string::npos ? "" : faultArgument.substr(colon + 1);
            if (*fault == sim::ServerFault::FloodLines ||
                *fault == sim::ServerFault::FloodRecords || *fault == sim::ServerFault::LongLine) {
                // KIND:MB[:PATH-PREFIX]
                const auto next = prefix.find(':');
                const std::string megabytes = prefix.substr(0, next);
                prefix = next == std::string::npos ? "" : prefix.substr(next + 1);
                char* end = nullptr;
                const unsigned long long mb = std::strtoull(megabytes.c_str(), &end, 10);
                if (megabytes.empty() || *end != '\0' || mb == 0 || mb > 100000) {
                    std::cerr << "detector-update-server: bad flood size in '" << faultArgument
                              << "'\n";
                    return 2;
                }
                floodBytes = mb * 1000000ULL;
            }
            faults.emplace_back(*fault, prefix);
        } else if (arg == "--version") {
            std::cout << "detector-update-server " << BuildVersion::text() << "\n"
                      << BuildVersion::notice() << "\n";
            return 0;
        } else if (arg == "-h" || arg == "--help") {
            usage(std::cout);
            return 0;
        } else {
            return usageError("unknown argument '" + arg + "'");
        }
    }
    if (catalogDir.empty()) {
        return usageError("--catalog DIR is required");
    }
    std::string error;
    auto catalog = sim::UpdateCatalog::load(catalogDir, error);
    if (!catalog) {
        std::cerr << "detector-update-server: " << error << "\n";
        return 1;
    }

    // Signals are taken by sigwait below, so the server threads must not receive them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    sim::UpdateServerSim server(std::move(*catalog));
    for (const auto& [fault, prefix] : faults) {
        server.addFault(fault, prefix);
    }
    if (floodBytes != 0) {
        server.setFloodBytes(floodBytes);
    }
    if (!logPath.empty() && !server.setLogFile(logPath)) {
        std::cerr << "detector-update-server: cannot write " << logPath << "\n";
        return 1;
    }
    if (!server.start(host, port)) {
        if (addressInUse(host, port)) {
            std::cerr << "detector-update-server: " << host << ":" << port
                      << " is in use (another detector-update-server?); stop that one or choose "
                         "another port with --port\n";
            return 2;
        }
        std::cerr << "detector-update-server: cannot listen on " << host << ":" << port << "\n";
        return 1;
    }
    std::cout << "detector-update-server: serving " << catalogDir << " at " << server.baseAddress()
              << " (Ctrl-C ends)" << std::endl;
    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    for (const auto& line : server.log()) {
        std::cout << line << "\n";
    }
    return 0;
}
