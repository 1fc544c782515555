#include "server/WinHttpClient.hpp"

#include "install/WideText.hpp"
#include "server/RateWindow.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <condition_variable>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include <windows.h>
#include <winhttp.h>

namespace server {

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting request looks at its clocks; stop() wakes it at once.
constexpr std::chrono::milliseconds kPoll{20};
constexpr std::size_t kReadChunk = std::size_t{64} << 10U;

struct FailureRow {
    std::uint32_t code;
    HttpError error;
    std::string_view reason;
};

constexpr std::array kFailures = {
    FailureRow{ERROR_WINHTTP_CANNOT_CONNECT, HttpError::Connect, "the connection was not made"},
    FailureRow{ERROR_WINHTTP_NAME_NOT_RESOLVED, HttpError::Resolve, "the name did not resolve"},
    FailureRow{ERROR_WINHTTP_SECURE_FAILURE, HttpError::Tls, "the server's certificate failed"},
    FailureRow{ERROR_WINHTTP_SECURE_CHANNEL_ERROR, HttpError::Tls, "the secure channel failed"},
    FailureRow{ERROR_WINHTTP_SECURE_INVALID_CA, HttpError::Tls,
               "the certificate's issuer is not trusted"},
    FailureRow{ERROR_WINHTTP_SECURE_CERT_CN_INVALID, HttpError::Tls,
               "the certificate names another host"},
    FailureRow{ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, HttpError::Tls,
               "the certificate has expired or is not yet valid"},
    FailureRow{ERROR_WINHTTP_SECURE_INVALID_CERT, HttpError::Tls, "the certificate is invalid"},
    FailureRow{ERROR_WINHTTP_SECURE_CERT_REVOKED, HttpError::Tls, "the certificate was revoked"},
    FailureRow{ERROR_WINHTTP_SECURE_CERT_REV_FAILED, HttpError::Tls,
               "the certificate's revocation could not be checked"},
    FailureRow{ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE, HttpError::Tls,
               "the certificate is not for a server"},
    FailureRow{ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED, HttpError::Tls,
               "the server asks for a client certificate"},
    FailureRow{ERROR_WINHTTP_TIMEOUT, HttpError::Timeout, "the request timed out"},
    FailureRow{ERROR_WINHTTP_OPERATION_CANCELLED, HttpError::Cancelled,
               "the request was cancelled"},
    FailureRow{ERROR_WINHTTP_INVALID_URL, HttpError::InvalidUrl, "the URL is invalid"},
    FailureRow{ERROR_WINHTTP_UNRECOGNIZED_SCHEME, HttpError::InvalidUrl,
               "the URL's scheme is not supported"},
    FailureRow{ERROR_WINHTTP_CONNECTION_ERROR, HttpError::Io, "the connection was reset"},
    FailureRow{ERROR_WINHTTP_INVALID_SERVER_RESPONSE, HttpError::Io,
               "the server's answer is not HTTP"},
    FailureRow{ERROR_WINHTTP_REDIRECT_FAILED, HttpError::Io, "a redirect could not be followed"},
    FailureRow{ERROR_WINHTTP_HEADER_SIZE_OVERFLOW, HttpError::Io, "the headers are too long"},
    FailureRow{ERROR_NOT_ENOUGH_MEMORY, HttpError::Io, "WinHTTP ran out of memory"},
};

// An address taken apart the way libcurl's parser takes it: a scheme, "://", an authority,
// and no blank or control character anywhere.
struct Url {
    std::string scheme; // lower case
    std::string host;
    std::uint16_t port = 0;
    std::string target; // path and query, never empty
};

std::optional<Url> parseUrl(std::string_view text) {
    if (text.empty() || std::any_of(text.begin(), text.end(), [](char c) {
            return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
        })) {
        return std::nullopt;
    }
    const auto colon = text.find("://");
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    Url url;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (i == 0 || !other)) {
            return std::nullopt;
        }
        url.scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    std::string_view rest = text.substr(colon + 3);
    rest = rest.substr(0, rest.find('#'));
    const auto end = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, end);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1); // credentials are never sent
    }
    std::string_view portText;
    const auto bracket = authority.rfind(']');
    const auto portColon = authority.rfind(':');
    if (portColon != std::string_view::npos &&
        (bracket == std::string_view::npos || portColon > bracket)) {
        portText = authority.substr(portColon + 1);
        authority = authority.substr(0, portColon);
    }
    url.host = std::string(authority);
    if (portText.empty()) {
        url.port = url.scheme == "https" ? 443 : 80;
    } else {
        unsigned value = 0;
        const auto [p, ec] =
            std::from_chars(portText.data(), portText.data() + portText.size(), value);
        if (ec != std::errc{} || p != portText.data() + portText.size() || value == 0 ||
            value > 65535) {
            return std::nullopt;
        }
        url.port = static_cast<std::uint16_t>(value);
    }
    const bool web = url.scheme == "http" || url.scheme == "https";
    if (web && url.host.empty()) {
        return std::nullopt;
    }
    const std::string_view target = end == std::string_view::npos ? "" : rest.substr(end);
    if (target.empty() || target.front() == '?') {
        url.target += '/';
    }
    url.target.append(target);
    return url;
}

