#include "server/HttpClient.hpp"

namespace server {
namespace {

// WinHTTP is not in this build yet: every request fails, saying so.
class MissingHttpClient final : public HttpClient {
public:
    HttpResult get(const HttpRequest& request) override {
        HttpResult result;
        result.error = HttpError::Io;
        result.message = "this Windows build cannot reach " + request.url + " yet";
        return result;
    }
    void stop() override {}
    void resume() override {}
};

} // namespace

std::shared_ptr<HttpClient> makeSystemHttpClient() { return std::make_shared<MissingHttpClient>(); }

} // namespace server
