#include "device/ConnectedTargetInit.hpp"

#include "sim/DeviceProfile.hpp"
#include "sim/VirtualDetector.hpp"
#include "support/TestSupport.hpp"
#include "usb/MassStorageController.hpp"

#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

constexpr std::string_view kMarker = "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~";

sim::MemoryEntry text(std::uint8_t selector, std::uint32_t address, std::string_view content) {
    return sim::MemoryEntry{selector, address, {content.begin(), content.end()}};
}

// A connected link to a virtual detector, and a fresh record.
struct Bench {
    std::shared_ptr<sim::VirtualDetector> detector;
    MassStorageController link;
    ConnectedTargetInfo record;
    ConnectedTargetInit init;

    explicit Bench(sim::DeviceProfile profile)
        : detector(std::make_shared<sim::VirtualDetector>(std::move(profile)))
        , link(detector) {
        link.MassStorageControllerInit();
        EXPECT_TRUE(link.Check_UsbConnection());
        detector->clearTrace();
    }

    std::vector<sim::TraceEntry> reads() const {
        std::vector<sim::TraceEntry> out;
        for (const auto& t : detector->trace()) {
            if (t.operation == sim::Operation::Read) {
                out.push_back(t);
            }
        }
        return out;
    }
};

sim::DeviceProfile withNameBlock(std::string_view nameBlock,
                                 std::string product = "CORVANTHIS UMSCPT DEVICE") {
    sim::DeviceProfile p;
    p.product = std::move(product);
    std::string block(nameBlock);
    block.push_back('\0');
    p.memory.push_back(text(p.product[0] == '*' ? 1 : 0, 0x08002E00, block));
    return p;
}

