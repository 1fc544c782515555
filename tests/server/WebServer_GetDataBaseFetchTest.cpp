#include "database/WebServer_GetDataBase.hpp"
#include "server/ServerFixture.hpp"
#include "support/TestSupport.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using sim::UpdateServerSim;
using testing::ElementsAre;
using testing_support::hex;

namespace {

constexpr std::array<std::uint8_t, 9> kKey = {0x5A, 0x4C, 0x4D, 0x20, 0x34, 0x38, 0x31, 0x30, 0x52};

std::string b64(const std::string& text) { return UpdateServerSim::base64Encode(text); }

// A server answering the three database requests for keyword KW with the given raw bodies.
struct Fetch {
    server_testing::SimServer server{sim::UpdateCatalog{}};
    std::shared_ptr<ConnectedTargetInfo> record = testing_support::recordWithKey(kKey);
    WebServer_GetDataBase db{server.access()};

    Fetch(const std::string& idBody, const std::string& countriesBody,
          const std::string& databaseBody, const std::string& id = "ID1") {
        record->setConnectedDevice_KewordForWebAcess("KW");
        record->setConnectedDevice_Enable_DATABASE_Firmware(1);
        server.sim().setAnswer("/qvt_database/get_id/KWm", idBody);
        server.sim().setAnswer("/qvt_database/countries", countriesBody);
        server.sim().setAnswer("/qvt_database/get_database/" + id + "m", databaseBody);
    }
    bool run() { return db.getDatabase(*record); }
};

const std::string kR1 = b64("0,55.75,37.61,90,60,0,A");
const std::string kR2 = b64("9,50.45,30.52,180,40,1000,B");
const std::string kCountries = b64("$A|10|2|1$B|5|0|0");

std::vector<std::string> texts(const SharedTextList& list) {
    return list ? *list : std::vector<std::string>{"<absent>"};
}

TEST(WebServer_GetDataBase_getDatabase, FetchesTheExampleDatabase) {
    Fetch f(b64("ID1"), kCountries, "2016-05-12\r\n" + kR1 + "\r\n" + kR2 + "\r\nx\r\n");
    ASSERT_TRUE(f.run()) << f.record->ErrorMessage();
    const auto& r = *f.record;
    EXPECT_EQ(r.SsId(), "ID1");
    EXPECT_EQ(r.Country_Total_Num(), 2U);
    EXPECT_THAT(texts(r.Country_Name()), ElementsAre("A", "B"));
    EXPECT_THAT(texts(r.Country_SpeedCam_Num()), ElementsAre("10", "5"));
    EXPECT_THAT(texts(r.Country_Strelka_Num()), ElementsAre("2", "0"));
    EXPECT_THAT(texts(r.Country_Fake_Num()), ElementsAre("1", "0"));
    ASSERT_NE(r.Country_Checked(), nullptr);
    EXPECT_THAT(*r.Country_Checked(), ElementsAre(ListEntry{false}, ListEntry{false}));
    EXPECT_EQ(r.Info_strDate(), "120516");
    EXPECT_EQ(r.Info_strDate_Dongle(), "DB:2016.05.12.0000,");
    EXPECT_EQ(r.Info_DataBase_Count(), 2U);
    EXPECT_EQ(r.Info_DataBase_Count_NoStrelka(), 1U);
    ASSERT_NE(r.Download_Firmware_DATABASE(), nullptr);
    EXPECT_EQ(r.Download_Firmware_DATABASE()->size(), 24U);
    EXPECT_EQ(hex(std::span(*r.Download_Firmware_DATABASE()).first(4)), hex("00 00 00 02"));
    EXPECT_EQ(r.Download_Firmware_DATABASE_NoStrelka()->size(), 14U);
    EXPECT_EQ(hex(*r.Download_Firmware_DATABASE()), hex(f.db.HexFormat_DB()));
    // The Strelka camera is only in the full list; the Fake camera in both, as the same object.
    ASSERT_EQ(f.db.DB_Struct().size(), 2U);
    EXPECT_EQ(f.db.DB_Struct()[0]->parsing_camera, 0.0);
    EXPECT_EQ(f.db.DB_Struct()[1]->parsing_country, "B");
    ASSERT_EQ(f.db.DB_Struct_noStrelka().size(), 1U);
    EXPECT_EQ(f.db.DB_Struct_noStrelka()[0], f.db.DB_Struct()[1]);
    EXPECT_EQ(r.ErrorMessage(), "Not Error");
    EXPECT_THAT(f.server.sim().requests(),
                ElementsAre("/qvt_database/get_id/KWm", "/qvt_database/countries",
                            "/qvt_database/get_database/ID1m"));
}

TEST(WebServer_GetDataBase_getDatabase, TheImageIsTheCountThenTheScrambledRecords) {
    Fetch f(b64("ID1"), kCountries, "2016-05-12\r\n" + kR1 + "\r\n" + kR2 + "\r\nx\r\n");
    ASSERT_TRUE(f.run());
    // Worked out by hand with the bit-by-bit layout of the record tests: the count 2, then
    // each record's ten bytes XORed with the key from byte 4 on (key index 0 at byte 4).
    EXPECT_EQ(hex(*f.record->Download_Firmware_DATABASE()),
              hex("00 00 00 02 C8 D4 4C 20 03 2E EF 30 D0 4A 54 5D 68 37 6E 1C 64 BA D8 BA"));
}

TEST(WebServer_GetDataBase_getDatabase, DoesNothingWhenTheDatabaseIsNotOffered) {
    Fetch f(b64("ID1"), kCountries, "2016-05-12\n\n\n");
    f.record->setConnectedDevice_Enable_DATABASE_Firmware(0);
    f.record->setSsId("earlier");
    EXPECT_TRUE(f.run());
    EXPECT_TRUE(f.server.sim().requests().empty());
    EXPECT_EQ(f.record->SsId(), "earlier");
    EXPECT_EQ(f.record->Country_Name(), nullptr);
}

TEST(WebServer_GetDataBase_getDatabase, AHeaderWithTwoClosingLinesHasNoRecords) {
    Fetch f(b64("ID1"), kCountries, "2016-05-12\nX\n");
    ASSERT_TRUE(f.run()) << f.record->ErrorMessage();
    EXPECT_EQ(f.record->Info_DataBase_Count(), 0U);
    EXPECT_EQ(hex(*f.record->Download_Firmware_DATABASE()), hex("00 00 00 00"));
    EXPECT_EQ(hex(*f.record->Download_Firmware_DATABASE_NoStrelka()), hex("00 00 00 00"));
}

// A database is to be written and no country can be chosen: the fetch fails, naming why.
struct NoCountriesCase {
    const char* name;
    std::string countriesBody;
    bool stall;
    std::string text; // "{at}" stands for the server's host:port
};

class NoCountries : public testing::TestWithParam<NoCountriesCase> {};

TEST_P(NoCountries, FailTheFetchBeforeTheDatabaseRequest) {
    const auto& c = GetParam();
    Fetch f(b64("ID1"), c.countriesBody, "2016-05-12\nX\n");
    if (c.stall) {
        f.server.sim().addFault(sim::ServerFault::Stall, "/qvt_database/countries");
        f.server.sim().setStallTime(std::chrono::seconds(20));
        f.server.settings().requestTimeout = std::chrono::milliseconds(300);
    }
    EXPECT_FALSE(WebServer_GetDataBase(f.server.access()).getDatabase(*f.record));
    std::string expected = c.text;
    if (const auto slot = expected.find("{at}"); slot != std::string::npos) {
        expected.replace(slot, 4, "127.0.0.1:" + std::to_string(f.server.sim().port()));
    }
    EXPECT_EQ(f.record->ErrorMessage(), expected);
    EXPECT_EQ(f.server.sim().requests().size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NoCountries,
    testing::Values(
        NoCountriesCase{"NoDollar", b64("A|10|2|1"), false,
                        "Error_Code_401/ NoCountries / the country list 'A|10|2|1' names no "
                        "country "},
        NoCountriesCase{"LineBreak", kCountries + "\n", false,
                        "Error_Code_401/ NoCountries / the 25-byte country list answer (HTTP "
                        "200) is not Base64 "},
        NoCountriesCase{"NotText", b64("$\xFF|1|0|0"), false,
                        "Error_Code_401/ NoCountries / the 12-byte country list answer does not "
                        "decode to text "},
        NoCountriesCase{"Empty", "", false,
                        "Error_Code_401/ NoCountries / the country list answer is empty "},
        NoCountriesCase{"Stalled", kCountries, true,
                        "Error_Code_401/ NoCountries / no data from {at} for 300 ms "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebServer_GetDataBase_getDatabase, ACountryEntryOfThreeFieldsFailsKeepingTheEarlierOnes) {
    Fetch f(b64("ID1"), b64("$A|10|2|1$B|5|0"), "2016-05-12\nX\n");
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.record->ErrorMessage(),
              "Error_Code_401/ MissingCountryField / country entry 2 'B|5|0' has 3 of 4 fields ");
    EXPECT_EQ(f.record->Country_Total_Num(), 2U);
    EXPECT_THAT(texts(f.record->Country_Name()), ElementsAre("A"));
    EXPECT_EQ(f.record->SsId(), "ID1");
    // The database was never asked for.
    EXPECT_EQ(f.server.sim().requests().size(), 2U);
}

TEST(WebServer_GetDataBase_getDatabase, AShortHeaderFails) {
    Fetch f(b64("ID1"), kCountries, "16-5-12\r\n" + kR1 + "\r\nx\r\n");
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.record->ErrorMessage(),
              "Error_Code_401/ ShortHeader / database header '16-5-12' is shorter than 10 "
              "characters ");
    EXPECT_EQ(f.record->Country_Total_Num(), 2U);
}

TEST(WebServer_GetDataBase_getDatabase, AHeaderWithoutThreeDatePartsFails) {
    Fetch f(b64("ID1"), kCountries, "2016/05/12\nX\n");
    EXPECT_FALSE(f.run());
    EXPECT_THAT(f.record->ErrorMessage(), testing::StartsWith("Error_Code_401/ BadDate / "));
}

TEST(WebServer_GetDataBase_getDatabase, AnAnswerOfTwoLinesFails) {
    Fetch f(b64("ID1"), kCountries, "2016-05-12\n");
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.record->ErrorMessage(),
              "Error_Code_401/ ShortAnswer / database answer has 2 of at least 3 lines ");
    EXPECT_EQ(f.record->Info_strDate(), "120516");
}

TEST(WebServer_GetDataBase_getDatabase, AnEmptyAnswerFailsAtTheHeader) {
    Fetch f(b64("ID1"), kCountries, "");
    EXPECT_FALSE(f.run());
    EXPECT_THAT(f.record->ErrorMessage(), testing::StartsWith("Error_Code_401/ ShortHeader"));
}

TEST(WebServer_GetDataBase_getDatabase, StrictDecodingRejectsLineBreaksInTheIdentifier) {
    const std::string id = b64("ID1");
    Fetch f(id.substr(0, 2) + "\n" + id.substr(2), kCountries, "2016-05-12\nX\n", "");
    EXPECT_TRUE(f.run()) << f.record->ErrorMessage();
    EXPECT_EQ(f.record->SsId(), "");
    EXPECT_EQ(f.server.sim().requests().back(), "/qvt_database/get_database/m");
}

TEST(WebServer_GetDataBase_getDatabase, ARecordLineThatIsNotBase64Fails) {
    Fetch f(b64("ID1"), kCountries, "2016-05-12\n" + kR1 + "\n" + kR2 + "x\nA\nB\n");
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.record->ErrorMessage(),
              "Error_Code_401/ BadRecord / record line 2 has 1 of 7 fields ");
    EXPECT_EQ(f.db.DB_Struct().size(), 1U);
    EXPECT_EQ(f.record->Info_DataBase_Count(), 0U);
}

