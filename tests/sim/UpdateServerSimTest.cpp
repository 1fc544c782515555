#include "database/WebServer_GetDataBase.hpp"
#include "server/ServerFixture.hpp"
#include "server/WebServer_CheckVersion.hpp"
#include "server/WebServer_GetDeviceInfo.hpp"
#include "server/WebServer_GetFirmware.hpp"
#include "support/TestSupport.hpp"

#include <algorithm>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using server_testing::SimServer;
using testing::ElementsAre;

namespace {

constexpr std::array<std::uint8_t, 9> kKey = {0x5A, 0x4C, 0x4D, 0x20, 0x34, 0x38, 0x31, 0x30, 0x52};

sim::UpdateCatalog demoCatalog() {
    std::string error;
    auto catalog = sim::UpdateCatalog::load(DETECTOR_DEMO_CATALOG_DIR, error);
    EXPECT_TRUE(catalog.has_value()) << error;
    return catalog.value_or(sim::UpdateCatalog{});
}

// Runs the connect sequence's server steps for `keyword` against the demo catalog.
struct ServerSteps {
    SimServer server{demoCatalog()};
    std::shared_ptr<ConnectedTargetInfo> record = testing_support::recordWithKey(kKey);
    WebServer_GetDataBase db{server.access()};

    explicit ServerSteps(const std::string& keyword) {
        record->setConnectedDevice_KewordForWebAcess(keyword);
    }
};

TEST(DemoCatalog, ServesEveryOriginalModelThroughTheWholeServerSide) {
    for (const std::string keyword :
         {"5810_SIGNATUREE", "3810_COMBO", "RV4810RVR", "4030GPSRVS", "RV7810M", "RV6810L"}) {
        SCOPED_TRACE(keyword);
        ServerSteps s(keyword);
        auto& r = *s.record;
        ASSERT_TRUE(WebServer_GetDeviceInfo(s.server.access()).getDeviceInfo(r))
            << r.ErrorMessage();
        EXPECT_EQ(r.UpdateType(), 0U);
        ASSERT_TRUE(s.db.getDatabase(r)) << r.ErrorMessage();
        ASSERT_TRUE(WebServer_GetFirmware(s.server.access()).getFirmware(r)) << r.ErrorMessage();
        ASSERT_TRUE(WebServer_CheckVersion::CheckUpdateVersion(r));
        EXPECT_EQ(r.ConnectedDevice_Version_GPS_Update().size(), 10U);
        EXPECT_EQ(r.ConnectedDevice_Version_RD_Update().size(), 10U);
        // The images cover the cut range the device information gives.
        EXPECT_EQ(r.Download_Firmware_GPS()->size(), r.Info_GPS_Binary_Cut_EndAddress());
        EXPECT_EQ(r.Download_Firmware_RD()->size(), r.Info_RD_Binary_Cut_EndAddress());
        EXPECT_THAT(
            s.server.sim().requests(),
            testing::IsSupersetOf(std::vector<std::string>{
                "/qvt_products/info/" + keyword, "/qvt_database/countries",
                "/qvt_products_firmware/info/" + keyword, "/firmware/" + keyword + "/gps.bin"}));
    }
}

TEST(DemoCatalog, HasTheDatabaseTheDemoNeeds) {
    ServerSteps s("5810_SIGNATUREE");
    auto& r = *s.record;
    r.setConnectedDevice_Enable_DATABASE_Firmware(1);
    ASSERT_TRUE(s.db.getDatabase(r)) << r.ErrorMessage();
    EXPECT_GE(r.Country_Total_Num(), 20U);
    EXPECT_GE(r.Info_DataBase_Count(), 10000U);
    EXPECT_THAT(*r.Country_Name(), testing::Contains("Россия"));
    const auto& all = s.db.DB_Struct();
    std::size_t strelka = 0;
    std::size_t fake = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        strelka += all.kind(i) == CameraRecordList::Kind::Strelka ? 1 : 0;
        fake += all.kind(i) == CameraRecordList::Kind::Fake ? 1 : 0;
    }
    EXPECT_GT(strelka, 0U);
    EXPECT_GT(fake, 0U);
    // The per-country counts add up to the records.
    std::uint64_t cameras = 0;
    for (const auto& n : *r.Country_SpeedCam_Num()) {
        cameras += std::stoul(n);
    }
    EXPECT_EQ(cameras, r.Info_DataBase_Count());
    EXPECT_EQ(r.SsId(), "DB00015810SIGNATUREE");
}

