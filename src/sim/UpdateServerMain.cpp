// detector-update-server: serves a catalog folder as the update server, until Ctrl-C.

#include "install/BuildVersion.hpp"
#include "install/Console.hpp"
#include "install/SystemPaths.hpp"
#include "sim/AddressInUse.hpp"
#include "sim/UpdateServerSim.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

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

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = console::arguments(argc, argv);
    std::string catalogDir;
    std::string host = "127.0.0.1";
    std::string logPath;
    int port = 8754;
    std::vector<std::pair<sim::ServerFault, std::string>> faults;
    std::uint64_t floodBytes = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--catalog" && hasValue) {
            catalogDir = args[++i];
        } else if (arg == "--port" && hasValue) {
            try {
                port = std::stoi(args[++i]);
            } catch (const std::exception&) {
                port = -1;
            }
            if (port < 0 || port > 65535) {
                std::cerr << "detector-update-server: bad port '" << args[i] << "'\n";
                return 2;
            }
        } else if (arg == "--host" && hasValue) {
            host = args[++i];
        } else if (arg == "--log" && hasValue) {
            logPath = args[++i];
        } else if (arg == "--fault" && hasValue) {
            const std::string faultArgument = args[++i];
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
    auto catalog = sim::UpdateCatalog::load(sys::pathFromUtf8(catalogDir), error);
    if (!catalog) {
        std::cerr << "detector-update-server: " << error << "\n";
        return 1;
    }

    // Ctrl-C is waited for below, so the server threads must not receive it.
    console::takeInterrupts(false);

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
        if (sim::addressInUse(host, port)) {
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
    console::waitForInterrupt();
    server.stop();
    for (const auto& line : server.log()) {
        std::cout << line << "\n";
    }
    return 0;
}
