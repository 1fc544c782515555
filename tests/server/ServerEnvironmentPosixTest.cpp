// What the environment changes, with the POSIX calls that change it.

#include "server/ServerFixture.hpp"
#include "server/ServerSettings.hpp"
#include "server/WebServer_GetDeviceInfo.hpp"

#include <cstdlib>

#include <gtest/gtest.h>

using server_testing::SimServer;

namespace {

sim::UpdateCatalog catalog() {
    sim::UpdateCatalog c;
    c.models.push_back(server_testing::model("KW", server_testing::plainInfo()));
    return c;
}

TEST(ServerSettings, RunTimeOverridesBeatTheEnvironmentWhichBeatsTheBuiltIn) {
    ::unsetenv("DETECTOR_UPDATER_SERVER");
    ::unsetenv("DETECTOR_UPDATER_PROBE_URL");
    EXPECT_EQ(server::ServerSettings::current().baseAddress,
              server::ServerSettings::builtInBaseAddress());
    ::setenv("DETECTOR_UPDATER_SERVER", "http://env.example:1/", 1);
    ::setenv("DETECTOR_UPDATER_PROBE_URL", "http://probe.example/", 1);
    EXPECT_EQ(server::ServerSettings::current().baseAddress, "http://env.example:1");
    EXPECT_EQ(server::ServerSettings::current().probeUrl, "http://probe.example/");
    server::ServerSettings::overrideBaseAddress("http://cli.example");
    EXPECT_EQ(server::ServerSettings::current().baseAddress, "http://cli.example");
    server::ServerSettings::overrideBaseAddress("");
    ::unsetenv("DETECTOR_UPDATER_SERVER");
    ::unsetenv("DETECTOR_UPDATER_PROBE_URL");
    EXPECT_EQ(server::ServerSettings::current().probeUrl,
              server::ServerSettings::builtInProbeUrl());
}

TEST(WebServer_GetDeviceInfo, ADefaultClientFindsTheServerNamedByTheEnvironment) {
    SimServer s(catalog());
    ::setenv("DETECTOR_UPDATER_SERVER", s.sim().baseAddress().c_str(), 1);
    ConnectedTargetInfo record;
    record.setConnectedDevice_KewordForWebAcess("KW");
    const bool ok = WebServer_GetDeviceInfo().getDeviceInfo(record);
    ::unsetenv("DETECTOR_UPDATER_SERVER");
    EXPECT_TRUE(ok) << record.ErrorMessage();
    EXPECT_EQ(s.sim().requests().size(), 1U);
}

} // namespace
