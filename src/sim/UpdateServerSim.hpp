#pragma once
// The simulated update server: serves a catalog over HTTP on loopback, logs every request and
// injects the faults a real server can show.

#include "sim/UpdateCatalog.hpp"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sim {

enum class ServerFault {
    NotFoundHtml,  // 404 with an HTML page
    MissingFields, // field answers lose their last field, country entries and records theirs
    BadBase64,     // a body that is not Base64 (non-ASCII bytes in it)
    Stall,         // holds the answer back for the stall time (see setStallTime)
    Redirect,      // 302 to the same path, which then answers normally
    EmptyBody,     // 200 with an empty body
    // Database answers of the flood size (see setFloodBytes) after a valid header:
    FloodLines,   // line feeds only
    FloodRecords, // the catalog's record lines over and over, then the two closing lines
    LongLine,     // one endless valid record line, then the two closing lines
    CutShort,     // announces a body of 128 MiB, sends 4 KiB of it and hangs up
};

class UpdateServerSim {
public:
    explicit UpdateServerSim(UpdateCatalog catalog);
    ~UpdateServerSim();
    UpdateServerSim(const UpdateServerSim&) = delete;
    UpdateServerSim& operator=(const UpdateServerSim&) = delete;

    // Binds `host` on `port` (0: a free port chosen by the system) and serves on a thread of its
    // own. False when the address cannot be bound or the server did not come up within 5 s.
    bool start(const std::string& host = "127.0.0.1", int port = 0);
    // Releases stalled answers and stops serving; safe to call twice.
    void stop();

    [[nodiscard]] int port() const;
    // "http://host:port", what the updater takes as its base address.
    [[nodiscard]] std::string baseAddress() const;

    // Requests whose path starts with `pathPrefix` (every request for "") get `fault`. The first
    // matching rule wins.
    void addFault(ServerFault fault, const std::string& pathPrefix = "");
    void clearFaults();
    // How long a stalled answer is held back (default 60 s; stop() releases it earlier).
    void setStallTime(std::chrono::milliseconds time);
    // Bytes of the flood between the header and the closing lines (default 1 MB).
    void setFloodBytes(std::uint64_t bytes);
    // Serves `body` with `status` for exactly `path`, in place of what the catalog gives.
    void setAnswer(const std::string& path, std::string body, int status = 200);

    // Every request so far as "GET <path>[?query] <status> <bytes>", in arrival order.
    [[nodiscard]] std::vector<std::string> log() const;
    // Every request target so far ("<path>[?query]"), in arrival order.
    [[nodiscard]] std::vector<std::string> requests() const;
    // Database identifiers named by finish requests, in order.
    [[nodiscard]] std::vector<std::string> finished() const;
    // Also appends each log line to this file.
    bool setLogFile(const std::filesystem::path& path);

    // The answers, as the server encodes them (for tests and the catalog tool).
    [[nodiscard]] std::string countriesText() const;
    [[nodiscard]] std::string databaseAnswer() const;

    static std::string base64Encode(std::string_view bytes);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace sim
