#include "server/WebServer_CheckVersion.hpp"

#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

namespace {

const std::string kMarker(WebServer_CheckVersion::kBlockMarker);

// An image of `size` bytes of 0xFF with `block` at `offset`.
Bytes imageWith(std::size_t size, std::size_t offset, const std::string& block) {
    Bytes image(size, 0xFF);
    std::copy(block.begin(), block.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
    return image;
}

struct VersionCase {
    std::string name;
    std::string content; // after the marker and "$:"
    std::string expected;
};

class UpdateVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(UpdateVersion, CutsTheTenDigitVersion) {
    const Bytes image = imageWith(0x3000, 0x2F00, kMarker + "$:" + GetParam().content);
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(image, 0x08002000), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, UpdateVersion,
    testing::Values(VersionCase{"Gps", "4810GX1512011200", "1512011200"},
                    VersionCase{"Rd", "4810RD1601151030", "1601151030"},
                    VersionCase{"NineDigits", "4810GX151201120", "UNKNOWN"},
                    VersionCase{"ElevenDigits", "4810GX15120112001", "UNKNOWN"},
                    VersionCase{"LowerCaseTag", "4810gx1512011200", "1512011200"},
                    VersionCase{"LastRunCounts", "1234567890GX12345", "UNKNOWN"},
                    VersionCase{"TextAfterDigits", "4810GX1512011200abc", "1512011200"},
                    VersionCase{"ThirdPieceEndsAtColon", "4810GX1512011200:999", "1512011200"},
                    VersionCase{"NoDigits", "4810GX", "UNKNOWN"}),
    [](const auto& info) { return info.param.name; });

TEST(WebServer_CheckVersion, OnlyDigitsWithinTheSixtyBytesCount) {
    // 40 + 2 + 8 = 50 bytes before the digits; 10 digits end exactly at byte 60.
    const std::string block = kMarker + "$:" + "4810GX00" + "1512011200" + "99";
    const Bytes image = imageWith(200, 16, block);
    // "001512011200" reaches the 60th byte: a twelve-digit run of which ten lie inside.
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(image, 0x08000000), "UNKNOWN");
    const std::string exact = kMarker + "$:" + "4810GX" + "AB" + "1512011200" + "99";
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(imageWith(200, 16, exact), 0x08000000),
              "1512011200");
}

TEST(WebServer_CheckVersion, StopsAtAZeroByte) {
    Bytes image = imageWith(200, 0, kMarker + "$:4810GX1512011200");
    image[42 + 14] = 0; // cuts the last two digits
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(image, 0x08000000), "UNKNOWN");
}

TEST(WebServer_CheckVersion, SearchesFromTheStartOffsetOnly) {
    const Bytes image = imageWith(0x200, 0x10, kMarker + "$:4810GX1512011200");
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(image, 0x08000010), "1512011200");
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(image, 0x08000011), "UNKNOWN");
    // Below the image base the offset wraps beyond any image.
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(image, 0x00008C00), "UNKNOWN");
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion({}, 0x08000000), "UNKNOWN");
}

TEST(WebServer_CheckVersion, AMarkerCutByTheImageEndIsNotFound) {
    const std::string block = kMarker.substr(0, 22);
    const Bytes image = imageWith(100, 100 - block.size(), block);
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(image, 0x08000000), "UNKNOWN");
}

TEST(WebServer_CheckVersion, ComparesOnlyTheFirst23MarkerCharacters) {
    const std::string block = kMarker.substr(0, 23) + "XXXXXXXXXXXXXXXXX$:4810GX1512011200";
    EXPECT_EQ(WebServer_CheckVersion::getUpdateVersion(imageWith(200, 3, block), 0x08000000),
              "1512011200");
}

// A record with downloaded images carrying the given versions.
std::shared_ptr<ConnectedTargetInfo> recordWithImages(const std::string& gps,
                                                      const std::string& rd) {
    auto record = std::make_shared<ConnectedTargetInfo>();
    record->setInfo_GPS_App_StartAddress(0x08004000);
    record->setInfo_RD_App_StartAddress(0x08003000);
    if (!gps.empty()) {
        record->setDownload_Firmware_GPS(
            std::make_shared<const Bytes>(imageWith(0x8000, 0x4100, kMarker + "$:4810GX" + gps)));
    }
    if (!rd.empty()) {
        record->setDownload_Firmware_RD(
            std::make_shared<const Bytes>(imageWith(0x8000, 0x3100, kMarker + "$:4810RD" + rd)));
    }
    return record;
}

TEST(WebServer_CheckVersion, CheckUpdateVersionReadsBothImages) {
    auto r = recordWithImages("1512011200", "1601151030");
    EXPECT_TRUE(WebServer_CheckVersion::CheckUpdateVersion(*r));
    EXPECT_EQ(r->ConnectedDevice_Version_GPS_Update(), "1512011200");
    EXPECT_EQ(r->ConnectedDevice_Version_RD_Update(), "1601151030");
    EXPECT_EQ(r->ErrorMessage(), "Not Error");
}

TEST(WebServer_CheckVersion, NoGpsImageFailsBeforeTheRdImage) {
    auto r = recordWithImages("", "1601151030");
    r->setConnectedDevice_Version_RD_Update("before");
    EXPECT_FALSE(WebServer_CheckVersion::CheckUpdateVersion(*r));
    EXPECT_EQ(r->ConnectedDevice_Version_GPS_Update(), "UNKNOWN");
    EXPECT_EQ(r->ConnectedDevice_Version_RD_Update(), "before");
    EXPECT_EQ(r->ErrorMessage(), "Not Error");
}

