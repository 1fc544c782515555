#pragma once
// An HttpClient that answers from a table, so server clients can be fuzzed without a network.

#include "server/HttpClient.hpp"

#include <map>
#include <string>

namespace fuzzing {

// The first answer whose key is a substring of the URL is given; a URL without one fails as
// a connection that could not be made. Addresses that are not http(s) fail as InvalidUrl, as
// the real client refuses them.
class CannedHttpClient final : public server::HttpClient {
public:
    void answer(std::string urlPart, std::string body) { m_answers[std::move(urlPart)] = body; }
    // Any other http address gets "IMG:" and the URL as its body.
    void echoOtherAddresses(bool echo) { m_echo = echo; }

    server::HttpResult get(const server::HttpRequest& request) override;
    void stop() override {}
    void resume() override {}

private:
    std::map<std::string, std::string> m_answers;
    bool m_echo = false;
};

} // namespace fuzzing
