#include "server/WebServer_GetFirmware.hpp"

#include "server/ServerFixture.hpp"
#include "server/WebServer_CheckVersion.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using server_testing::SimServer;
using testing::ElementsAre;

namespace {

constexpr const char* kListPath = "/qvt_products_firmware/info/KW";

struct Flags {
    bool rd, gps, audio, image;
};

// A server whose address list for KW is `list` (already decoded), images served under /img/.
struct FirmwareFetch {
    SimServer server{catalog()};
    ConnectedTargetInfo record;

    static sim::UpdateCatalog catalog() {
        sim::UpdateCatalog c;
        auto m = server_testing::model("KW", server_testing::plainInfo());
        m.firmware = {"rd.bin", "gps.bin", "audio.bin", "image.bin"};
        m.images["rd.bin"] = {'R', 'D'};
        m.images["gps.bin"] = {'G', 'P', 'S'};
        m.images["audio.bin"] = {'A'};
        m.images["image.bin"] = {'I'};
        c.models.push_back(m);
        return c;
    }

    FirmwareFetch(Flags flags) {
        record.setConnectedDevice_KewordForWebAcess("KW");
        record.setConnectedDevice_Enable_RD_Firmware(flags.rd ? 1 : 0);
        record.setConnectedDevice_Enable_GPS_Firmware(flags.gps ? 1 : 0);
        record.setConnectedDevice_Enable_AUDIO_Firmware(flags.audio ? 1 : 0);
        record.setConnectedDevice_Enable_IMAGE_Firmware(flags.image ? 1 : 0);
    }

    std::string url(const std::string& file) const {
        return server.access().settings().baseAddress + "/firmware/KW/" + file;
    }
    void setList(const std::string& decoded) {
        server.sim().setAnswer(kListPath, sim::UpdateServerSim::base64Encode(decoded));
    }
    bool run() { return WebServer_GetFirmware(server.access()).getFirmware(record); }
};

std::string text(const SharedBytes& bytes) {
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<absent>");
}

TEST(WebServer_GetFirmware, FetchesEveryEnabledImageInOrder) {
    FirmwareFetch f({true, true, true, true});
    ASSERT_TRUE(f.run()) << f.record.ErrorMessage();
    EXPECT_EQ(text(f.record.Download_Firmware_RD()), "RD");
    EXPECT_EQ(text(f.record.Download_Firmware_GPS()), "GPS");
    EXPECT_EQ(text(f.record.Download_Firmware_AUDIO()), "A");
    EXPECT_EQ(text(f.record.Download_Firmware_IMAGE()), "I");
    EXPECT_EQ(f.record.Download_Firmware_RD_wAdd(), f.url("rd.bin"));
    EXPECT_EQ(f.record.Download_Firmware_IMAGE_wAdd(), f.url("image.bin"));
    EXPECT_THAT(f.server.sim().requests(),
                ElementsAre(kListPath, "/firmware/KW/rd.bin", "/firmware/KW/gps.bin",
                            "/firmware/KW/audio.bin", "/firmware/KW/image.bin"));
}

TEST(WebServer_GetFirmware, AllFlagsOffRequestsOnlyTheListAndSucceedsEvenWhenItIsEmpty) {
    FirmwareFetch f({false, false, false, false});
    f.server.sim().addFault(sim::ServerFault::EmptyBody);
    f.record.setDownload_Firmware_GPS(std::make_shared<const Bytes>(Bytes{9}));
    EXPECT_TRUE(f.run());
    EXPECT_THAT(f.server.sim().requests(), ElementsAre(kListPath));
    EXPECT_EQ(text(f.record.Download_Firmware_GPS()), "\x09");
    EXPECT_EQ(f.record.Download_Firmware_RD(), nullptr);
}

TEST(WebServer_GetFirmware, OnlyAudioWithTwoFieldsFailsWithNothingStored) {
    FirmwareFetch f({false, false, true, false});
    f.setList(f.url("rd.bin") + "$" + f.url("gps.bin"));
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.record.ErrorMessage(),
              "Error_Code_501/ MissingField / field 2 of 2-field answer (audio image address) ");
    EXPECT_EQ(f.record.Download_Firmware_AUDIO(), nullptr);
    EXPECT_EQ(f.record.Download_Firmware_AUDIO_wAdd(), "");
    EXPECT_THAT(f.server.sim().requests(), ElementsAre(kListPath));
}

