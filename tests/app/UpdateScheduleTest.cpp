// The schedule the window counts down from is the one the download really makes.

#include "app/UpdateSchedule.hpp"

#include "app/FlowFixture.hpp"

#include <gtest/gtest.h>

namespace {

using namespace flow_testing;

void chooseFirstTwo(SelectionDBViewController& dialog) {
    dialog.tableView_shouldSelectRow(0);
    dialog.tableView_shouldSelectRow(1);
    dialog.btn_Selecte_Click_Event();
}

// The recording pacer is the oracle: the pauses the download made after the connect ended.
void expectScheduleMatchesTheRun(const sim::UpdateCatalog& catalog,
                                 const std::string& profileFile) {
    FlowRig rig(catalog, profile(profileFile));
    rig.connect();
    ASSERT_EQ(rig.controller->connectOutcome(), ViewController::Outcome::Succeeded)
        << rig.state(Element::txt_Infomation).text;
    const std::size_t before = rig.recordingPacer.pauses().size();
    std::vector<double> planned;
    rig.presenter.script = [&](SelectionDBViewController& dialog) {
        chooseFirstTwo(dialog);
        // The writing has not started: the record holds the rebuilt database now.
        planned = UpdateSchedule::downloadPauses(*rig.controller->connectedTargetInfo());
    };
    rig.download();
    ASSERT_EQ(rig.controller->downloadOutcome(), ViewController::Outcome::Succeeded);
    const auto all = rig.recordingPacer.pauses();
    const std::vector<double> made(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    EXPECT_EQ(planned, made);
}

TEST(UpdateScheduleTest, MatchesTheDownloadsPausesWithAnRdStage) {
    expectScheduleMatchesTheRun(smallCatalog(), "signature-5810e.json");
}

TEST(UpdateScheduleTest, MatchesTheDownloadsPausesOnAStarredDevice) {
    // Selector 1 for the GPS image; its RD version is current, so no RD stage.
    expectScheduleMatchesTheRun(smallCatalog("ORIGINAL", true, "RV7810M", "7810"),
                                "star-7810m.json");
}

TEST(UpdateScheduleTest, PagesAndTimeLeftFromTheSchedule) {
    EXPECT_EQ(UpdateSchedule::pages(0x100, 0x100, 0x100), 0U);
    EXPECT_EQ(UpdateSchedule::pages(0, 0x101, 0x100), 2U);
    EXPECT_EQ(UpdateSchedule::pages(4, 0x1004, 0x1000), 1U);
    EXPECT_EQ(UpdateSchedule::pages(0x200, 0x100, 0x100), 0U); // backwards: refused
    EXPECT_EQ(UpdateSchedule::pages(0, 0x100, 0), 0U);
    EXPECT_EQ(UpdateSchedule::pages(0, 0x2000, 0x2000), 0U); // above 4096: refused
    const std::vector<double> pauses{0.15, 0.15, 1.0, 0.07, 0.07, 1.0};
    EXPECT_DOUBLE_EQ(UpdateSchedule::secondsLeft(pauses, 0), 2.44);
    EXPECT_DOUBLE_EQ(UpdateSchedule::secondsLeft(pauses, 3), 1.14);
    EXPECT_DOUBLE_EQ(UpdateSchedule::secondsLeft(pauses, 6), 0.0);
    EXPECT_DOUBLE_EQ(UpdateSchedule::secondsLeft(pauses, 9), 0.0);
}

} // namespace