// "host:port" of an address, the scheme's port filled in; the address itself if it will not
// parse or names no host.
std::string hostAndPort(const std::string& address) {
    const auto url = parseUrl(address);
    if (!url || url->host.empty()) {
        return address;
    }
    return url->host + ":" + std::to_string(url->port);
}

std::string hostOf(const std::string& address) {
    const auto url = parseUrl(address);
    return url && !url->host.empty() ? url->host : address;
}

void closeHandle(HINTERNET h) {
    if (h != nullptr) {
        WinHttpCloseHandle(h);
    }
}

} // namespace

WinHttpFailure translateWinHttpError(std::uint32_t code) {
    for (const auto& row : kFailures) {
        if (row.code == code) {
            return {row.error, row.reason};
        }
    }
    return {HttpError::Io, {}};
}

// Shared by the thread in get() and WinHTTP's callback. The callback only records what
// happened; get() makes every call. WinHTTP holds a reference until the handle's last
// notification, so a request given up on can still complete into a live buffer.
struct WinHttpClient::Transfer {
    enum class Event { None, Sent, Headers, Read, Failed };

    std::mutex mutex;
    std::condition_variable changed;
    Event event = Event::None;
    std::uint32_t bytesRead = 0;
    std::uint32_t failure = 0;
    bool connected = false;
    bool woken = false;
    Clock::time_point lastByte = Clock::now();
    std::shared_ptr<Transfer> heldByWinHttp;
    std::unique_ptr<std::uint8_t[]> buffer{new (std::nothrow) std::uint8_t[kReadChunk]};

    static void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                  DWORD length) {
        auto* t = reinterpret_cast<Transfer*>(context);
        if (t == nullptr) {
            return;
        }
        std::shared_ptr<Transfer> released;
        {
            const std::lock_guard lock(t->mutex);
            switch (status) {
            case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
            case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
                t->connected = true;
                break;
            case WINHTTP_CALLBACK_STATUS_RESPONSE_RECEIVED:
                t->lastByte = Clock::now();
                break;
            case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
                t->event = Event::Sent;
                break;
            case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
                t->lastByte = Clock::now();
                t->event = Event::Headers;
                break;
            case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
                t->bytesRead = length;
                if (length > 0) {
                    t->lastByte = Clock::now();
                }
                t->event = Event::Read;
                break;
            case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
                t->failure = static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError;
                t->event = Event::Failed;
                break;
            case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
                released = std::move(t->heldByWinHttp);
                break;
            default:
                break;
            }
        }
        t->changed.notify_all();
        // `released` may be the last reference: it goes after the lock.
    }
};

namespace {

// The system's proxy settings: the automatic ones where WinHTTP has them (Windows 8.1 on),
// else the user's static proxy, else WinHTTP's own configuration.
HINTERNET openSession() {
    constexpr wchar_t kAgent[] = L"detector-updater";
    if (HINTERNET s =
            WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                        WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC)) {
        return s;
    }
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    HINTERNET s = nullptr;
    if (WinHttpGetIEProxyConfigForCurrentUser(&user) && user.lpszProxy != nullptr) {
        s = WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, user.lpszProxy,
                        user.lpszProxyBypass != nullptr ? user.lpszProxyBypass
                                                        : WINHTTP_NO_PROXY_BYPASS,
                        WINHTTP_FLAG_ASYNC);
    }
    for (LPWSTR text : {user.lpszAutoConfigUrl, user.lpszProxy, user.lpszProxyBypass}) {
        if (text != nullptr) {
            GlobalFree(text);
        }
    }
    if (s == nullptr) {
        s = WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                        WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    }
    return s;
}

