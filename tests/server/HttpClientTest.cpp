#include "server/HttpClient.hpp"

#include "server/ServerAccess.hpp"
#include "server/ServerFixture.hpp"
#include "server/WebServer_CheckInternet.hpp"

#include <new>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// The replacements below pair malloc with free; GCC at -O3 sees operator new inlined into
// gmock's code next to an inlined free and takes them for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// The largest block that operator new handed out on a watching thread: the client's body must
// grow with the bytes that arrived, whatever length the server announces.
namespace {
thread_local bool t_watching = false;
thread_local std::size_t t_largest = 0;

void* allocate(std::size_t n) {
    if (t_watching && n > t_largest) {
        t_largest = n;
    }
    return std::malloc(n == 0 ? 1 : n);
}
} // namespace

// Every form, so that a sanitizer never sees a block freed by a form other than its own.
void* operator new(std::size_t n) {
    if (void* p = allocate(n)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

using server::HttpError;
using server_testing::SimServer;
using testing::ElementsAre;

namespace {

sim::UpdateCatalog catalogWithImage(std::vector<std::uint8_t> image) {
    sim::UpdateCatalog c;
    auto m = server_testing::model("KW", server_testing::plainInfo());
    m.firmware[0] = "rd.bin";
    m.images["rd.bin"] = std::move(image);
    c.models.push_back(m);
    return c;
}

std::string text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(SystemHttpClient, TakesTheBodyOfAnErrorPage) {
    SimServer s(catalogWithImage({1, 2, 3}));
    const auto r = s.client().get({s.sim().baseAddress() + "/nowhere"});
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.status, 404);
    EXPECT_THAT(text(r.body), testing::HasSubstr("<html>"));
}

TEST(SystemHttpClient, ReturnsBinaryBodiesUnchanged) {
    std::vector<std::uint8_t> image(70000);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7);
    }
    SimServer s(catalogWithImage(image));
    const auto r = s.client().get({s.sim().baseAddress() + "/firmware/KW/rd.bin"});
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body == image);
}

TEST(SystemHttpClient, FollowsARedirect) {
    SimServer s(catalogWithImage({'a', 'b'}));
    s.sim().addFault(sim::ServerFault::Redirect, "/firmware/");
    const auto r = s.client().get({s.sim().baseAddress() + "/firmware/KW/rd.bin"});
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(text(r.body), "ab");
    EXPECT_THAT(s.sim().requests(),
                ElementsAre("/firmware/KW/rd.bin", "/firmware/KW/rd.bin?hop=1"));
}

TEST(SystemHttpClient, GivesUpAfterTheInactivityTimeOut) {
    SimServer s(catalogWithImage({1}));
    s.sim().addFault(sim::ServerFault::Stall);
    s.sim().setStallTime(std::chrono::seconds(20));
    const auto r = s.client().get(
        {s.sim().baseAddress() + "/firmware/KW/rd.bin", std::chrono::milliseconds(300)});
    EXPECT_EQ(r.error, HttpError::Timeout);
    EXPECT_TRUE(r.body.empty());
}

