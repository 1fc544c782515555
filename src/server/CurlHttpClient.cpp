#include "server/CurlHttpClient.hpp"

#include "server/RateWindow.hpp"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <string>

#include <curl/curl.h>

namespace server {

namespace {

// How often a waiting request looks at its clock and the stop flag.
constexpr int kPollMilliseconds = 50;

void initialiseCurlOnce() {
    static const bool initialised = [] {
        return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    }();
    (void)initialised;
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
    void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct UrlDeleter {
    void operator()(CURLU* h) const { curl_url_cleanup(h); }
};

using Clock = std::chrono::steady_clock;

struct Transfer {
    std::vector<std::uint8_t>* body = nullptr;
    std::size_t maxBytes = 0;
    bool truncate = false;
    bool tooLarge = false;
    bool truncated = false;
    bool outOfMemory = false;
    std::uint64_t received = 0; // header and body bytes, for the rate window
    Clock::time_point lastByte = Clock::now();
};

// Called from C: nothing may be thrown through libcurl, so running out of memory ends the
// transfer here and is reported as its own failure.
std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    t->lastByte = Clock::now();
    t->received += n;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    const std::size_t room = t->maxBytes - t->body->size();
    try {
        if (n > room) {
            if (!t->truncate) {
                t->tooLarge = true;
                return 0; // makes curl fail the transfer with a write error
            }
            t->body->insert(t->body->end(), bytes, bytes + room);
            t->truncated = true;
            return 0; // enough: the transfer ends here and counts as a success
        }
        t->body->insert(t->body->end(), bytes, bytes + n);
    } catch (const std::bad_alloc&) {
        t->outOfMemory = true;
        return 0;
    }
    return n;
}

std::size_t onHeader(char*, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    t->lastByte = Clock::now();
    t->received += size * count;
    return size * count;
}

// The one place where libcurl's result codes become our error kinds.
HttpError translate(CURLcode code, bool tooLarge) {
    if (tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        return HttpError::TooLarge;
    }
    switch (code) {
    case CURLE_OK:
        return HttpError::None;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return HttpError::InvalidUrl;
    case CURLE_COULDNT_CONNECT:
        return HttpError::Connect;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return HttpError::Resolve;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_USE_SSL_FAILED:
        return HttpError::Tls;
    case CURLE_OPERATION_TIMEDOUT:
        return HttpError::Timeout;
    default:
        return HttpError::Io;
    }
}

// "host:port" of an address, the scheme's port filled in; the address itself if it will not
// parse.
std::string hostAndPort(const std::string& address) {
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) {
        return address;
    }
    char* host = nullptr;
    char* port = nullptr;
    std::string where = address;
    if (curl_url_get(url.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(url.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        where = std::string(host) + ":" + port;
    }
    curl_free(host);
    curl_free(port);
    return where;
}

std::string hostOf(const std::string& address) {
    const std::string where = hostAndPort(address);
    const auto colon = where.rfind(':');
    return colon == std::string::npos ? where : where.substr(0, colon);
}

// The failure's reason in the user's terms: what failed and with which host.
std::string describeFailure(HttpError error, CURLcode code, long osErrno,
                            const std::string& address, const char* detail, long timeoutMs,
                            std::size_t maxBytes) {
    const std::string where = hostAndPort(address);
    const std::string why = *detail != '\0' ? detail : curl_easy_strerror(code);
    switch (error) {
    case HttpError::Connect:
        if (osErrno == ECONNREFUSED) {
            return "connection refused by " + where;
        }
        if (osErrno == EHOSTUNREACH || osErrno == ENETUNREACH) {
            return "no route to " + where;
        }
        return "no connection to " + where + ": " + why;
    case HttpError::Resolve:
        return "host name '" + hostOf(address) + "' not resolved";
    case HttpError::Tls:
        return "TLS with " + where + " failed: " + why;
    case HttpError::Timeout:
        return "no data from " + where + " for " + std::to_string(timeoutMs) + " ms";
    case HttpError::TooLarge:
        return "answer from " + where + " over " + std::to_string(maxBytes) + " bytes";
    case HttpError::Cancelled:
        return "request to " + where + " stopped";
    default:
        return "transfer from " + where + " failed: " + why;
    }
}

} // namespace

CurlHttpClient::CurlHttpClient() { initialiseCurlOnce(); }

std::shared_ptr<HttpClient> makeSystemHttpClient() { return std::make_shared<CurlHttpClient>(); }

void CurlHttpClient::stop() { m_stopped.store(true); }
void CurlHttpClient::resume() { m_stopped.store(false); }

void CurlHttpClient::setLogSink(LogSink sink) { m_log.setSink(std::move(sink)); }

HttpResult CurlHttpClient::get(const HttpRequest& request) {
    HttpResult result;
    const auto finish = [&](HttpError error, std::string message) -> HttpResult {
        result.error = error;
        result.message = std::move(message);
        if (error != HttpError::None) {
            std::vector<std::uint8_t>().swap(result.body); // the memory too, not only the bytes
        }
        m_log.finished(request, result);
        return std::move(result);
    };

    // Parsed without CURLU_ALLOW_SPACE or a default scheme: a text with a blank or without a
    // scheme is not a URL, and nothing is sent for it.
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, request.url.c_str(), 0) != CURLUE_OK) {
        return finish(HttpError::InvalidUrl, "cannot form a URL from '" + request.url + "'");
    }
    if (m_stopped.load()) {
        return finish(HttpError::Cancelled, "request to " + hostAndPort(request.url) + " stopped");
    }