TEST(WebServer_GetFirmware, OnlyRdWithAOneFieldList) {
    FirmwareFetch f({true, false, false, false});
    f.setList(f.url("rd.bin"));
    EXPECT_TRUE(f.run());
    EXPECT_EQ(text(f.record.Download_Firmware_RD()), "RD");
}

TEST(WebServer_GetFirmware, AnEmptySecondFieldLeavesTheGpsImageAbsent) {
    FirmwareFetch f({true, true, false, false});
    f.setList(f.url("rd.bin") + "$$" + f.url("audio.bin"));
    EXPECT_TRUE(f.run());
    EXPECT_EQ(text(f.record.Download_Firmware_RD()), "RD");
    EXPECT_EQ(f.record.Download_Firmware_GPS(), nullptr);
    EXPECT_EQ(f.record.Download_Firmware_GPS_wAdd(), "");
    EXPECT_FALSE(WebServer_CheckVersion::CheckUpdateVersion(f.record));
    EXPECT_EQ(f.record.ConnectedDevice_Version_GPS_Update(), "UNKNOWN");
}

TEST(WebServer_GetFirmware, NoUsableListGivesAnEmptyRdAddressAndFailsAtGps) {
    FirmwareFetch f({true, true, false, false});
    f.server.sim().addFault(sim::ServerFault::BadBase64, kListPath);
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.record.Download_Firmware_RD_wAdd(), "");
    EXPECT_EQ(f.record.Download_Firmware_RD(), nullptr);
    EXPECT_EQ(f.record.ErrorMessage(),
              "Error_Code_501/ MissingField / field 1 of 1-field answer (GPS firmware address) ");
}

TEST(WebServer_GetFirmware, AnHtml404PageBecomesTheImage) {
    FirmwareFetch f({true, true, false, false});
    f.server.sim().addFault(sim::ServerFault::NotFoundHtml, "/firmware/KW/gps");
    EXPECT_TRUE(f.run());
    EXPECT_THAT(text(f.record.Download_Firmware_GPS()), testing::HasSubstr("404 Not Found"));
    EXPECT_EQ(
        WebServer_CheckVersion::getUpdateVersion(*f.record.Download_Firmware_GPS(), 0x08000000),
        "UNKNOWN");
}

TEST(WebServer_GetFirmware, AStalledImageIsAbsentButTheFetchSucceeds) {
    FirmwareFetch f({true, false, false, false});
    f.server.settings().requestTimeout = std::chrono::milliseconds(300);
    f.server.sim().addFault(sim::ServerFault::Stall, "/firmware/");
    f.server.sim().setStallTime(std::chrono::seconds(20));
    EXPECT_TRUE(f.run());
    EXPECT_EQ(f.record.Download_Firmware_RD(), nullptr);
    EXPECT_EQ(f.record.Download_Firmware_RD_wAdd(), f.url("rd.bin"));
}

TEST(WebServer_GetFirmware, AnImageOverTheCapIsAbsent) {
    FirmwareFetch f({true, false, false, false});
    f.server.settings().maxImageBytes = 1;
    EXPECT_TRUE(f.run());
    EXPECT_EQ(f.record.Download_Firmware_RD(), nullptr);
}

TEST(WebServer_GetFirmware, AnAddressThatIsNotAUrlIsAbsent) {
    FirmwareFetch f({true, false, false, false});
    f.setList("not a url");
    EXPECT_TRUE(f.run());
    EXPECT_EQ(f.record.Download_Firmware_RD_wAdd(), "not a url");
    EXPECT_EQ(f.record.Download_Firmware_RD(), nullptr);
    EXPECT_THAT(f.server.sim().requests(), ElementsAre(kListPath));
}

} // namespace
