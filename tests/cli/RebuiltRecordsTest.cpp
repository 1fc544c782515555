// The plan's database size comes from the rebuild, not from the counts the server announced.

#include "app/FlowFixture.hpp"
#include "cli/UpdatePlan.hpp"

#include <gtest/gtest.h>

namespace {

TEST(RebuiltRecords, CountsTheRecordsTheRebuildKeepsNotTheAnnouncedTotal) {
    auto catalog = flow_testing::smallCatalog();
    // The server counts this camera as Strelka (type 0 by its leading integer); the rebuild
    // reads the type 0.5 and keeps it when Strelka cameras are left out.
    catalog.cameras.push_back("0.5,55.400000,37.500000,90,60,0,Alpha");
    flow_testing::FlowRig rig(std::move(catalog), flow_testing::profile("signature-5810e.json"));
    rig.connect();
    ASSERT_EQ(rig.controller->connectOutcome(), ViewController::Outcome::Succeeded);
    const auto record = rig.controller->connectedTargetInfo();
    SelectionDBViewController dialog;
    dialog.setDataValue(record->Country_Name(), record->Country_SpeedCam_Num(),
                        record->Country_Strelka_Num(), record->Country_Fake_Num(),
                        record->Country_Total_Num());
    dialog.viewDidLoad();
    dialog.setCheckBox_StrelkaState(true);
    dialog.CheckBox_Strelka_Event();
    dialog.tableView_shouldSelectRow(0);
    // Alpha: types 0, 9, 1 and 0.5; the server announces 4 cameras, 2 of them Strelka.
    ASSERT_EQ(dialog.total_selected_db_num(), 2U);
    const auto before = record->Download_Firmware_DATABASE();
    EXPECT_EQ(UpdatePlan::rebuiltRecords(*record, *rig.controller->webServer_GetDataBase(),
                                         dialog.arOptions_Check(), true, false),
              3U);
    EXPECT_EQ(UpdatePlan::rebuiltRecords(*record, *rig.controller->webServer_GetDataBase(),
                                         dialog.arOptions_Check(), false, true),
              3U);
    EXPECT_EQ(record->Download_Firmware_DATABASE(), before) << "the record is left alone";
}

} // namespace
