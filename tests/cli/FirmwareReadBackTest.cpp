// verify's comparison against a virtual detector before and after a real update.

#include "cli/FirmwareReadBack.hpp"

#include "app/FlowFixture.hpp"
#include "app/TableLocalizer.hpp"
#include "cli/CliTexts.hpp"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using flow_testing::FlowRig;

// Bravo holds two cameras in the small catalog.
void updateWithBravo(FlowRig& rig) {
    rig.connect();
    ASSERT_EQ(rig.controller->connectOutcome(), ViewController::Outcome::Succeeded);
    rig.presenter.script = [](SelectionDBViewController& d) {
        d.tableView_shouldSelectRow(1);
        d.btn_Selecte_Click_Event();
    };
    rig.download();
    ASSERT_EQ(rig.controller->downloadOutcome(), ViewController::Outcome::Succeeded);
}

std::string summary(const ReadBackStage& s) {
    char text[128];
    std::snprintf(text, sizeof text, "%s sel=%u pages=%llu differ=%llu unreadable=%llu first=%s",
                  s.name.c_str(), s.selector, static_cast<unsigned long long>(s.pages),
                  static_cast<unsigned long long>(s.differingPages),
                  static_cast<unsigned long long>(s.unreadablePages),
                  s.firstDifference ? std::to_string(*s.firstDifference).c_str() : "-");
    return text;
}

std::vector<std::string> summaries(const FirmwareReadBack& r) {
    std::vector<std::string> lines;
    for (const auto& s : r.stages()) {
        lines.push_back(summary(s));
    }
    return lines;
}

TEST(FirmwareReadBack, AfterAnUpdateEverythingIsTheSameAndNothingIsWritten) {
    FlowRig rig(flow_testing::smallCatalog(), flow_testing::profile("signature-5810e.json"));
    updateWithBravo(rig);
    const auto writes = rig.writeCount();
    const auto record = rig.controller->connectedTargetInfo();
    const auto r = FirmwareReadBack::compare(*record, *rig.controller->massStorageController());
    EXPECT_EQ(summaries(r), (std::vector<std::string>{
                                "RD sel=1 pages=4 differ=0 unreadable=0 first=-",
                                "GPS sel=0 pages=32 differ=0 unreadable=0 first=-",
                                "RD verify block sel=1 pages=1 differ=0 unreadable=0 first=-",
                                "GPS verify block sel=0 pages=1 differ=0 unreadable=0 first=-"}));
    EXPECT_TRUE(r.allSame());
    EXPECT_TRUE(r.databaseHeader().readable);
    EXPECT_EQ(r.databaseHeader().count, 2);
    EXPECT_TRUE(r.databaseHeader().complementHolds);
    EXPECT_EQ(rig.writeCount(), writes);
    EXPECT_EQ(r.json()["stages"][1]["result"], "same");
}

TEST(FirmwareReadBack, AByteThatReadsBackWrongIsNamedWithItsAddress) {
    FlowRig rig(flow_testing::smallCatalog(), flow_testing::profile("signature-5810e.json"));
    updateWithBravo(rig);
    // A byte in the GPS area's third page (0x08004000 + 2 * 0x100 + 0x17).
    sim::Fault fault = sim::Fault::make(sim::FaultKind::CorruptRead, sim::Operation::Read);
    fault.selector = 0;
    fault.address = 0x08004217;
    rig.detector->addFault(fault);
    const auto record = rig.controller->connectedTargetInfo();
    const auto r = FirmwareReadBack::compare(*record, *rig.controller->massStorageController());
    EXPECT_EQ(summary(r.stages()[1]),
              "GPS sel=0 pages=32 differ=1 unreadable=0 first=" + std::to_string(0x08004217));
    EXPECT_TRUE(r.stages()[0].same());
    EXPECT_FALSE(r.allSame());
    EXPECT_EQ(r.json()["stages"][1]["result"], "differs");
    EXPECT_EQ(r.json()["stages"][1]["firstDifference"], 0x08004217);
}

TEST(FirmwareReadBack, BeforeAnUpdateTheImagesDifferFromTheirFirstPage) {
    FlowRig rig(flow_testing::smallCatalog(), flow_testing::profile("signature-5810e.json"));
    rig.connect();
    ASSERT_EQ(rig.controller->connectOutcome(), ViewController::Outcome::Succeeded);
    const auto record = rig.controller->connectedTargetInfo();
    int asked = 0;
    // Stopped after the RD stage's four pages: the rest counts as unreadable.
    const auto r = FirmwareReadBack::compare(*record, *rig.controller->massStorageController(),
                                             [&] { return ++asked > 4; });
    ASSERT_EQ(r.stages().size(), 4U);
    EXPECT_EQ(r.stages()[0].differingPages, 4U);
    EXPECT_EQ(r.stages()[0].unreadablePages, 0U);
    EXPECT_EQ(r.stages()[0].firstDifference, 0x08003000U);
    EXPECT_EQ(summary(r.stages()[1]),
              "GPS sel=0 pages=32 differ=32 unreadable=32 first=" + std::to_string(0x08004000));
    EXPECT_FALSE(r.databaseHeader().readable);
    EXPECT_EQ(rig.writeCount(), 0U);
}

TEST(FirmwareReadBack, WhatAnUpdateOfThisModelDoesNotWriteIsNotADifference) {
    // As a model whose device information disables the database is left by an update: the
    // images and the RD block written, no GPS verify block.
    FlowRig rig(flow_testing::smallCatalog(), flow_testing::profile("signature-5810e.json"));
    updateWithBravo(rig);
    const auto updated = rig.controller->connectedTargetInfo();
    rig.detector->writeMemory(
        0, updated->Info_VerifyBlock_GPS_Address(),
        std::vector<std::uint8_t>(ViewController::kGpsVerifyBlockLength, 0xFF));
    updated->setConnectedDevice_Enable_DATABASE_Firmware(0);
    const auto record = rig.controller->connectedTargetInfo();
    const auto readCount = [&] {
        const auto trace = rig.detector->trace();
        return std::count_if(trace.begin(), trace.end(),
                             [](const auto& t) { return t.operation == sim::Operation::Read; });
    };
    const auto reads = readCount();
    const auto r = FirmwareReadBack::compare(*record, *rig.controller->massStorageController());
    EXPECT_EQ(summary(r.stages()[3]),
              "GPS verify block sel=0 pages=0 differ=0 unreadable=0 first=-");
    EXPECT_FALSE(r.stages()[3].written);
    EXPECT_FALSE(r.databaseHeader().written);
    EXPECT_TRUE(r.allSame());
    EXPECT_EQ(readCount() - reads, 4 + 32 + 1) << "nothing read for the unwritten parts";
    EXPECT_EQ(r.json()["stages"][3]["result"], "not written");
    EXPECT_NE(r.text(TableLocalizer(CliTexts::table(CliLanguage::English)))
                  .find("GPS verify block not written by an update of this model\n"),
              std::string::npos)
        << r.text(TableLocalizer(CliTexts::table(CliLanguage::English)));
}

} // namespace