TEST(DemoCatalog, OneModelIsOfAnotherUpdateType) {
    ServerSteps s("QVT-KA7");
    ASSERT_TRUE(WebServer_GetDeviceInfo(s.server.access()).getDeviceInfo(*s.record));
    EXPECT_EQ(s.record->UpdateType(), 1U);
}

// A two-model catalog built in code, for the fault modes.
sim::UpdateCatalog smallCatalog() {
    sim::UpdateCatalog c;
    auto m = server_testing::model("KW", server_testing::plainInfo());
    c.models.push_back(m);
    c.countries = {"A", "B"};
    c.cameras = {"0,55.1,37.2,90,60,0,A", "9,55.2,37.3,90,60,0,A", "1,50.1,30.2,0,40,0,B"};
    return c;
}

TEST(UpdateServerSim, EncodesTheCountryListWithCountsPerType) {
    sim::UpdateServerSim sim(smallCatalog());
    EXPECT_EQ(sim.countriesText(), "2$A|2|1|1$B|1|0|0");
    EXPECT_EQ(sim.databaseAnswer(),
              "2016-05-12 3\r\n" + sim::UpdateServerSim::base64Encode("0,55.1,37.2,90,60,0,A") +
                  "\r\n" + sim::UpdateServerSim::base64Encode("9,55.2,37.3,90,60,0,A") + "\r\n" +
                  sim::UpdateServerSim::base64Encode("1,50.1,30.2,0,40,0,B") + "\r\nEND\r\n");
}

TEST(UpdateServerSim, MissingFieldsFailEachAnswer) {
    SimServer s(smallCatalog());
    s.sim().addFault(sim::ServerFault::MissingFields, "/qvt_database/countries");
    ConnectedTargetInfo record;
    record.setConnectedDevice_KewordForWebAcess("KW");
    record.setConnectedDevice_Enable_DATABASE_Firmware(1);
    WebServer_GetDataBase db(s.access());
    EXPECT_FALSE(db.getDatabase(record));
    EXPECT_EQ(record.ErrorMessage(),
              "Error_Code_401/ MissingCountryField / country entry 2 'B|1|0' has 3 of 4 fields ");
}

TEST(UpdateServerSim, BadBase64RecordsFailTheDatabase) {
    SimServer s(smallCatalog());
    s.sim().addFault(sim::ServerFault::BadBase64, "/qvt_database/get_database/");
    auto record = testing_support::recordWithKey(kKey);
    record->setConnectedDevice_KewordForWebAcess("KW");
    record->setConnectedDevice_Enable_DATABASE_Firmware(1);
    WebServer_GetDataBase db(s.access());
    EXPECT_FALSE(db.getDatabase(*record));
    EXPECT_EQ(record->ErrorMessage(),
              "Error_Code_401/ BadRecord / record line 1 has 1 of 7 fields ");
}

