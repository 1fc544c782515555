#include "database/WebServer_GetDataBase.hpp"
#include "server/WebServer_CheckInternet.hpp"
#include "server/WebServer_GetDeviceInfo.hpp"
#include "server/WebServer_GetFirmware.hpp"
#include "support/TestSupport.hpp"

#include <functional>
#include <new>

#include <gtest/gtest.h>

namespace {

// A client whose every request runs out of memory, as an allocation deep inside one would.
class ExhaustedClient final : public server::HttpClient {
public:
    server::HttpResult get(const server::HttpRequest&) override { throw std::bad_alloc(); }
    void stop() override {}
    void resume() override {}
};

server::ServerAccess exhausted() {
    server::ServerSettings settings;
    settings.baseAddress = "http://127.0.0.1:1";
    settings.probeUrl = "http://127.0.0.1:1/";
    return {std::make_shared<ExhaustedClient>(), settings};
}

struct Case {
    const char* name;
    std::function<bool(ConnectedTargetInfo&)> run;
    std::string error;
};

TEST(OutOfMemory, IsTheFailureOfTheClientThatRanOutWithItsOwnText) {
    const std::vector<Case> cases = {
        {"device information",
         [](ConnectedTargetInfo& r) {
             return WebServer_GetDeviceInfo(exhausted()).getDeviceInfo(r);
         },
         "Error_Code_301/ OutOfMemory / the answer does not fit in memory "},
        {"firmware",
         [](ConnectedTargetInfo& r) { return WebServer_GetFirmware(exhausted()).getFirmware(r); },
         "Error_Code_501/ OutOfMemory / an answer does not fit in memory "},
        {"database",
         [](ConnectedTargetInfo& r) { return WebServer_GetDataBase(exhausted()).getDatabase(r); },
         "Error_Code_401/ OutOfMemory / the database answer does not fit in memory "},
        {"probe",
         [](ConnectedTargetInfo&) {
             return WebServer_CheckInternet(exhausted()).isNetworkAvailable();
         },
         "Not Error"},
    };
    for (const auto& c : cases) {
        ConnectedTargetInfo record;
        record.setConnectedDevice_KewordForWebAcess("KW");
        record.setConnectedDevice_Enable_DATABASE_Firmware(1);
        record.setConnectedDevice_Enable_RD_Firmware(1);
        bool result = true;
        EXPECT_NO_THROW(result = c.run(record)) << c.name;
        EXPECT_FALSE(result) << c.name;
        EXPECT_EQ(record.ErrorMessage(), c.error) << c.name;
    }
}

} // namespace
