#pragma once
// The one HTTP operation the update-server clients need: a blocking GET of a whole body.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace server {

// Why a request gave no body.
enum class HttpError {
    None,
    InvalidUrl, // the text does not form a URL; nothing was sent
    Connect,    // the connection was refused, had no route, or was not made in time
    Resolve,    // the host name did not resolve
    Tls,        // the TLS handshake or the server's certificate failed
    Timeout,    // no byte arrived for the inactivity time-out
    TooLarge,   // the body grew past the request's cap
    Cancelled,  // the client was stopped while the request ran
    Io,         // any other transfer failure
};

const char* toString(HttpError error);

// The kind word a failure text carries for a request that failed: "NoConnection",
// "NotResolved", "TlsFailure", "TimedOut", "TooLarge", "NoUrl", "Cancelled", "TransferFailed".
const char* failureKind(HttpError error);

struct HttpRequest {
    std::string url;
    // The request fails when no byte has arrived for this long (connecting included).
    std::chrono::milliseconds inactivityTimeout{30000};
    // A body longer than this fails the request.
    std::size_t maxBodyBytes = std::size_t{256} << 20U;
};

struct HttpResult {
    HttpError error = HttpError::None;
    long status = 0; // HTTP status of the last answer after redirects; 0 when none arrived
    std::vector<std::uint8_t> body;
    // One line naming what failed and where ("connection refused by 127.0.0.1:8754"), empty on
    // success.
    std::string message;

    [[nodiscard]] bool ok() const { return error == HttpError::None; }
};

// Blocking GET with redirects followed (at most 10), no cache, no headers or credentials of
// its own, and the body taken whatever the HTTP status. Implementations are safe to call from
// several threads at once.
class HttpClient {
public:
    virtual ~HttpClient() = default;

    // Returns the body, or an error and no body. Never throws.
    virtual HttpResult get(const HttpRequest& request) = 0;

    // Aborts every request in flight and fails later ones with Cancelled until resume().
    virtual void stop() = 0;
    virtual void resume() = 0;
};

} // namespace server