TEST(UpdateServerSim, FloodsTheDatabaseAnswerInEachMode) {
    const sim::UpdateCatalog catalog = demoCatalog();
    std::size_t unit = 0; // bytes of the catalog's record lines, one pass
    for (const auto& camera : catalog.cameras) {
        unit += sim::UpdateServerSim::base64Encode(camera).size() + 2;
    }
    struct Case {
        sim::ServerFault fault;
        std::uint64_t bytes;
        bool fetched;
        std::string error;
        std::uint32_t records;
    };
    const std::vector<Case> cases = {
        {sim::ServerFault::FloodLines, 100000, false,
         "Error_Code_401/ BadRecord / record line 1 has 1 of 7 fields ", 0},
        // Two passes over the catalog's records, then the two closing lines.
        {sim::ServerFault::FloodRecords, 2 * unit + 5, true, "Not Error",
         static_cast<std::uint32_t>(2 * catalog.cameras.size())},
        {sim::ServerFault::LongLine, 100000, true, "Not Error", 1},
    };
    for (const auto& c : cases) {
        ServerSteps s("5810_SIGNATUREE");
        auto& r = *s.record;
        r.setConnectedDevice_Enable_DATABASE_Firmware(1);
        s.server.sim().addFault(c.fault);
        s.server.sim().setFloodBytes(c.bytes);
        EXPECT_EQ(s.db.getDatabase(r), c.fetched) << static_cast<int>(c.fault);
        EXPECT_EQ(r.ErrorMessage(), c.error);
        EXPECT_EQ(r.Info_strDate(), "120516") << "the header is valid";
        if (c.fetched) {
            EXPECT_EQ(r.Info_DataBase_Count(), c.records);
        }
        const std::string log = s.server.sim().log().back();
        const std::uint64_t sent = std::stoull(log.substr(log.rfind(' ') + 1));
        EXPECT_GE(sent, c.bytes) << log;
        EXPECT_LT(sent, c.bytes + 128) << log;
    }
    ServerSteps s("5810_SIGNATUREE");
    s.server.sim().addFault(sim::ServerFault::LongLine);
    s.server.sim().setFloodBytes(100000);
    s.record->setConnectedDevice_Enable_DATABASE_Firmware(1);
    ASSERT_TRUE(s.db.getDatabase(*s.record));
    // One record whose country name runs over the whole line.
    EXPECT_GT(s.db.DB_Struct().country(0).size(), 70000U);
    EXPECT_EQ(s.db.DB_Struct().country(0).find_first_not_of('A'), std::string_view::npos);
}

TEST(UpdateServerSim, RecordsTheFinishRequestAndWritesItsLog) {
    SimServer s(smallCatalog());
    const std::string logPath = testing::TempDir() + "update-server-sim.log";
    std::remove(logPath.c_str());
    ASSERT_TRUE(s.sim().setLogFile(logPath));
    const auto r = s.client().get({s.sim().baseAddress() + "/qvt_database/finish/KW-DBm"});
    EXPECT_EQ(r.status, 200);
    EXPECT_THAT(s.sim().finished(), ElementsAre("KW-DB"));
    EXPECT_THAT(s.sim().log(), ElementsAre("GET /qvt_database/finish/KW-DBm 200 2"));
    std::ifstream in(logPath);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "GET /qvt_database/finish/KW-DBm 200 2");
}

TEST(UpdateServerSim, ImageAddressesPointBackAtTheServer) {
    auto c = smallCatalog();
    c.models[0].firmware[1] = "gps.bin";
    c.models[0].images["gps.bin"] = {1, 2};
    SimServer s(std::move(c));
    s.settings().baseAddress = s.sim().baseAddress();
    ConnectedTargetInfo record;
    record.setConnectedDevice_KewordForWebAcess("KW");
    record.setConnectedDevice_Enable_GPS_Firmware(1);
    ASSERT_TRUE(WebServer_GetFirmware(s.access()).getFirmware(record));
    EXPECT_EQ(record.Download_Firmware_GPS_wAdd(), s.sim().baseAddress() + "/firmware/KW/gps.bin");
    ASSERT_NE(record.Download_Firmware_GPS(), nullptr);
    EXPECT_EQ(record.Download_Firmware_GPS()->size(), 2U);
}

TEST(UpdateCatalog, ReportsAMissingFolder) {
    std::string error;
    EXPECT_FALSE(sim::UpdateCatalog::load("/nonexistent/catalog", error).has_value());
    EXPECT_THAT(error, testing::HasSubstr("catalog.json"));
}

} // namespace
