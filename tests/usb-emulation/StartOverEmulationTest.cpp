// Two whole updates in one process on the real libusb path: between them the window's start
// over takes the process-wide link down (controller gone, open interface and bus released)
// and the next run finds the still-plugged detector again.

#include "app/FlowFixture.hpp"
#include "usb-emulation/UsbEmulation.hpp"
#include "usb/MassStorageController.hpp"

#include <gtest/gtest.h>

namespace {

using namespace flow_testing;

TEST(StartOverEmulation, TwoUpdatesInOneProcessReopenTheStillPluggedDetector) {
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"));
    testing_support::UsbEmulation usb;
    usb.plug(2, rig.detector);
    rig.makeLink = [] { return std::make_unique<MassStorageController>(); };
    rig.presenter.script = [](SelectionDBViewController& dialog) {
        dialog.tableView_shouldSelectRow(0);
        dialog.btn_Selecte_Click_Event();
    };

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        rig.rebuild();
        // The old controller stopped the shared client on its way out, as quitting does.
        rig.server.client().resume();
        rig.ended.clear();
        const std::size_t writesBefore = rig.writeCount();
        rig.connect();
        ASSERT_EQ(rig.controller->connectOutcome(), ViewController::Outcome::Succeeded)
            << rig.state(Element::txt_Infomation).text;
        EXPECT_FALSE(usb.driverBound(2)) << "the link holds the interface";
        EXPECT_EQ(usb.driverDetachCount(2), run);
        rig.download();
        ASSERT_EQ(rig.controller->downloadOutcome(), ViewController::Outcome::Succeeded)
            << rig.state(Element::txt_Infomation).text;
        EXPECT_GT(rig.writeCount(), writesBefore);
        EXPECT_EQ(rig.state(Element::txt_device_rd_version).textColour, Colour::Green);

        // Start over: the controller with its record, workers and link, then the link's
        // process-wide state. The kernel gets the interface back: the device is free.
        rig.controller.reset();
        usb::releaseOpenInterface();
        EXPECT_EQ(intf, nullptr);
        EXPECT_EQ(gNotifyPort, nullptr);
        EXPECT_TRUE(usb.driverBound(2)) << "the interface is still claimed";
    }
    EXPECT_EQ(rig.finishRequests().size(), 2U);
}

} // namespace
