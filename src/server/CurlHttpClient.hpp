#pragma once
// HttpClient on libcurl: an easy handle per request, inactivity measured from the last byte.

#include "server/HttpClient.hpp"

#include <atomic>
#include <functional>
#include <mutex>
#include <string_view>

namespace server {

class CurlHttpClient final : public HttpClient {
public:
    // Receives one line per finished request: URL, status, bytes (or the error).

    CurlHttpClient();
    ~CurlHttpClient() override = default;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    HttpResult get(const HttpRequest& request) override;
    void stop() override;
    void resume() override;

    void setLogSink(LogSink sink) override;

    // The most redirects one request follows.
    static constexpr long kMaxRedirects = 10;

private:
    std::atomic<bool> m_stopped{false};
    RequestLog m_log;
};

} // namespace server
