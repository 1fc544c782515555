#pragma once
// HttpClient on WinHTTP: one asynchronous request per get(), driven and timed by the caller's
// thread, so that a stop or a time-out ends it at once.

#include "server/HttpClient.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace server {

// What a WinHTTP (or system) error code means to the update clients: the kind, and the reason a
// message gives for it ("the secure channel failed").
struct WinHttpFailure {
    HttpError error;
    std::string_view reason;
};

// The one place where WinHTTP's error codes become our error kinds. Codes it does not know are
// Io, with the reason "WinHTTP error <code>" left to the caller.
WinHttpFailure translateWinHttpError(std::uint32_t code);

class WinHttpClient final : public HttpClient {
public:
    WinHttpClient();
    ~WinHttpClient() override;
    WinHttpClient(const WinHttpClient&) = delete;
    WinHttpClient& operator=(const WinHttpClient&) = delete;

    HttpResult get(const HttpRequest& request) override;
    void stop() override;
    void resume() override;
    void setLogSink(LogSink sink) override;

    // The most redirects one request follows.
    static constexpr std::uint32_t kMaxRedirects = 10;

    struct Transfer; // one request's state, shared with WinHTTP's callback

private:
    void log(std::string_view line) const;
    HttpResult run(const HttpRequest& request, const std::shared_ptr<Transfer>& owner);

    void* m_session = nullptr; // the WinHTTP session handle, null when WinHTTP is unusable
    std::atomic<bool> m_stopped{false};
    // Requests in flight, woken by stop().
    std::mutex m_activeMutex;
    std::vector<Transfer*> m_active;
    mutable std::mutex m_logMutex;
    LogSink m_log;
};

} // namespace server