TEST(SystemHttpClient, StopAbortsARequestInFlight) {
    SimServer s(catalogWithImage({1}));
    s.sim().addFault(sim::ServerFault::Stall);
    s.sim().setStallTime(std::chrono::seconds(20));
    std::chrono::steady_clock::time_point stoppedAt;
    std::thread stopper([&] {
        // Stop only once the request has reached the server.
        while (s.sim().requests().empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stoppedAt = std::chrono::steady_clock::now();
        s.client().stop();
    });
    const auto r = s.client().get({s.sim().baseAddress() + "/firmware/KW/rd.bin"});
    const auto returnedAt = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_EQ(r.error, HttpError::Cancelled);
    EXPECT_EQ(r.message, "request to 127.0.0.1:" + std::to_string(s.sim().port()) + " stopped");
    // Within the client's polling period, with room for a loaded machine.
    EXPECT_LT(returnedAt - stoppedAt, std::chrono::milliseconds(250));
    // Stopped stays stopped until resumed.
    EXPECT_EQ(s.client().get({s.sim().baseAddress() + "/x"}).error, HttpError::Cancelled);
    s.client().resume();
    s.sim().clearFaults();
    EXPECT_TRUE(s.client().get({s.sim().baseAddress() + "/x"}).ok());
}

// Requests on several threads share one client: one stop() ends them all.
TEST(SystemHttpClient, StopEndsEveryRequestInFlight) {
    SimServer s(catalogWithImage({1}));
    s.sim().addFault(sim::ServerFault::Stall);
    s.sim().setStallTime(std::chrono::seconds(20));
    std::vector<server::HttpResult> results(3);
    std::vector<std::thread> threads;
    for (auto& r : results) {
        threads.emplace_back(
            [&s, &r] { r = s.client().get({s.sim().baseAddress() + "/firmware/KW/rd.bin"}); });
    }
    while (s.sim().requests().size() < results.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    s.client().stop();
    for (auto& t : threads) {
        t.join();
    }
    for (const auto& r : results) {
        EXPECT_EQ(r.error, HttpError::Cancelled) << r.message;
    }
}

TEST(SystemHttpClient, FailsABodyOverTheCap) {
    SimServer s(catalogWithImage(std::vector<std::uint8_t>(5000, 0xAB)));
    server::HttpRequest request{s.sim().baseAddress() + "/firmware/KW/rd.bin"};
    request.maxBodyBytes = 4999;
    const auto r = s.client().get(request);
    EXPECT_EQ(r.error, HttpError::TooLarge);
    EXPECT_TRUE(r.body.empty());
    request.maxBodyBytes = 5000;
    EXPECT_TRUE(s.client().get(request).ok());
    // Cut instead of failed: the first bytes are kept.
    request.maxBodyBytes = 100;
    request.truncateBody = true;
    const auto cut = s.client().get(request);
    ASSERT_TRUE(cut.ok()) << cut.message;
    EXPECT_TRUE(cut.body == std::vector<std::uint8_t>(100, 0xAB));
}

TEST(SystemHttpClient, TakesMemoryForWhatArrivedNotForWhatWasAnnounced) {
    SimServer s(catalogWithImage({1}));
    s.sim().addFault(sim::ServerFault::CutShort);
    t_largest = 0;
    t_watching = true;
    const auto r = s.client().get({s.sim().baseAddress() + "/firmware/KW/rd.bin"});
    t_watching = false;
    EXPECT_EQ(r.error, HttpError::Io) << r.message;
    EXPECT_EQ(r.message, "transfer from 127.0.0.1:" + std::to_string(s.sim().port()) +
                             " failed: transfer closed with 134213632 bytes remaining to read");
    EXPECT_LT(t_largest, std::size_t{1} << 20);
}

TEST(SystemHttpClient, FailsATransferSlowerThanTheFloorOverTheWindow) {
    SimServer s(catalogWithImage({1}));
    s.sim().addFault(sim::ServerFault::Stall);
    s.sim().setStallTime(std::chrono::seconds(20));
    server::HttpRequest request{s.sim().baseAddress() + "/firmware/KW/rd.bin",
                                std::chrono::seconds(10)};
    request.rateWindow = std::chrono::milliseconds(200);
    const auto r = s.client().get(request);
    EXPECT_EQ(r.error, HttpError::Timeout);
    EXPECT_EQ(r.message, "fewer than 100 bytes per second from 127.0.0.1:" +
                             std::to_string(s.sim().port()) + " over 200 ms")
        << "the window, not the inactivity time-out, ended it";
}

TEST(ServerAccess, TheProbeKeepsAtMost64KiB) {
    SimServer s(catalogWithImage(std::vector<std::uint8_t>(200000, 7)));
    s.settings().probeUrl = s.sim().baseAddress() + "/firmware/KW/rd.bin";
    const auto r = s.access().probe();
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.body.size(), 65536U);
}

TEST(SystemHttpClient, SendsNothingForATextThatIsNotAUrl) {
    SimServer s(catalogWithImage({1}));
    for (const std::string& url :
         {s.sim().baseAddress() + "/a b", std::string(""), std::string("no scheme here")}) {
        EXPECT_EQ(s.client().get({url}).error, HttpError::InvalidUrl) << url;
    }
    EXPECT_TRUE(s.sim().requests().empty());
}

TEST(SystemHttpClient, RefusesSchemesOtherThanHttp) {
    const auto r = server::makeSystemHttpClient()->get({"file:///etc/passwd"});
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.body.empty());
}

