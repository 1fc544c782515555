#include "usb/RecoveryScenarios.hpp"

#include "device/ConnectedTargetInit.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

namespace recovery_scenarios {
namespace {

using testing_support::hex;

constexpr std::uint32_t kFirstPage = 0x1000;
constexpr std::uint32_t kSecondPage = 0x1100;

sim::MemoryEntry text(std::uint8_t selector, std::uint32_t address, std::string_view content) {
    return sim::MemoryEntry{selector, address, {content.begin(), content.end()}};
}

sim::Fault readFault(sim::FaultKind kind, std::uint8_t selector, std::uint32_t address) {
    sim::Fault fault = sim::Fault::make(kind, sim::Operation::Read);
    fault.selector = selector;
    fault.address = address;
    fault.phase = sim::Phase::Data;
    fault.times = 1;
    return fault;
}

// Two pages of different bytes; the first one's read fails.
Scenario nextReadAfter(const std::string& name, sim::FaultKind kind) {
    sim::DeviceProfile profile;
    profile.memory.push_back({0, kFirstPage, std::vector<std::uint8_t>(256, 0xA1)});
    profile.memory.push_back({0, kSecondPage, std::vector<std::uint8_t>(256, 0xB2)});
    profile.faults.push_back(readFault(kind, 0, kFirstPage));
    return {name, profile, [](MassStorageController& link, sim::VirtualDetector& device) {
                std::vector<std::uint8_t> page(256, 0);
                EXPECT_FALSE(link.ReadFromDevice(0, kFirstPage, page, 256, link));
                ASSERT_TRUE(link.ReadFromDevice(0, kSecondPage, page, 256, link))
                    << device.traceText();
                EXPECT_EQ(hex(page), hex(std::vector<std::uint8_t>(256, 0xB2)))
                    << "the second read returned another page\n"
                    << device.traceText();
            }};
}

// A starred detector whose name block lies in the second layout row; the fault is written as a
// profile would hold it.
Scenario starredNameFromSecondRow(const std::string& name, const std::string& faultJson) {
    auto profile = sim::DeviceProfile::fromJson(
        R"({"product": "*CORVANTHIS UMSCPT DEVIC", "faults": [)" + faultJson + "]}");
    profile.memory.push_back(text(
        1, 0x08003600, std::string("QV,7810    HW1 R1 2016 CIS M $$ZLM") + std::string(1, '\0')));
    return {name, profile, [](MassStorageController& link, sim::VirtualDetector& device) {
                ConnectedTargetInfo record;
                ConnectedTargetInit init;
                ASSERT_TRUE(init.ConnectedDeviceInit(record, link)) << record.ErrorMessage() << "\n"
                                                                    << device.traceText();
                EXPECT_EQ(record.Info_VerifyBlock_GPS_Address(), 0x08003700U);
                EXPECT_EQ(record.Info_VerifyBlock_RD_Address(), 35792U);
                EXPECT_EQ(record.ConnectedDevice_Name(), "7810");
                EXPECT_EQ(record.ConnectedDevice_KewordForWebAcess(), "RV7810M");
            }};
}

Scenario radarAfterStalledGps() {
    constexpr std::string_view kMarker = "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~$:";
    sim::DeviceProfile profile;
    profile.memory.push_back(text(0, 0x08002F00, std::string(kMarker) + "4810GX1512011200"));
    profile.memory.push_back(text(1, 0x08001C00, std::string(kMarker) + "4810RD1604010800"));
    profile.faults.push_back(readFault(sim::FaultKind::StallData, 0, 0x08002F00));
    return {"GpsVersionStallStillGivesTheRadarVersion", profile,
            [](MassStorageController& link, sim::VirtualDetector& device) {
                ConnectedTargetInfo record;
                record.setIsIncludeStar(0);
                record.setConnectedDevice_Name_forVerify("4810");
                record.setInfo_VerifyBlock_GPS_Address(0x08002F00);
                record.setInfo_VerifyBlock_RD_Address(0x08001C00);
                record.setInfo_GPS_App_PageSize(256);
                record.setInfo_RD_App_PageSize(256);
                ConnectedTargetInit init;
                EXPECT_TRUE(init.getDeviceVersion(record, link));
                EXPECT_EQ(record.ConnectedDevice_Version_GPS_Current(), "UNKNOWN");
                EXPECT_EQ(record.ConnectedDevice_Version_RD_Current(), "1604010800")
                    << device.traceText();
                EXPECT_EQ(record.ConnectedDevice_Version_RD_Current_detail(), "4810RD1604010800");
            }};
}

} // namespace

std::vector<Scenario> all() {
    return {
        nextReadAfter("StalledReadThenTheNextReadGetsItsOwnPage", sim::FaultKind::StallData),
        nextReadAfter("TimedOutReadThenTheNextReadGetsItsOwnPage", sim::FaultKind::NoAnswer),
        starredNameFromSecondRow(
            "StarredNameRowZeroStalls",
            R"({"kind": "stall-data", "operation": "read", "selector": 1, "address": "0x08002E00"})"),
        starredNameFromSecondRow(
            "StarredNameRowZeroTimesOut",
            R"({"kind": "no-answer", "phase": "data", "operation": "read", "selector": 1, )"
            R"("address": "0x08002E00", "times": 1})"),
        radarAfterStalledGps(),
    };
}

} // namespace recovery_scenarios
