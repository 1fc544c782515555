#include "server/ServerAccess.hpp"

namespace server {

namespace {

HttpResult notFormed(std::string_view what) {
    HttpResult r;
    r.error = HttpError::InvalidUrl;
    r.message = "cannot form a URL with '" + std::string(what) + "'";
    return r;
}

} // namespace

ServerAccess::ServerAccess()
    : ServerAccess(processClient(), ServerSettings::current()) {}

ServerAccess::ServerAccess(std::shared_ptr<HttpClient> client, ServerSettings settings)
    : m_client(std::move(client))
    , m_settings(std::move(settings)) {}

std::shared_ptr<HttpClient> ServerAccess::processClient() {
    static const auto client = makeSystemHttpClient();
    return client;
}

bool ServerAccess::isUrlSafeArgument(std::string_view text) {
    if (text == "." || text == "..") {
        return false;
    }
    for (const char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (!unreserved) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> ServerAccess::formUrl(std::string_view pathFormat,
                                                 std::string_view argument) const {
    if (!isUrlSafeArgument(argument)) {
        return std::nullopt;
    }
    std::string url = m_settings.baseAddress;
    const auto slot = pathFormat.find("%@");
    if (slot == std::string_view::npos) {
        url += pathFormat;
    } else {
        url += pathFormat.substr(0, slot);
        url += argument;
        url += pathFormat.substr(slot + 2);
    }
    return url;
}

HttpResult ServerAccess::request(std::string_view pathFormat, std::string_view argument) const {
    const auto url = formUrl(pathFormat, argument);
    if (!url) {
        return notFormed(argument);
    }
    return m_client->get({*url, m_settings.requestTimeout, m_settings.maxAnswerBytes});
}

HttpResult ServerAccess::fetchImage(const std::string& url) const {
    return m_client->get({url, m_settings.requestTimeout, m_settings.maxImageBytes});
}

HttpResult ServerAccess::probe() const {
    HttpRequest request{m_settings.probeUrl, m_settings.probeTimeout, m_settings.maxProbeBytes};
    request.truncateBody = true;
    return m_client->get(request);
}

} // namespace server
