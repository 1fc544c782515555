#include "CannedHttpClient.hpp"

namespace fuzzing {

server::HttpResult CannedHttpClient::get(const server::HttpRequest& request) {
    server::HttpResult result;
    const std::string& url = request.url;
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
        result.error = server::HttpError::InvalidUrl;
        return result;
    }
    for (const auto& [part, body] : m_answers) {
        if (url.find(part) != std::string::npos) {
            result.status = 200;
            result.body.assign(body.begin(), body.end());
            return result;
        }
    }
    if (m_echo) {
        const std::string body = "IMG:" + url;
        result.status = 200;
        result.body.assign(body.begin(), body.end());
        return result;
    }
    result.error = server::HttpError::Connect;
    return result;
}

} // namespace fuzzing
