#include "server/WebServer_GetDeviceInfo.hpp"

#include "server/ServerFixture.hpp"

#include <functional>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using server_testing::model;
using server_testing::plainInfo;
using server_testing::SimServer;

namespace {

// Asks the simulated server for `info` under keyword KW, on a record that has the keyword.
struct Query {
    SimServer server;
    ConnectedTargetInfo record;
    bool result = false;

    explicit Query(std::vector<std::string> info, std::string keyword = "KW")
        : server(catalog(std::move(info))) {
        record.setConnectedDevice_KewordForWebAcess(keyword);
        result = WebServer_GetDeviceInfo(server.access()).getDeviceInfo(record);
    }

    static sim::UpdateCatalog catalog(std::vector<std::string> info) {
        sim::UpdateCatalog c;
        c.models.push_back(model("KW", std::move(info)));
        return c;
    }
};

TEST(WebServer_GetDeviceInfo, StoresAll22FieldsAndTheCutOffsets) {
    Query q(plainInfo());
    ASSERT_TRUE(q.result) << q.record.ErrorMessage();
    const auto& r = q.record;
    EXPECT_EQ(r.Info_GPS_App_StartAddress(), 0x08004000U);
    EXPECT_EQ(r.Info_GPS_App_EndAddress(), 0x08010000U);
    EXPECT_EQ(r.Info_GPS_App_PageSize(), 0x800U);
    EXPECT_EQ(r.ConnectedDevice_Enable_GPS_Firmware(), 1);
    EXPECT_EQ(r.Info_RD_App_StartAddress(), 0x08003000U);
    EXPECT_EQ(r.Info_RD_App_EndAddress(), 0x0800C000U);
    EXPECT_EQ(r.Info_RD_App_PageSize(), 0x200U);
    EXPECT_EQ(r.ConnectedDevice_Enable_RD_Firmware(), 1);
    EXPECT_EQ(r.Info_DataBase_SaveCountAddress(), 0U);
    EXPECT_EQ(r.Info_DataBase_SaveAddress(), 4U);
    EXPECT_EQ(r.Info_DataBase_PageSize(), 0x1000U);
    EXPECT_EQ(r.ConnectedDevice_Enable_DATABASE_Firmware(), 1);
    EXPECT_EQ(r.Info_DataBase_SaveLocation(), 1U);
    EXPECT_EQ(r.Info_Audio_SaveAddress(), 0x00100000U);
    EXPECT_EQ(r.Info_Audio_PageSize(), 0x100U);
    EXPECT_EQ(r.ConnectedDevice_Enable_AUDIO_Firmware(), 0);
    EXPECT_EQ(r.Info_Audio_SaveLocation(), 1U);
    EXPECT_EQ(r.Info_Image_SaveAddress(), 0x00200000U);
    EXPECT_EQ(r.Info_Image_PageSize(), 0x100U);
    EXPECT_EQ(r.ConnectedDevice_Enable_IMAGE_Firmware(), 0);
    EXPECT_EQ(r.Info_Image_SaveLocation(), 0U);
    EXPECT_EQ(r.UpdateType(), 0U);
    EXPECT_EQ(r.Info_GPS_Binary_Cut_StartAddress(), 0x4000U);
    EXPECT_EQ(r.Info_GPS_Binary_Cut_EndAddress(), 0x10000U);
    EXPECT_EQ(r.Info_RD_Binary_Cut_StartAddress(), 0x3000U);
    EXPECT_EQ(r.Info_RD_Binary_Cut_EndAddress(), 0xC000U);
    EXPECT_EQ(r.ErrorMessage(), "Not Error");
    EXPECT_THAT(q.server.sim().requests(), testing::ElementsAre("/qvt_products/info/KW"));
}

TEST(WebServer_GetDeviceInfo, FailsAt21FieldsKeepingTheFirst21) {
    auto info = plainInfo();
    info.pop_back();
    info[20] = "mcu";
    Query q(info);
    EXPECT_FALSE(q.result);
    EXPECT_EQ(q.record.ErrorMessage(),
              "Error_Code_301/ MissingField / field 21 of 21-field answer (update type) ");
    EXPECT_EQ(q.record.Info_Image_SaveLocation(), 0U);
    EXPECT_EQ(q.record.Info_Image_PageSize(), 0x100U);
}

TEST(WebServer_GetDeviceInfo, KeepsTheUpdateTypeOnAFailureAt21) {
    auto info = plainInfo();
    info.pop_back();
    SimServer s(Query::catalog(info));
    ConnectedTargetInfo record;
    record.setConnectedDevice_KewordForWebAcess("KW");
    record.setUpdateType(3);
    EXPECT_FALSE(WebServer_GetDeviceInfo(s.access()).getDeviceInfo(record));
    EXPECT_EQ(record.UpdateType(), 3U);
}

TEST(WebServer_GetDeviceInfo, IgnoresFieldsBeyond22) {
    auto info = plainInfo();
    info.push_back("extra");
    info.push_back("0xZZ");
    Query q(info);
    EXPECT_TRUE(q.result);
    EXPECT_EQ(q.record.UpdateType(), 0U);
}

TEST(WebServer_GetDeviceInfo, CutsAnRdApplicationAt0x8C00FromTheImageStart) {
    auto info = plainInfo();
    info[4] = "0x8C00";
    info[5] = "0x10000";
    Query q(info);
    ASSERT_TRUE(q.result);
    EXPECT_EQ(q.record.Info_RD_Binary_Cut_StartAddress(), 0U);
    EXPECT_EQ(q.record.Info_RD_Binary_Cut_EndAddress(), 0x10000U - 0x08000000U);

    info[4] = "0x08008C00";
    Query q2(info);
    EXPECT_EQ(q2.record.Info_RD_Binary_Cut_StartAddress(), 0x8C00U);
}

TEST(WebServer_GetDeviceInfo, AGpsStartOf0WrapsAround) {
    auto info = plainInfo();
    info[0] = "0x0";
    Query q(info);
    ASSERT_TRUE(q.result);
    EXPECT_EQ(q.record.Info_GPS_Binary_Cut_StartAddress(), 0xF8000000U);
}

TEST(WebServer_GetDeviceInfo, FailsOnAHexFieldShorterThanTwoCharacters) {
    auto info = plainInfo();
    info[6] = "8";
    Query q(info);
    EXPECT_FALSE(q.result);
    EXPECT_EQ(q.record.ErrorMessage(),
              "Error_Code_301/ ShortHexField / field 6 (RD page size) '8' has fewer than 2 "
              "characters ");
    // Position 7 was never reached, so the RD cut offsets were not computed.
    EXPECT_EQ(q.record.Info_RD_Binary_Cut_StartAddress(), 0U);
    EXPECT_EQ(q.record.Info_GPS_Binary_Cut_StartAddress(), 0x4000U);
}

TEST(WebServer_GetDeviceInfo, AKeywordWithABlankSendsNothingAndFails) {
    Query q(plainInfo(), "4810 RV");
    EXPECT_FALSE(q.result);
    EXPECT_TRUE(q.server.sim().requests().empty());
    EXPECT_EQ(q.record.ErrorMessage(), "Error_Code_301/ NoUrl / cannot form a URL with '4810 RV' ");
}

TEST(WebServer_GetDeviceInfo, A404PageFailsOnField0) {
    Query q(plainInfo(), "UNKNOWN-MODEL");
    EXPECT_FALSE(q.result);
    EXPECT_THAT(q.record.ErrorMessage(), testing::StartsWith("Error_Code_301/ "));
    EXPECT_THAT(q.record.ErrorMessage(), testing::EndsWith(" "));
}

// An answer that arrived but cannot be used names the field; a request that failed names the
// failure and the server. "{at}" stands for the server's host:port.
struct ServerFaultCase {
    const char* name;
    std::function<void(SimServer&)> spoil;
    std::string text;
};

class ServerFaults : public testing::TestWithParam<ServerFaultCase> {};

TEST_P(ServerFaults, FailTheQueryWithTheirOwnText) {
    SimServer s(Query::catalog(plainInfo()));
    const std::string at = "127.0.0.1:" + std::to_string(s.sim().port());
    GetParam().spoil(s);
    ConnectedTargetInfo record;
    record.setConnectedDevice_KewordForWebAcess("KW");
    EXPECT_FALSE(WebServer_GetDeviceInfo(s.access()).getDeviceInfo(record));
    std::string expected = GetParam().text;
    if (const auto slot = expected.find("{at}"); slot != std::string::npos) {
        expected.replace(slot, 4, at);
    }
    // A trailing "*": the rest is the TLS library's own words.
    if (expected.ends_with('*')) {
        expected.pop_back();
        EXPECT_THAT(record.ErrorMessage(), testing::StartsWith(expected));
        EXPECT_THAT(record.ErrorMessage(), testing::EndsWith(" "));
    } else {
        EXPECT_EQ(record.ErrorMessage(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ServerFaults,
    testing::Values(
        ServerFaultCase{"MissingFields",
                        [](SimServer& s) { s.sim().addFault(sim::ServerFault::MissingFields); },
                        "Error_Code_301/ MissingField / field 21 of 21-field answer (update "
                        "type) "},
        ServerFaultCase{"BadBase64",
                        [](SimServer& s) { s.sim().addFault(sim::ServerFault::BadBase64); },
                        "Error_Code_301/ ShortHexField / field 0 (GPS start address) '' has "
                        "fewer than 2 characters "},
        ServerFaultCase{"EmptyBody",
                        [](SimServer& s) { s.sim().addFault(sim::ServerFault::EmptyBody); },
                        "Error_Code_301/ ShortHexField / field 0 (GPS start address) '' has "
                        "fewer than 2 characters "},
        ServerFaultCase{"Refused", [](SimServer& s) { s.sim().stop(); },
                        "Error_Code_301/ NoConnection / connection refused by {at} "},
        ServerFaultCase{"Stalled",
                        [](SimServer& s) {
                            s.sim().addFault(sim::ServerFault::Stall);
                            s.sim().setStallTime(std::chrono::seconds(20));
                            s.settings().requestTimeout = std::chrono::milliseconds(300);
                        },
                        "Error_Code_301/ TimedOut / no data from {at} for 300 ms "},
        ServerFaultCase{"Stopped", [](SimServer& s) { s.client().stop(); },
                        "Error_Code_301/ Cancelled / request to {at} stopped "},
        ServerFaultCase{"OverTheCap", [](SimServer& s) { s.settings().maxAnswerBytes = 10; },
                        "Error_Code_301/ TooLarge / answer from {at} over 10 bytes "},
        ServerFaultCase{"Tls",
                        [](SimServer& s) {
                            s.settings().baseAddress = "https" + s.sim().baseAddress().substr(4);
                            // Some TLS stacks fail only when the plain server gives up on their
                            // greeting (cpp-httplib: after 5 s), not at its first answer.
                            s.settings().requestTimeout = std::chrono::seconds(15);
                        },
                        "Error_Code_301/ TlsFailure / TLS with {at} failed: *"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebServer_GetDeviceInfo, AcceptsARedirectedAnswer) {
    SimServer s(Query::catalog(plainInfo()));
    s.sim().addFault(sim::ServerFault::Redirect);
    ConnectedTargetInfo record;
    record.setConnectedDevice_KewordForWebAcess("KW");
    EXPECT_TRUE(WebServer_GetDeviceInfo(s.access()).getDeviceInfo(record));
    EXPECT_EQ(record.Info_RD_App_PageSize(), 0x200U);
}

struct TextCase {
    std::string text;
    std::uint32_t value;
};

// One round trip shows the converters' results reach the record; the tables below are pure.
TEST(WebServer_GetDeviceInfo, FlagAndUpdateTypeTextsReachTheRecord) {
    auto info = plainInfo();
    info[15] = "tRuE";
    info[21] = "dongle";
    Query q(info);
    ASSERT_TRUE(q.result);
    EXPECT_EQ(q.record.ConnectedDevice_Enable_AUDIO_Firmware(), 1);
    EXPECT_EQ(q.record.UpdateType(), 3U);
}

class BoolField : public testing::TestWithParam<TextCase> {};
TEST_P(BoolField, OnlyTrueInAnyCaseEnables) {
    EXPECT_EQ(WebServer_GetDeviceInfo::StringToBool(GetParam().text), GetParam().value == 1);
}
INSTANTIATE_TEST_SUITE_P(Spellings, BoolField,
                         testing::Values(TextCase{"true", 1}, TextCase{"TRUE", 1},
                                         TextCase{"True", 1}, TextCase{"tRuE", 1}, TextCase{"1", 0},
                                         TextCase{"yes", 0}, TextCase{"true ", 0},
                                         TextCase{" true", 0}, TextCase{"", 0},
                                         TextCase{"false", 0}));

class UpdateTypeField : public testing::TestWithParam<TextCase> {};
TEST_P(UpdateTypeField, ComparesWithoutLetterCase) {
    EXPECT_EQ(WebServer_GetDeviceInfo::ParsingUpdateType(GetParam().text), GetParam().value);
}
INSTANTIATE_TEST_SUITE_P(Types, UpdateTypeField,
                         testing::Values(TextCase{"ORIGINAL", 0}, TextCase{"OriGinal", 0},
                                         TextCase{"meridian", 1}, TextCase{"MERIDIAN", 1},
                                         TextCase{"Only Rd", 2}, TextCase{"dongle", 3},
                                         TextCase{"8bit rd", 4}, TextCase{"MERIDIAN ", 0},
                                         TextCase{"something else", 0}, TextCase{"", 0}));

class LocationText : public testing::TestWithParam<TextCase> {};
TEST_P(LocationText, IsZeroOnlyForMcu) {
    EXPECT_EQ(WebServer_GetDeviceInfo::ParsingSaveLocation(GetParam().text), GetParam().value);
}
INSTANTIATE_TEST_SUITE_P(Locations, LocationText,
                         testing::Values(TextCase{"MCU", 0}, TextCase{"mcu", 0}, TextCase{"Mcu", 0},
                                         TextCase{"MCU ", 1}, TextCase{"FLASH", 1},
                                         TextCase{"", 1}));

struct HexCase {
    std::string text;
    std::optional<std::uint32_t> value;
};
class HexText : public testing::TestWithParam<HexCase> {};
TEST_P(HexText, ReadsTheNumberAfterTheFirstTwoCharacters) {
    EXPECT_EQ(WebServer_GetDeviceInfo::StringToHex(GetParam().text), GetParam().value);
}
INSTANTIATE_TEST_SUITE_P(
    Fields, HexText,
    testing::Values(HexCase{"0x8C00", 0x8C00}, HexCase{"0x08000000", 0x08000000},
                    HexCase{"8C00", 0}, HexCase{"0xffffffff", 0xFFFFFFFF},
                    HexCase{"0x100000000", 0xFFFFFFFF}, HexCase{"0x123456789ABCDEF", 0xFFFFFFFF},
                    HexCase{"0x 1F", 0x1F}, HexCase{"0x\t\n2a", 0x2A}, HexCase{"0x0x10", 0x10},
                    HexCase{"0x0X10", 0x10}, HexCase{"0x12zz", 0x12}, HexCase{"0x", 0},
                    HexCase{"0xZZ", 0}, HexCase{"xx", 0}, HexCase{"0", std::nullopt},
                    HexCase{"", std::nullopt},
                    HexCase{"\xD0\x96\xD0\x96"
                            "10",
                            0x10}));

} // namespace

namespace {

TEST(WebServer_GetDeviceInfo, StoppingTheProcessClientEndsAStalledQuery) {
    SimServer s(Query::catalog(plainInfo()));
    s.sim().addFault(sim::ServerFault::Stall);
    s.sim().setStallTime(std::chrono::seconds(20));
    server::ServerSettings::overrideBaseAddress(s.sim().baseAddress());
    ConnectedTargetInfo record;
    record.setConnectedDevice_KewordForWebAcess("KW");
    std::thread quit([&] {
        while (s.sim().requests().empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        server::ServerAccess::processClient()->stop();
    });
    // The stall (20 s) ends before the default time-out (30 s): without the stop the query
    // would get its answer and succeed.
    EXPECT_FALSE(WebServer_GetDeviceInfo().getDeviceInfo(record));
    quit.join();
    server::ServerAccess::processClient()->resume();
    server::ServerSettings::overrideBaseAddress("");
    EXPECT_THAT(record.ErrorMessage(), testing::StartsWith("Error_Code_301/ Cancelled / "));
}

} // namespace