TEST(WebServer_CheckVersion, ANineDigitRdVersionFails) {
    auto r = recordWithImages("1512011200", "160115103");
    EXPECT_FALSE(WebServer_CheckVersion::CheckUpdateVersion(*r));
    EXPECT_EQ(r->ConnectedDevice_Version_RD_Update(), "UNKNOWN");
}

// The text shown instead of "Not Error": the first image without a version and why.
struct NoVersionCase {
    const char* name;
    std::string gps; // version digits in the GPS image; empty: no GPS image
    std::string rd;
    server::HttpResult gpsFetch;
    std::string text;
};

class NoVersionText : public testing::TestWithParam<NoVersionCase> {};

TEST_P(NoVersionText, NamesTheImageAndTheCause) {
    const auto& c = GetParam();
    auto r = recordWithImages(c.gps, c.rd);
    r->setDownload_Firmware_GPS_wAdd("http://h/gps.bin");
    r->setDownload_Firmware_RD_wAdd("http://h/rd.bin");
    ASSERT_FALSE(WebServer_CheckVersion::CheckUpdateVersion(*r));
    EXPECT_EQ(WebServer_CheckVersion::noVersionText(*r, c.gpsFetch, {}), c.text);
}

server::HttpResult refused() {
    server::HttpResult r;
    r.error = server::HttpError::Connect;
    r.message = "connection refused by h:80";
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Images, NoVersionText,
    testing::Values(
        NoVersionCase{"GpsWithoutBlock",
                      "15120112",
                      "1601151030",
                      {},
                      "Error_Code_501/ NoVersion / GPS image (32768 bytes from http://h/gps.bin) "
                      "holds no version block "},
        NoVersionCase{"RdWithoutBlock",
                      "1512011200",
                      "160115",
                      {},
                      "Error_Code_501/ NoVersion / RD image (32768 bytes from http://h/rd.bin) "
                      "holds no version block "},
        NoVersionCase{"GpsNotOffered",
                      "",
                      "1601151030",
                      {},
                      "Error_Code_501/ NoVersion / no GPS image was downloaded (none offered) "},
        NoVersionCase{"GpsFetchFailed", "", "1601151030", refused(),
                      "Error_Code_501/ NoConnection / GPS image: connection refused by h:80 "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebServer_CheckVersion, BuildsTheDetailsAndVerifyBlocks) {
    ConnectedTargetInfo r;
    r.setConnectedDevice_Name_forVerify("4810");
    r.setInfo_strDate("120516");
    r.setConnectedDevice_Version_GPS_Update("1512011200");
    r.setConnectedDevice_Version_RD_Update("1601151030");
    r.setConnectedDevice_Version_GPS_Current("UNKNOWN");
    r.setConnectedDevice_Version_RD_Current("1601151030");
    EXPECT_TRUE(WebServer_CheckVersion::SetUpdateOption(r));
    EXPECT_EQ(r.ConnectedDevice_Version_GPS_Update_detail(), "4810GX1205161200");
    EXPECT_EQ(r.ConnectedDevice_Version_RD_Update_detail(), "4810RD1601151030");
    EXPECT_EQ(r.VerifyBlock_GPS_UpdateData(),
              "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~$:4810GX1205161200");
    EXPECT_EQ(r.VerifyBlock_RD_UpdateData(),
              "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~$:4810RD1601151030");
    EXPECT_EQ(r.ConnectedDevice_Enable_GPS_Firmware(), 1);
    EXPECT_EQ(r.ConnectedDevice_Enable_RD_Firmware(), 0);
}

struct OptionCase {
    std::string name;
    std::string gpsCurrent, rdCurrent;
    std::uint8_t gpsFlag, rdFlag;
    std::string gpsCurrentAfter;
};

class UpdateOption : public testing::TestWithParam<OptionCase> {};

TEST_P(UpdateOption, DecidesWhichFirmwareIsWritten) {
    const auto& c = GetParam();
    ConnectedTargetInfo r;
    r.setConnectedDevice_Version_GPS_Update("1512011200");
    r.setConnectedDevice_Version_RD_Update("1601151030");
    r.setConnectedDevice_Version_GPS_Current(c.gpsCurrent);
    r.setConnectedDevice_Version_RD_Current(c.rdCurrent);
    r.setConnectedDevice_Enable_GPS_Firmware(7);
    r.setConnectedDevice_Enable_RD_Firmware(7);
    WebServer_CheckVersion::SetUpdateOption(r);
    EXPECT_EQ(r.ConnectedDevice_Enable_GPS_Firmware(), c.gpsFlag);
    EXPECT_EQ(r.ConnectedDevice_Enable_RD_Firmware(), c.rdFlag);
    EXPECT_EQ(r.ConnectedDevice_Version_GPS_Current(), c.gpsCurrentAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, UpdateOption,
    testing::Values(
        OptionCase{"Equal", "1512011200", "1601151030", 0, 0, "1512011200"},
        OptionCase{"GpsDiffersInFirstSixOnly", "9999991200", "1601151030", 0, 0, "9999991200"},
        OptionCase{"GpsDiffersInLastFour", "1512011201", "1601151030", 1, 0, "1512011201"},
        OptionCase{"RdDiffers", "1512011200", "1601151031", 0, 1, "1512011200"},
        OptionCase{"Unknown", "UNKNOWN", "UNKNOWN", 1, 1, "UNKNOWN"},
        OptionCase{"GpsTooShort", "12345", "1601151030", 1, 0, "UNKNOWN"},
        OptionCase{"GpsEmpty", "", "1601151030", 1, 0, "UNKNOWN"}),
    [](const auto& info) { return info.param.name; });

} // namespace