// The address the request asked last, after redirects.
std::string currentUrl(HINTERNET request, const std::string& fallback) {
    DWORD size = 0;
    WinHttpQueryOption(request, WINHTTP_OPTION_URL, nullptr, &size);
    if (size < sizeof(wchar_t)) {
        return fallback;
    }
    std::wstring url(size / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_URL, url.data(), &size)) {
        return fallback;
    }
    url.resize(size / sizeof(wchar_t));
    while (!url.empty() && url.back() == L'\0') {
        url.pop_back();
    }
    return url.empty() ? fallback : sys::utf8FromWide(url);
}

std::optional<std::wstring> header(HINTERNET request, DWORD which) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return std::nullopt;
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    text.resize(size / sizeof(wchar_t));
    return text;
}

std::optional<std::uint64_t> announcedLength(HINTERNET request) {
    const auto text = header(request, WINHTTP_QUERY_CONTENT_LENGTH);
    if (!text) {
        return std::nullopt;
    }
    const std::string digits = sys::utf8FromWide(*text);
    std::uint64_t value = 0;
    const auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc{} || p != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::shared_ptr<HttpClient> makeSystemHttpClient() { return std::make_shared<WinHttpClient>(); }

WinHttpClient::WinHttpClient()
    : m_session(openSession()) {}

WinHttpClient::~WinHttpClient() { closeHandle(static_cast<HINTERNET>(m_session)); }

void WinHttpClient::stop() {
    m_stopped.store(true);
    const std::lock_guard lock(m_activeMutex);
    for (Transfer* t : m_active) {
        {
            const std::lock_guard transferLock(t->mutex);
            t->woken = true;
        }
        t->changed.notify_all();
    }
}

void WinHttpClient::resume() { m_stopped.store(false); }

void WinHttpClient::setLogSink(LogSink sink) { m_log.setSink(std::move(sink)); }

HttpResult WinHttpClient::get(const HttpRequest& request) {
    HttpResult result;
    const auto url = parseUrl(request.url);
    if (!url) {
        result.error = HttpError::InvalidUrl;
        result.message = "cannot form a URL from '" + request.url + "'";
    } else if (m_stopped.load()) {
        result.error = HttpError::Cancelled;
        result.message = "request to " + hostAndPort(request.url) + " stopped";
    } else if (url->scheme != "http" && url->scheme != "https") {
        // Image addresses come from the server: never let them reach local files.
        result.error = HttpError::InvalidUrl;
        result.message = "transfer from " + hostAndPort(request.url) + " failed: Protocol \"" +
                         url->scheme + "\" not supported";
    } else {
        std::shared_ptr<Transfer> transfer;
        try {
            transfer = std::make_shared<Transfer>();
        } catch (const std::bad_alloc&) {
        }
        if (!transfer || !transfer->buffer) {
            result.error = HttpError::Io;
            result.message = "no memory for a request to " + hostAndPort(request.url);
        } else {
            {
                const std::lock_guard lock(m_activeMutex);
                m_active.push_back(transfer.get());
            }
            result = run(request, transfer);
            const std::lock_guard lock(m_activeMutex);
            std::erase(m_active, transfer.get());
        }
    }
    if (result.error != HttpError::None) {
        std::vector<std::uint8_t>().swap(result.body); // the memory too, not only the bytes
    }
    m_log.finished(request, result);
    return result;
}

HttpResult WinHttpClient::run(const HttpRequest& request, const std::shared_ptr<Transfer>& owner) {
    using Event = Transfer::Event;
    Transfer& transfer = *owner;
    HttpResult result;
    const auto url = parseUrl(request.url); // checked by get()
    const std::string where = hostAndPort(request.url);
    const long timeoutMs = static_cast<long>(request.inactivityTimeout.count());
    if (m_session == nullptr) {
        result.error = HttpError::Io;
        result.message = "transfer from " + where + " failed: WinHTTP is not available";
        return result;
    }

    const HINTERNET connection = WinHttpConnect(static_cast<HINTERNET>(m_session),
                                                sys::wideFromUtf8(url->host).c_str(), url->port, 0);
    const std::wstring target = sys::wideFromUtf8(url->target);
    HINTERNET handle = nullptr;
    if (connection != nullptr && !target.empty()) {
        handle = WinHttpOpenRequest(connection, L"GET", target.c_str(), nullptr, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES,
                                    url->scheme == "https" ? WINHTTP_FLAG_SECURE : 0);
    }
    if (handle == nullptr) {
        const DWORD code = GetLastError();
        closeHandle(connection);
        result.error = target.empty() ? HttpError::InvalidUrl : HttpError::Io;
        result.message = target.empty() ? "cannot form a URL from '" + request.url + "'"
                                        : "transfer from " + where + " failed: WinHTTP error " +
                                              std::to_string(code);
        return result;
    }

    // Redirects as libcurl follows them: both ways between http and https, at most ten. No
    // cookies and no credentials of the user's are ever sent. One connection per request, as
    // with libcurl: no idle connection stays open to a server after get() returns.
    DWORD value = WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS;
    WinHttpSetOption(handle, WINHTTP_OPTION_REDIRECT_POLICY, &value, sizeof value);
    value = kMaxRedirects;
    WinHttpSetOption(handle, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &value, sizeof value);
    value = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_KEEP_ALIVE;
    WinHttpSetOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, &value, sizeof value);
    value = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    WinHttpSetOption(handle, WINHTTP_OPTION_AUTOLOGON_POLICY, &value, sizeof value);
    // The loop below times the request; WinHTTP's own limits would cut a slow but live one.
    WinHttpSetTimeouts(handle, 0, 0, 0, 0);

    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&transfer);
    WinHttpSetOption(handle, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
    {
        // WinHTTP's reference, dropped at the handle's closing notification.
        const std::lock_guard lock(transfer.mutex);
        transfer.heldByWinHttp = owner;
    }
    if (WinHttpSetStatusCallback(
            handle, &Transfer::onStatus,
            WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
                WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER | WINHTTP_CALLBACK_FLAG_SEND_REQUEST |
                WINHTTP_CALLBACK_FLAG_RECEIVE_RESPONSE,
            0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        closeHandle(handle);
        closeHandle(connection);
        const std::lock_guard lock(transfer.mutex);
        transfer.heldByWinHttp.reset();
        result.error = HttpError::Io;
        result.message =
            "transfer from " + where + " failed: WinHTTP error " + std::to_string(GetLastError());
        return result;
    }

    RateWindow rate(request.rateWindow, request.minBytesPerSecond, Clock::now());
    std::uint64_t received = 0;
    std::optional<std::uint64_t> announced;
    HttpError error = HttpError::None;
    std::string message;
    bool done = false;
    const auto fail = [&](HttpError e, std::string text) {
        error = e;
        message = std::move(text);
        done = true;
    };
    const auto failWith = [&](std::uint32_t code) {
        const WinHttpFailure f = translateWinHttpError(code);
        const std::string reason =
            f.reason.empty() ? "WinHTTP error " + std::to_string(code) : std::string(f.reason);
        const std::string at = hostAndPort(currentUrl(handle, request.url));
        switch (f.error) {
        case HttpError::Connect:
            return fail(f.error, "connection refused by " + at);
        case HttpError::Resolve:
            return fail(f.error,
                        "host name '" + hostOf(currentUrl(handle, request.url)) + "' not resolved");
        case HttpError::Tls:
            return fail(f.error, "TLS with " + at + " failed: " + reason);
        case HttpError::Timeout:
            return fail(f.error,
                        "no data from " + at + " for " + std::to_string(timeoutMs) + " ms");
        case HttpError::Cancelled:
            return fail(f.error, "request to " + at + " stopped");
        default:
            return fail(f.error, "transfer from " + at + " failed: " + reason);
        }
    };
    const auto readNext = [&] {
        if (!WinHttpReadData(handle, transfer.buffer.get(), static_cast<DWORD>(kReadChunk),
                             nullptr)) {
            failWith(GetLastError());
        }
    };

    std::unique_lock lock(transfer.mutex, std::defer_lock);
    if (!WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                            context)) {
        failWith(GetLastError());
    }
    while (!done) {
        lock.lock();
        transfer.changed.wait_for(lock, kPoll, [&] {
            return transfer.event != Event::None || transfer.woken || m_stopped.load();
        });
        const Event event = std::exchange(transfer.event, Event::None);
        const std::uint32_t bytes = transfer.bytesRead;
        const std::uint32_t failure = transfer.failure;
        const bool connected = transfer.connected;
        const Clock::time_point lastByte = transfer.lastByte;
        lock.unlock();

        if (m_stopped.load()) {
            fail(HttpError::Cancelled,
                 "request to " + hostAndPort(currentUrl(handle, request.url)) + " stopped");
            break;
        }
        switch (event) {
        case Event::None:
            break;
        case Event::Failed:
            failWith(failure);
            break;
        case Event::Sent:
            if (!WinHttpReceiveResponse(handle, nullptr)) {
                failWith(GetLastError());
            }
            break;
        case Event::Headers: {
            DWORD status = 0;
            DWORD size = sizeof status;
            if (WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                    WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                    WINHTTP_NO_HEADER_INDEX)) {
                result.status = static_cast<long>(status);
            }
            if (const auto raw = header(handle, WINHTTP_QUERY_RAW_HEADERS_CRLF)) {
                received += raw->size();
            }
            announced = announcedLength(handle);
            if (announced && *announced > request.maxBodyBytes && !request.truncateBody) {
                fail(HttpError::TooLarge,
                     "answer from " + hostAndPort(currentUrl(handle, request.url)) + " over " +
                         std::to_string(request.maxBodyBytes) + " bytes");
                break;
            }
            readNext();
            break;
        }
        case Event::Read: {
            if (bytes == 0) {
                if (announced && result.body.size() < *announced) {
                    fail(HttpError::Io, "transfer from " +
                                            hostAndPort(currentUrl(handle, request.url)) +
                                            " failed: transfer closed with " +
                                            std::to_string(*announced - result.body.size()) +
                                            " bytes remaining to read");
                    break;
                }
                done = true;
                break;
            }
            received += bytes;
            const std::uint8_t* data = transfer.buffer.get();
            const std::size_t room = request.maxBodyBytes - result.body.size();
            try {
                if (bytes > room) {
                    if (!request.truncateBody) {
                        fail(HttpError::TooLarge,
                             "answer from " + hostAndPort(currentUrl(handle, request.url)) +
                                 " over " + std::to_string(request.maxBodyBytes) + " bytes");
                        break;
                    }
                    result.body.insert(result.body.end(), data, data + room);
                    done = true;
                    break;
                }
                result.body.insert(result.body.end(), data, data + bytes);
            } catch (const std::bad_alloc&) {
                fail(HttpError::TooLarge, "no memory for an answer from " +
                                              hostAndPort(currentUrl(handle, request.url)) +
                                              " of more than " +
                                              std::to_string(result.body.size()) + " bytes");
                break;
            }
            readNext();
            break;
        }
        }
        if (done) {
            break;
        }
        const Clock::time_point now = Clock::now();
        if (now - lastByte > request.inactivityTimeout) {
            const std::string at = hostAndPort(currentUrl(handle, request.url));
            if (!connected && result.status == 0) {
                fail(HttpError::Connect,
                     "no connection to " + at + " within " + std::to_string(timeoutMs) + " ms");
            } else {
                fail(HttpError::Timeout,
                     "no data from " + at + " for " + std::to_string(timeoutMs) + " ms");
            }
        } else if (rate.tooSlow(now, received)) {
            fail(HttpError::Timeout, "fewer than " + std::to_string(request.minBytesPerSecond) +
                                         " bytes per second from " +
                                         hostAndPort(currentUrl(handle, request.url)) + " over " +
                                         std::to_string(request.rateWindow.count()) + " ms");
        }
    }

    closeHandle(handle);
    closeHandle(connection);
    result.error = error;
    result.message = std::move(message);
    return result;
}

} // namespace server
