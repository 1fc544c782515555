#include "server/HttpClient.hpp"

namespace server {

const char* toString(HttpError error) {
    switch (error) {
    case HttpError::None:
        return "none";
    case HttpError::InvalidUrl:
        return "invalid URL";
    case HttpError::Connect:
        return "no connection";
    case HttpError::Resolve:
        return "name not resolved";
    case HttpError::Tls:
        return "TLS failure";
    case HttpError::Timeout:
        return "inactivity time-out";
    case HttpError::TooLarge:
        return "body too large";
    case HttpError::Cancelled:
        return "cancelled";
    case HttpError::Io:
        return "transfer failed";
    }
    return "unknown";
}

const char* failureKind(HttpError error) {
    switch (error) {
    case HttpError::None:
        return "None";
    case HttpError::InvalidUrl:
        return "NoUrl";
    case HttpError::Connect:
        return "NoConnection";
    case HttpError::Resolve:
        return "NotResolved";
    case HttpError::Tls:
        return "TlsFailure";
    case HttpError::Timeout:
        return "TimedOut";
    case HttpError::TooLarge:
        return "TooLarge";
    case HttpError::Cancelled:
        return "Cancelled";
    case HttpError::Io:
        return "TransferFailed";
    }
    return "TransferFailed";
}

void RequestLog::setSink(HttpClient::LogSink sink) {
    const std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
}

void RequestLog::finished(const HttpRequest& request, const HttpResult& result) const {
    const std::lock_guard lock(m_mutex);
    if (!m_sink) {
        return;
    }
    if (result.error != HttpError::None) {
        m_sink("GET " + request.url + " failed: " + toString(result.error) + " (" + result.message +
               ")");
    } else {
        m_sink("GET " + request.url + " " + std::to_string(result.status) + " " +
               std::to_string(result.body.size()) + " bytes");
    }
}

} // namespace server