TEST(WebServer_GetDataBase_getDatabase, ARecordOfSixFieldsFails) {
    Fetch f(b64("ID1"), kCountries, "2016-05-12\n" + b64("1,2,3,4,5,6") + "\nA\nB\n");
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.record->ErrorMessage(),
              "Error_Code_401/ BadRecord / record line 1 has 6 of 7 fields ");
}

TEST(WebServer_GetDataBase_getDatabase, FailsWhenTheDeviceKeyIsNotRead) {
    Fetch f(b64("ID1"), kCountries, "2016-05-12\n" + kR1 + "\nA\n");
    f.record->setInfo_T_Key(nullptr);
    EXPECT_FALSE(f.run());
    EXPECT_THAT(f.record->ErrorMessage(), testing::StartsWith("Error_Code_401/ ImageBuild / "));
}

TEST(WebServer_GetDataBase_getDatabase, AnIdentifierOutsideUrlCharactersSendsNoDatabaseRequest) {
    Fetch f(b64("ID 1"), kCountries, "2016-05-12\nX\n");
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.record->SsId(), "ID 1");
    EXPECT_EQ(f.server.sim().requests().size(), 2U);
    EXPECT_EQ(f.record->ErrorMessage(), "Error_Code_401/ NoUrl / cannot form a URL with 'ID 1' ");
}

} // namespace