struct NameCase {
    const char* label;
    const char* block;
    const char* name;
    const char* verify;
    const char* keyword;
    std::uint8_t editionEnable;
    const char* edition;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class NameForms : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameForms, DeriveNameKeyEditionAndKeyword) {
    const auto& c = GetParam();
    Bench b(withNameBlock(c.block));
    ASSERT_TRUE(b.init.ConnectedDeviceInit(b.record, b.link)) << b.record.ErrorMessage();
    EXPECT_EQ(b.record.ErrorMessage(), "Not Error");
    EXPECT_EQ(b.record.ConnectedDevice_Name(), c.name);
    EXPECT_EQ(b.record.ConnectedDevice_Name_forVerify(), c.verify);
    EXPECT_EQ(b.record.ConnectedDevice_KewordForWebAcess(), c.keyword);
    EXPECT_EQ(b.record.ConnectedDevice_EditionEnable(), c.editionEnable);
    EXPECT_EQ(b.record.ConnectedDevice_EditionType(), c.edition);
    EXPECT_EQ(b.record.isIncludeStar(), 0);
    EXPECT_EQ(b.record.Info_VerifyBlock_GPS_Address(), 0x08002F00U);
    EXPECT_EQ(b.record.Info_VerifyBlock_RD_Address(), 0x08001C00U);
    // The key is the first nine bytes of the block, as numbers.
    const auto key = b.record.Info_T_Key();
    ASSERT_EQ(key->size(), 9U);
    for (std::size_t i = 0; i < 9; ++i) {
        ASSERT_TRUE(std::holds_alternative<std::uint32_t>((*key)[i])) << i;
        EXPECT_EQ(std::get<std::uint32_t>((*key)[i]), static_cast<unsigned char>(c.block[i])) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, NameForms,
    ::testing::Values(NameCase{"OneWord4810RvWithEdition", "XY,4810RV    A B C D E $$ZLM", "4810RV",
                               "4x10", "RV4810RVE", 1, "E"},
                      NameCase{"TwoWordWithEdition", "XY,4810RV A B C D E F $$ZLM", "4810RV A",
                               "4810", "4810RV_AF", 1, "F"},
                      NameCase{"TwoWordWithoutEdition", "QV,3810 COMBO HW1 R2 2015 CIS EU $$ZLM",
                               "3810 COMBO", "3810", "3810_COMBO", 0, ""},
                      NameCase{"TwoWordColonField", "AB:4030 GPS HW1 R1 16 CIS K $$ZLM", "4030 GPS",
                               "4030", "4030_GPSK", 1, "K"},
                      NameCase{"GpsRvWithEdition", "QV,4030GPSRV HW1 R1 2016 CIS S $$ZLM",
                               "4030GPSRV", "4030", "4030GPSRVS", 1, "S"},
                      NameCase{"GpsRvWithoutEdition", "QV,4030GPSRV HW1 R1 2016 CIS SS $$ZLM",
                               "4030GPSRV", "4030", "RV4030GPSRV", 0, ""},
                      NameCase{"SpecialNameIgnoresEdition", "QV,QVT-KA7    HW1 R1 2016 CIS E $$ZLM",
                               "QVT-KA7", "QVT-KA7", "QVT-KA7", 0, ""},
                      NameCase{"SpecialGpsLyn1", "QV,GPS-LYN1   HW1 R1 2016 CIS E $$ZLM",
                               "GPS-LYN1", "GPS-LYN1", "GPS-LYN1", 0, ""},
                      NameCase{"SpecialKa7Ln", "QV,KA7-LN\t\t\t\tx x x x E $$ZLM", "KA7-LN",
                               "KA7-LN", "KA7-LN", 0, ""},
                      NameCase{"Contains4610Rv", "QV,X4610RVZ  a b c d Q $$ZLM", "X4610RVZ", "4x10",
                               "RVX4610RVZQ", 1, "Q"},
                      NameCase{"OtherOneWord", "QV,AB12-7     a b c d Z $$ZLM", "AB12-7", "12",
                               "RVAB12-7Z", 1, "Z"},
                      NameCase{"OneWordNoDigits", "QV,RV         a b c d long $$ZLM", "RV", "",
                               "RVRV", 0, ""}),
    [](const auto& info) { return std::string(info.param.label); });

struct FailCase {
    const char* label;
    const char* block;
};

class NameFailures : public ::testing::TestWithParam<FailCase> {};

TEST_P(NameFailures, GiveErrorCode103) {
    Bench b(withNameBlock(GetParam().block));
    EXPECT_FALSE(b.init.ConnectedDeviceInit(b.record, b.link));
    EXPECT_EQ(b.record.ErrorMessage(), "Error_Code_103");
}

INSTANTIATE_TEST_SUITE_P(Blocks, NameFailures,
                         ::testing::Values(FailCase{"NoBlankInFirst13",
                                                    "QV,ABCDEFGHIJKLM x x x x E $$ZLM"},
                                           FailCase{"ShorterThan13", "QV,A $$ZLM"},
                                           FailCase{"NoColonField", "QV4810RV     a b c d E $$ZLM"},
                                           FailCase{"TwoWordsMissingW6", "QV,4810 A B C D $$ZLM"},
                                           FailCase{"OneWordMissingW5", "QV,4810RV      a b $$ZLM"},
                                           FailCase{"NoDollars", "QV,4810RV    A B C D E ZLM"},
                                           FailCase{"NoZlm", "QV,4810RV    A B C D E $$"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Identification, StarredInquiryReadsTheNameBlockWithSelectorOne) {
    Bench b(withNameBlock("QV,7810    HW1 R1 2016 CIS M $$ZLM", "*CORVANTHIS UMSCPT DEVIC"));
    ASSERT_TRUE(b.init.ConnectedDeviceInit(b.record, b.link));
    EXPECT_EQ(b.record.isIncludeStar(), 1);
    EXPECT_EQ(b.record.ConnectedDevice_KewordForWebAcess(), "RV7810M");
    const auto reads = b.reads();
    ASSERT_EQ(reads.size(), 1U);
    EXPECT_EQ(reads[0].selector, 1);
    EXPECT_EQ(reads[0].address, 0x08002E00U);
    EXPECT_EQ(reads[0].length, 256U);
}

TEST(Identification, FallsBackToTheSecondLayout) {
    sim::DeviceProfile p;
    p.memory.push_back(text(0, 0x08002E00, std::string("QV,2810RD    a b c d N $$XYZ") + '\0'));
    p.memory.push_back(text(0, 0x08003600, std::string("QV,2810RD    a b c d N $$ZLM") + '\0'));
    Bench b(std::move(p));
    ASSERT_TRUE(b.init.ConnectedDeviceInit(b.record, b.link));
    EXPECT_EQ(b.record.Info_VerifyBlock_GPS_Address(), 0x08003700U);
    EXPECT_EQ(b.record.Info_VerifyBlock_RD_Address(), 35792U);
    const auto reads = b.reads();
    ASSERT_EQ(reads.size(), 2U);
    EXPECT_EQ(reads[0].address, 0x08002E00U);
    EXPECT_EQ(reads[1].address, 0x08003600U);
    EXPECT_EQ(reads[1].selector, 0);
}

TEST(Identification, NoMatchingBlockInEitherLayoutGives103) {
    Bench b(sim::DeviceProfile{}); // erased memory reads as 0xFF
    EXPECT_FALSE(b.init.ConnectedDeviceInit(b.record, b.link));
    EXPECT_EQ(b.record.ErrorMessage(), "Error_Code_103");
    EXPECT_EQ(b.reads().size(), 2U);
}

TEST(Identification, InquiryWithoutTheProductTextGives102) {
    Bench b(withNameBlock("QV,7810    HW1 R1 2016 CIS M $$ZLM", "ACME CORP MASS STORAGE 1"));
    EXPECT_FALSE(b.init.ConnectedDeviceInit(b.record, b.link));
    EXPECT_EQ(b.record.ErrorMessage(), "Error_Code_102");
    EXPECT_TRUE(b.reads().empty()) << "no name block read after a failed INQUIRY";
}

struct DeadExchange {
    const char* label;
    sim::FaultKind kind;
    sim::Operation operation;
    sim::Phase phase;
    const char* code;
    // The whole exchange, where it is worth spelling out.
    const char* trace = nullptr;
};

void PrintTo(const DeadExchange& c, std::ostream* os) { *os << c.label; }

class DeadIdentification : public ::testing::TestWithParam<DeadExchange> {};

TEST_P(DeadIdentification, GivesTheStepsCodeAndGoesNoFurther) {
    const auto& c = GetParam();
    auto p = withNameBlock("QV,7810    HW1 R1 2016 CIS M $$ZLM");
    sim::Fault dead;
    dead.kind = c.kind;
    dead.operation = c.operation;
    dead.phase = c.phase;
    p.faults.push_back(dead);
    Bench b(std::move(p));
    EXPECT_FALSE(b.init.ConnectedDeviceInit(b.record, b.link));
    EXPECT_EQ(b.record.ErrorMessage(), c.code);
    bool inquirySent = false;
    for (const auto& t : b.detector->trace()) {
        inquirySent = inquirySent || t.operation == sim::Operation::Inquiry;
    }
    EXPECT_EQ(inquirySent, c.operation == sim::Operation::Inquiry);
    EXPECT_TRUE(b.reads().empty()) << "no name block read after a dead exchange";
    if (c.trace != nullptr) {
        EXPECT_EQ(b.detector->traceText(), c.trace);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Exchanges, DeadIdentification,
    ::testing::Values(DeadExchange{"StalledTestUnitReady", sim::FaultKind::StallStatus,
                                   sim::Operation::TestUnitReady, sim::Phase::Status,
                                   "Error_Code_101",
                                   // Nothing after it but the host taking its status.
                                   "test-unit-ready none sel=0 addr=0x00000000 len=1024 stalled "
                                   "status, ok\n"
                                   "clear-halt ep=0x81 ok\n"},
                      DeadExchange{"SilentInquiryAnswer", sim::FaultKind::NoAnswer,
                                   sim::Operation::Inquiry, sim::Phase::Data, "Error_Code_102"},
                      DeadExchange{"StalledInquiryStatus", sim::FaultKind::StallStatus,
                                   sim::Operation::Inquiry, sim::Phase::Status, "Error_Code_102"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Identification, ProductTextSearchIsPositionFree) {
    std::vector<std::uint8_t> answer(1024, 0);
    const std::string_view t = "CORVANTHIS UMSCPT DEVIC";
    EXPECT_FALSE(ConnectedTargetInit::findProductText(answer).has_value());
    std::copy(t.begin(), t.end(), answer.begin());
    EXPECT_EQ(ConnectedTargetInit::findProductText(answer), false) << "match at 0 has no star";
    std::fill(answer.begin(), answer.end(), 0);
    answer[99] = '*';
    std::copy(t.begin(), t.end(), answer.begin() + 100);
    EXPECT_EQ(ConnectedTargetInit::findProductText(answer), true);
    // Only a match that lies wholly inside the buffer counts.
    std::fill(answer.begin(), answer.end(), 0);
    std::copy(t.begin(), t.end() - 1, answer.end() - 22);
    EXPECT_FALSE(ConnectedTargetInit::findProductText(answer).has_value());
}

TEST(Identification, DigitRun) {
    EXPECT_EQ(ConnectedTargetInit::digitRun("4810RV"), "4810");
    EXPECT_EQ(ConnectedTargetInit::digitRun("AB12-7"), "12");
    EXPECT_EQ(ConnectedTargetInit::digitRun("AB7"), "7");
    EXPECT_EQ(ConnectedTargetInit::digitRun("RV"), "");
}

// Version reading.

std::vector<std::uint8_t> page(std::string_view content, std::size_t size, std::uint8_t filler) {
    std::vector<std::uint8_t> p(size, filler);
    std::copy(content.begin(), content.end(), p.begin());
    return p;
}

struct VersionCase {
    const char* label;
    std::vector<std::uint8_t> block;
    const char* version;
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.label; }

class VersionCut : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionCut, CutsTheDigitsAfterTheTag) {
    EXPECT_EQ(ConnectedTargetInit::cutVersion(GetParam().block), GetParam().version);
}

const std::string kGpsBlock = std::string(kMarker) + "$:4810GX1512011200";

INSTANTIATE_TEST_SUITE_P(
    Blocks, VersionCut,
    ::testing::Values(
        VersionCase{"FfFiller", page(kGpsBlock, 256, 0xFF), "1512011200"},
        VersionCase{"ZeroRightAfterDigits", page(kGpsBlock, 256, 0x00), "1512011200"},
        VersionCase{"SpaceEndsContent", page(kGpsBlock + " 99", 256, 0x00), "1512011200"},
        VersionCase{"LowerCaseTag", page(std::string(kMarker) + "$:4810gx1512011200", 256, 0xFF),
                    "1512011200"},
        // The content ends at the space: digits after it are not the version.
        VersionCase{"DigitsAfterTheContentsEnd",
                    page(std::string(kMarker) + "$:4810GX 1512011200", 256, 0xFF), "UNKNOWN"},
        VersionCase{"AllZero", std::vector<std::uint8_t>(256, 0), "UNKNOWN"},
        VersionCase{"Erased", std::vector<std::uint8_t>(256, 0xFF), "UNKNOWN"},
        VersionCase{"NoMarker",
                    page("BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2013~$:4810GX1512011200", 256, 0xFF),
                    "UNKNOWN"},
        VersionCase{"ShorterThanMarker", page("BLOCKMARK", 256, 0x00), "UNKNOWN"},
        VersionCase{"NoSecondColon", page(std::string(kMarker) + "$4810GX1512011200", 256, 0x00),
                    "UNKNOWN"},
        VersionCase{
            "MarkerOnlyInPageBytes",
            page(std::string("X") + '\0' + std::string(kMarker) + "$:4810GX1512011200", 256, 0xFF),
            "UNKNOWN"}),
    [](const auto& info) { return std::string(info.param.label); });

sim::DeviceProfile versionProfile(bool star) {
    auto p = withNameBlock("QV,4810 SIGNATURE HW2 R1 2016 CIS E $$ZLM",
                           star ? "*CORVANTHIS UMSCPT DEVIC" : "CORVANTHIS UMSCPT DEVICE");
    p.memory.push_back(text(0, 0x08002F00, kGpsBlock));
    p.memory.push_back(text(1, 0x08001C00, std::string(kMarker) + "$:4810RD1604010800"));
    return p;
}

TEST(VersionReading, ReadsGpsWithSelectorZeroAndRadarWithSelectorOne) {
    Bench b(versionProfile(false));
    ASSERT_TRUE(b.init.ConnectedDeviceInit(b.record, b.link));
    b.record.setInfo_GPS_App_PageSize(256);
    b.record.setInfo_RD_App_PageSize(1024);
    b.detector->clearTrace();
    EXPECT_TRUE(b.init.getConnectedDeviceCurrentVersion(b.record, b.link));
    EXPECT_EQ(b.record.ConnectedDevice_Version_GPS_Current(), "1512011200");
    EXPECT_EQ(b.record.ConnectedDevice_Version_GPS_Current_detail(), "4810Gx1512011200");
    EXPECT_EQ(b.record.ConnectedDevice_Version_RD_Current(), "1604010800");
    EXPECT_EQ(b.record.ConnectedDevice_Version_RD_Current_detail(), "4810RD1604010800");
    const auto reads = b.reads();
    ASSERT_EQ(reads.size(), 2U);
    EXPECT_EQ(reads[0].selector, 0);
    EXPECT_EQ(reads[0].address, 0x08002F00U);
    EXPECT_EQ(reads[0].length, 256U);
    EXPECT_EQ(reads[1].selector, 1);
    EXPECT_EQ(reads[1].address, 0x08001C00U);
    EXPECT_EQ(reads[1].length, 1024U);
}

TEST(VersionReading, StarredDeviceSkipsTheGpsBlock) {
    Bench b(versionProfile(true));
    ASSERT_TRUE(b.init.ConnectedDeviceInit(b.record, b.link));
    b.record.setInfo_GPS_App_PageSize(256);
    b.record.setInfo_RD_App_PageSize(256);
    b.detector->clearTrace();
    EXPECT_TRUE(b.init.getDeviceVersion(b.record, b.link));
    EXPECT_EQ(b.record.ConnectedDevice_Version_GPS_Current(), "");
    EXPECT_EQ(b.record.ConnectedDevice_Version_GPS_Current_detail(), "4810Gx");
    EXPECT_EQ(b.record.ConnectedDevice_Version_RD_Current(), "1604010800");
    const auto reads = b.reads();
    ASSERT_EQ(reads.size(), 1U);
    EXPECT_EQ(reads[0].selector, 1);
}

TEST(VersionReading, UnreadableBlocksShowUnknown) {
    auto p = versionProfile(false);
    sim::Fault stall;
    stall.kind = sim::FaultKind::StallStatus;
    stall.operation = sim::Operation::Read;
    stall.selector = 1;
    p.faults.push_back(stall);
    Bench b(std::move(p));
    ASSERT_TRUE(b.init.ConnectedDeviceInit(b.record, b.link));
    b.record.setInfo_GPS_App_PageSize(0); // the server gave no page size
    b.record.setInfo_RD_App_PageSize(256);
    EXPECT_TRUE(b.init.getDeviceVersion(b.record, b.link));
    EXPECT_EQ(b.record.ConnectedDevice_Version_GPS_Current(), "UNKNOWN");
    EXPECT_EQ(b.record.ConnectedDevice_Version_GPS_Current_detail(), "UNKNOWN");
    EXPECT_EQ(b.record.ConnectedDevice_Version_RD_Current(), "UNKNOWN");
    EXPECT_EQ(b.record.ConnectedDevice_Version_RD_Current_detail(), "UNKNOWN");
}

// Every profile shipped in the repository identifies as the list beside it says.
TEST(Profiles, EachIdentifiesAsExpected) {
    const std::filesystem::path dir = DETECTOR_PROFILES_DIR;
    std::ifstream in(dir / "expected" / "identities.json");
    ASSERT_TRUE(in) << "expected/identities.json missing";
    const auto expected = nlohmann::json::parse(in);
    ASSERT_GE(expected.size(), 8U);
    // Every profile in the folder is listed, so none ships without its expected identity.
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".json") {
            EXPECT_TRUE(expected.contains(entry.path().filename().string()))
                << entry.path().filename() << " is not in expected/identities.json";
        }
    }
    for (const auto& [file, want] : expected.items()) {
        SCOPED_TRACE(file);
        Bench b(sim::DeviceProfile::load(dir / file));
        ASSERT_TRUE(b.init.ConnectedDeviceInit(b.record, b.link)) << b.record.ErrorMessage();
        EXPECT_EQ(b.record.ConnectedDevice_Name(), want["name"].get<std::string>());
        EXPECT_EQ(b.record.ConnectedDevice_Name_forVerify(), want["verify"].get<std::string>());
        EXPECT_EQ(b.record.ConnectedDevice_KewordForWebAcess(), want["keyword"].get<std::string>());
        EXPECT_EQ(b.record.ConnectedDevice_EditionType(), want["edition"].get<std::string>());
        EXPECT_EQ(b.record.ConnectedDevice_EditionEnable(), want["editionEnable"].get<int>());
        EXPECT_EQ(b.record.isIncludeStar() != 0, want["star"].get<bool>());
        const auto& layout = arrayVerifyaddress.at(want["layout"].get<std::size_t>());
        EXPECT_EQ(b.record.Info_VerifyBlock_RD_Address(), layout.rdVersionBlock);
        b.record.setInfo_GPS_App_PageSize(256);
        b.record.setInfo_RD_App_PageSize(256);
        b.init.getConnectedDeviceCurrentVersion(b.record, b.link);
        EXPECT_EQ(b.record.ConnectedDevice_Version_GPS_Current(), want["gps"].get<std::string>());
        EXPECT_EQ(b.record.ConnectedDevice_Version_RD_Current(), want["rd"].get<std::string>());
    }
}

} // namespace
