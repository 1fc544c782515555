#pragma once
// The common request of every update-server client: address forming, time-outs, size caps.

#include "server/HttpClient.hpp"
#include "server/ServerSettings.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace server {

class ServerAccess {
public:
    // The process-wide client with the settings in force now (built-in, environment, overrides).
    ServerAccess();
    ServerAccess(std::shared_ptr<HttpClient> client, ServerSettings settings);

    // The client every default-constructed ServerAccess shares. Front ends attach their log to
    // it, and stop it when the application quits so that requests in flight end at once.
    static std::shared_ptr<HttpClient> processClient();

    // True when every character is URL-unreserved (letters, digits, "-._~") and the text is not
    // "." or "..", which would name another path; the empty text is.
    static bool isUrlSafeArgument(std::string_view text);

    // The base address followed by `pathFormat` with its "%@" replaced by `argument`; nullopt
    // when the argument holds a character outside the URL-unreserved set, so the caller sends
    // nothing.
    [[nodiscard]] std::optional<std::string> formUrl(std::string_view pathFormat,
                                                     std::string_view argument) const;

    // One GET of a server path (answer cap, request time-out). A URL that cannot be formed is
    // reported as InvalidUrl without any traffic.
    [[nodiscard]] HttpResult request(std::string_view pathFormat, std::string_view argument) const;
    // One GET of a complete address the server gave (image cap, request time-out).
    [[nodiscard]] HttpResult fetchImage(const std::string& url) const;
    // One GET of the probe address (probe time-out), keeping at most maxProbeBytes of the body.
    [[nodiscard]] HttpResult probe() const;

    [[nodiscard]] const ServerSettings& settings() const { return m_settings; }
    // The client the requests go through, so its owner can stop requests in flight.
    [[nodiscard]] const std::shared_ptr<HttpClient>& client() const { return m_client; }

private:
    std::shared_ptr<HttpClient> m_client;
    ServerSettings m_settings;
};

} // namespace server