TEST(SystemHttpClient, LogsOneLinePerRequest) {
    SimServer s(catalogWithImage({1, 2, 3}));
    std::vector<std::string> lines;
    s.client().setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    (void)s.client().get({s.sim().baseAddress() + "/firmware/KW/rd.bin"});
    (void)s.client().get({s.sim().baseAddress() + "/missing"});
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0], "GET " + s.sim().baseAddress() + "/firmware/KW/rd.bin 200 3 bytes");
    EXPECT_THAT(lines[1], testing::StartsWith("GET " + s.sim().baseAddress() + "/missing 404 "));
}

// A loopback port nobody listens on: bind one, note it, close it.
int closedPort() {
    sim::UpdateServerSim probe{sim::UpdateCatalog{}};
    EXPECT_TRUE(probe.start("127.0.0.1", 0));
    const int port = probe.port();
    probe.stop();
    return port;
}

TEST(WebServer_CheckInternet, AnyAnswerMeansTheNetworkIsThere) {
    SimServer s(sim::UpdateCatalog{});
    // The probe address answers 404 here: still an answer.
    EXPECT_TRUE(WebServer_CheckInternet(s.access()).isNetworkAvailable());
    s.sim().addFault(sim::ServerFault::EmptyBody);
    EXPECT_TRUE(WebServer_CheckInternet(s.access()).isNetworkAvailable());
}

TEST(WebServer_CheckInternet, FailsWithoutANetwork) {
    server::ServerSettings settings;
    settings.probeUrl = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    settings.probeTimeout = std::chrono::milliseconds(2000);
    const WebServer_CheckInternet probe({server::makeSystemHttpClient(), settings});
    EXPECT_FALSE(probe.isNetworkAvailable());
}

TEST(WebServer_CheckInternet, FailsWhenTheProbeStalls) {
    SimServer s(sim::UpdateCatalog{}, std::chrono::milliseconds(300));
    s.sim().addFault(sim::ServerFault::Stall);
    s.sim().setStallTime(std::chrono::seconds(20));
    EXPECT_FALSE(WebServer_CheckInternet(s.access()).isNetworkAvailable());
}

struct UrlCase {
    std::string argument;
    bool formed;
};

class ServerAccessUrl : public testing::TestWithParam<UrlCase> {};

TEST_P(ServerAccessUrl, FormsUrlsOnlyFromUnreservedCharacters) {
    server::ServerSettings settings;
    settings.baseAddress = "http://h";
    const server::ServerAccess access(server::makeSystemHttpClient(), settings);
    const auto url = access.formUrl("/qvt_products/info/%@", GetParam().argument);
    ASSERT_EQ(url.has_value(), GetParam().formed);
    if (url) {
        EXPECT_EQ(*url, "http://h/qvt_products/info/" + GetParam().argument);
    }
}

INSTANTIATE_TEST_SUITE_P(Keywords, ServerAccessUrl,
                         testing::Values(UrlCase{"RV4810RVE", true}, UrlCase{"4810RV_AF", true},
                                         UrlCase{"QVT-KA7", true}, UrlCase{"a.b~c", true},
                                         UrlCase{"", true}, UrlCase{"4810 RV", false},
                                         UrlCase{"a/b", false}, UrlCase{"a?b", false},
                                         UrlCase{"a%20b", false}, UrlCase{"\xD0\x96", false},
                                         UrlCase{"a#b", false}, UrlCase{".", false},
                                         UrlCase{"..", false}, UrlCase{"...", true},
                                         UrlCase{".a", true}));

} // namespace
