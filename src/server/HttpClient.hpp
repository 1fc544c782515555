#pragma once
// The one HTTP operation the update-server clients need: a blocking GET of a whole body.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace server {

// Why a request gave no body.
enum class HttpError {
    None,
    InvalidUrl, // the text does not form a URL; nothing was sent
    Connect,    // the connection was refused, had no route, or was not made in time
    Resolve,    // the host name did not resolve
    Tls,        // the TLS handshake or the server's certificate failed
    Timeout,    // no byte arrived for the inactivity time-out, or too few over the rate window
    TooLarge,   // the body grew past the request's cap, or past the memory there is
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
    // A body longer than this fails the request, unless truncateBody is set: then the body is
    // cut there and the request ends as a success.
    std::size_t maxBodyBytes = std::size_t{256} << 20U;
    bool truncateBody = false;
    // The request fails as a time-out when fewer than minBytesPerSecond x rateWindow bytes arrived
    // over the last rateWindow (0 in either turns it off).
    std::size_t minBytesPerSecond = 100;
    std::chrono::milliseconds rateWindow{60000};
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
    using LogSink = std::function<void(std::string_view line)>;

    virtual ~HttpClient() = default;

    // Returns the body, or an error and no body. Never throws.
    virtual HttpResult get(const HttpRequest& request) = 0;

    // Aborts every request in flight and fails later ones with Cancelled until resume().
    virtual void stop() = 0;
    virtual void resume() = 0;
    // Where one line per request goes; a client without a log ignores it.
    virtual void setLogSink(LogSink sink) { (void)sink; }
};

// What a client tells its log sink: one line per request, "GET <url> 200 5 bytes" or
// "GET <url> failed: <kind> (<message>)". The sink may be set at any time; thread-safe.
class RequestLog {
public:
    void setSink(HttpClient::LogSink sink);
    void finished(const HttpRequest& request, const HttpResult& result) const;

private:
    mutable std::mutex m_mutex;
    HttpClient::LogSink m_sink;
};

// The platform's client (libcurl on Linux, WinHTTP on Windows).
std::shared_ptr<HttpClient> makeSystemHttpClient();

} // namespace server