    const std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    const std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        return finish(HttpError::Io, "libcurl could not allocate a handle");
    }
    Transfer transfer;
    transfer.body = &result.body;
    transfer.maxBytes = request.maxBodyBytes;
    transfer.truncate = request.truncateBody;
    const long timeoutMs = static_cast<long>(request.inactivityTimeout.count());

    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_CURLU, url.get());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    // Image addresses come from the server: never let them reach local files or other schemes.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs > 0 ? timeoutMs : 1L);
    if (!request.truncateBody) {
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(request.maxBodyBytes));
    }
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, detail);
    curl_multi_add_handle(multi.get(), h);

    // The multi loop lets us measure inactivity from the last byte exactly and look at the
    // stop flag every few milliseconds, which libcurl's own time-outs do not offer.
    int running = 1;
    CURLcode code = CURLE_OK;
    HttpError abortedWith = HttpError::None;
    bool tooSlow = false;
    RateWindow rate(request.rateWindow, request.minBytesPerSecond, Clock::now());
    while (running != 0) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            code = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            break;
        }
        if (m_stopped.load()) {
            abortedWith = HttpError::Cancelled;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (now - transfer.lastByte > request.inactivityTimeout) {
            abortedWith = HttpError::Timeout;
            break;
        }
        if (rate.tooSlow(now, transfer.received)) {
            abortedWith = HttpError::Timeout;
            tooSlow = true;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, kPollMilliseconds, nullptr);
    }
    if (running == 0) {
        int pending = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi.get(), &pending)) {
            if (msg->msg == CURLMSG_DONE) {
                code = msg->data.result;
            }
        }
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    result.status = status;
    long osErrno = 0;
    curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &osErrno);
    curl_off_t connectedAfter = 0;
    curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connectedAfter);
    // After a redirect the failing host is the last one asked.
    const char* lastUrl = nullptr;
    curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &lastUrl);
    const std::string address = lastUrl != nullptr ? lastUrl : request.url;
    curl_multi_remove_handle(multi.get(), h);

    if (transfer.truncated && abortedWith == HttpError::None) {
        return finish(HttpError::None, {}); // the probe had all it keeps
    }
    if (transfer.outOfMemory) {
        return finish(HttpError::TooLarge, "no memory for an answer from " + hostAndPort(address) +
                                               " of more than " +
                                               std::to_string(result.body.size()) + " bytes");
    }
    if (tooSlow) {
        return finish(HttpError::Timeout,
                      "fewer than " + std::to_string(request.minBytesPerSecond) +
                          " bytes per second from " + hostAndPort(address) + " over " +
                          std::to_string(request.rateWindow.count()) + " ms");
    }
    const HttpError error =
        abortedWith != HttpError::None ? abortedWith : translate(code, transfer.tooLarge);
    if (error == HttpError::None) {
        return finish(HttpError::None, {});
    }
    if (error == HttpError::Timeout && connectedAfter == 0 && status == 0) {
        // The time ran out before any connection was made.
        return finish(HttpError::Connect, "no connection to " + hostAndPort(address) + " within " +
                                              std::to_string(timeoutMs) + " ms");
    }
    return finish(error, describeFailure(error, code, osErrno, address, detail, timeoutMs,
                                         request.maxBodyBytes));
}

} // namespace server
