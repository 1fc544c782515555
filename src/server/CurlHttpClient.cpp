#include "server/CurlHttpClient.hpp"

#include "server/RateWindow.hpp"

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include <curl/curl.h>

namespace server {

const char* toString(HttpError error) {
    switch (error) {
    case HttpError::None:
        return "none";
    case HttpError::InvalidUrl:
        return "invalid URL";
    case HttpError::Connect:
        return "no connection";
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
    CURL* easy = nullptr;
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
        if (t->body->empty()) {
            // Sized once from the announced length (within the cap) instead of growing by
            // doubling. Only address space: pages are touched as bytes arrive.
            curl_off_t announced = -1;
            if (curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) ==
                    CURLE_OK &&
                announced > 0) {
                try {
                    t->body->reserve(std::min(static_cast<std::size_t>(announced), t->maxBytes));
                } catch (const std::bad_alloc&) {
                    // Grown by doubling instead; the bytes themselves may still fit.
                }
            }
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
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return HttpError::Connect;
    case CURLE_OPERATION_TIMEDOUT:
        return HttpError::Timeout;
    default:
        return HttpError::Io;
    }
}

} // namespace

CurlHttpClient::CurlHttpClient() { initialiseCurlOnce(); }

void CurlHttpClient::stop() { m_stopped.store(true); }
void CurlHttpClient::resume() { m_stopped.store(false); }

void CurlHttpClient::setLogSink(LogSink sink) {
    const std::lock_guard lock(m_logMutex);
    m_log = std::move(sink);
}

void CurlHttpClient::log(std::string_view line) const {
    const std::lock_guard lock(m_logMutex);
    if (m_log) {
        m_log(line);
    }
}

HttpResult CurlHttpClient::get(const HttpRequest& request) {
    HttpResult result;
    const auto finish = [&](HttpError error, std::string message) -> HttpResult {
        result.error = error;
        result.message = std::move(message);
        if (error != HttpError::None) {
            std::vector<std::uint8_t>().swap(result.body); // the memory too, not only the bytes
            log("GET " + request.url + " failed: " + toString(error) + " (" + result.message + ")");
        } else {
            log("GET " + request.url + " " + std::to_string(result.status) + " " +
                std::to_string(result.body.size()) + " bytes");
        }
        return std::move(result);
    };

    // Parsed without CURLU_ALLOW_SPACE or a default scheme: a text with a blank or without a
    // scheme is not a URL, and nothing is sent for it.
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, request.url.c_str(), 0) != CURLUE_OK) {
        return finish(HttpError::InvalidUrl, "cannot form a URL from '" + request.url + "'");
    }
    if (m_stopped.load()) {
        return finish(HttpError::Cancelled, "client stopped");
    }

    const std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    const std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        return finish(HttpError::Io, "libcurl could not allocate a handle");
    }
    Transfer transfer;
    transfer.easy = easy.get();
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
    curl_multi_remove_handle(multi.get(), h);

    if (abortedWith == HttpError::Cancelled) {
        return finish(abortedWith, "client stopped");
    }
    if (abortedWith == HttpError::Timeout) {
        if (tooSlow) {
            return finish(abortedWith, "fewer than " + std::to_string(request.minBytesPerSecond) +
                                           " bytes per second over " +
                                           std::to_string(request.rateWindow.count()) + " ms");
        }
        return finish(abortedWith, "no data for " + std::to_string(timeoutMs) + " ms");
    }
    if (transfer.outOfMemory) {
        return finish(HttpError::TooLarge, "no memory for a body of more than " +
                                               std::to_string(result.body.size()) + " bytes");
    }
    if (transfer.truncated) {
        return finish(HttpError::None, {});
    }
    const HttpError error = translate(code, transfer.tooLarge);
    if (error == HttpError::TooLarge) {
        return finish(error, "body over " + std::to_string(request.maxBodyBytes) + " bytes");
    }
    if (error != HttpError::None) {
        return finish(error, curl_easy_strerror(code));
    }
    return finish(HttpError::None, {});
}

} // namespace server
