#include "sim/VirtualDetector.hpp"
#include "support/TestSupport.hpp"
#include "usb-emulation/UsbEmulation.hpp"
#include "usb/LibusbBus.hpp"
#include "usb/LibusbTransport.hpp"
#include "usb/MassStorageController.hpp"
#include "usb/RecoveryScenarios.hpp"

#include <chrono>
#include <cstdio>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using testing_support::hex;
using testing_support::UsbEmulation;

std::shared_ptr<sim::VirtualDetector> detector(std::uint16_t release = 0x0200) {
    sim::DeviceProfile profile;
    profile.release = release;
    return std::make_shared<sim::VirtualDetector>(profile);
}

class LibusbEmulationTest : public testing::Test {
protected:
    void TearDown() override {
        if (waiter.valid()) {
            link->requestStop();
            waiter.wait_for(5s);
        }
        usb::releaseOpenInterface();
        link.reset();
    }

    // Runs MassStorageControllerInit on a worker, as the connect sequence does.
    void startInit() {
        waiter = std::async(std::launch::async, [this] { link->MassStorageControllerInit(); });
    }
    bool initReturnsWithin(std::chrono::milliseconds bound) {
        return waiter.wait_for(bound) == std::future_status::ready;
    }

    UsbEmulation usb;
    std::unique_ptr<MassStorageController> link;
    std::future<void> waiter;
};

TEST_F(LibusbEmulationTest, SkipsTheWrongReleaseAndOpensTheRightDevice) {
    auto old = detector(0x0100);
    auto good = detector(0x0200);
    usb.plug(2, old);
    usb.plug(3, good);
    link = std::make_unique<MassStorageController>();
    startInit();
    ASSERT_TRUE(initReturnsWithin(10s));
    ASSERT_TRUE(link->Check_UsbConnection());
    std::vector<std::uint8_t> page(256);
    ASSERT_TRUE(link->ReadFromDevice(0, 0, page, 256, *link));
    EXPECT_EQ(good->completedTransactions(), 1U);
    EXPECT_EQ(old->completedTransactions(), 0U);
    auto* pipes = dynamic_cast<usb::LibusbTransport*>(link->intf_final().get());
    ASSERT_NE(pipes, nullptr);
    EXPECT_EQ(pipes->outEndpoint(), 0x02);
    EXPECT_EQ(pipes->inEndpoint(), 0x81);
}

TEST_F(LibusbEmulationTest, KernelDriverIsDetachedOnClaimAndGivenBackOnRelease) {
    usb.plug(2, detector());
    ASSERT_TRUE(usb.driverBound(2));
    link = std::make_unique<MassStorageController>();
    startInit();
    ASSERT_TRUE(initReturnsWithin(10s));
    ASSERT_TRUE(link->Check_UsbConnection());
    EXPECT_EQ(usb.driverDetachCount(2), 1);
    EXPECT_FALSE(usb.driverBound(2));
    waiter.get();
    usb::releaseOpenInterface();
    link.reset();
    EXPECT_TRUE(usb.driverBound(2));
}

TEST_F(LibusbEmulationTest, DeviceHeldByAnotherProgramIsSkippedWithAReason) {
    usb.plug(2, detector(), {true, true});
    link = std::make_unique<MassStorageController>();
    startInit();
    EXPECT_FALSE(initReturnsWithin(600ms));
    link->requestStop();
    ASSERT_TRUE(initReturnsWithin(2s));
    EXPECT_FALSE(link->Check_UsbConnection());
    ASSERT_TRUE(usb::lastSkipReason().has_value());
    EXPECT_NE(usb::lastSkipReason()->find("BUSY"), std::string::npos) << *usb::lastSkipReason();
}

TEST_F(LibusbEmulationTest, InterfaceWithoutBulkEndpointsIsSkippedWithAClearReason) {
    usb.plug(2, detector(), {.bulkEndpoints = false});
    link = std::make_unique<MassStorageController>();
    std::vector<usb::SkipReason> told;
    std::mutex toldMutex;
    link->setSkipListener([&](const std::optional<usb::SkipReason>& reason) {
        const std::lock_guard lock(toldMutex);
        if (reason) {
            told.push_back(*reason);
        }
    });
    startInit();
    EXPECT_FALSE(initReturnsWithin(600ms));
    link->requestStop();
    ASSERT_TRUE(initReturnsWithin(2s));
    EXPECT_FALSE(link->Check_UsbConnection());
    const std::lock_guard lock(toldMutex);
    ASSERT_EQ(told.size(), 1U);
    EXPECT_EQ(told[0].kind, usb::SkipKind::SetupFailed);
    EXPECT_EQ(told[0].text, "interface 0 of bus 1 device 2 has no bulk IN or OUT endpoint");
}

class ArrivalTest : public LibusbEmulationTest, public testing::WithParamInterface<bool> {};

TEST_P(ArrivalTest, DeviceArrivingWhileTheLinkWaitsIsOpened) {
    const bool polling = GetParam();
    auto created = usb::LibusbBus::create(0x0483, 0x5720, {polling});
    ASSERT_TRUE(std::holds_alternative<std::shared_ptr<usb::LibusbBus>>(created));
    auto bus = std::get<std::shared_ptr<usb::LibusbBus>>(created);
    EXPECT_EQ(bus->usesHotplug(), !polling);
    link = std::make_unique<MassStorageController>(bus);
    startInit();
    ASSERT_FALSE(initReturnsWithin(300ms)) << "returned without a device";
    const auto plugged = std::chrono::steady_clock::now();
    usb.plug(2, detector());
    ASSERT_TRUE(initReturnsWithin(10s)) << usb::lastSkipReason().value_or("no device skipped");
    const auto latency = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - plugged);
    std::printf("arrival to return (%s): %lld ms\n", polling ? "polling" : "hotplug",
                static_cast<long long>(latency.count()));
    RecordProperty("arrival_to_return_ms", static_cast<int>(latency.count()));
    EXPECT_TRUE(link->Check_UsbConnection());
}

// Forced polling does not yet see arrivals under the emulation (the device list is not
// refreshed there); only the hotplug path runs here.
INSTANTIATE_TEST_SUITE_P(Modes, ArrivalTest, testing::Values(false),
                         [](const auto& info) { return info.param ? "Polling" : "Hotplug"; });

class PageTest : public LibusbEmulationTest, public testing::WithParamInterface<std::uint32_t> {};

TEST_P(PageTest, WriteAndReadBackThroughLibusb) {
    auto device = detector();
    usb.plug(2, device);
    link = std::make_unique<MassStorageController>();
    startInit();
    ASSERT_TRUE(initReturnsWithin(10s));
    ASSERT_TRUE(link->Check_UsbConnection());
    const std::uint32_t size = GetParam();
    std::vector<std::uint8_t> data(size);
    for (std::uint32_t i = 0; i < size; ++i) {
        data[i] = static_cast<std::uint8_t>(i ^ (i >> 8U) ^ 0x5A);
    }
    ASSERT_TRUE(link->WriteToDevice(1, 0x10000, data, size, *link));
    std::vector<std::uint8_t> back(size);
    ASSERT_TRUE(link->ReadFromDevice(1, 0x10000, back, size, *link));
    EXPECT_EQ(hex(back), hex(data));
    EXPECT_EQ(hex(device->readMemory(1, 0x10000, size)), hex(data));
    EXPECT_EQ(hex(std::span<const std::uint8_t>(gBuffer).first(4)), hex("55534253"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, PageTest, testing::Values(256U, 1024U, 4096U));

TEST_F(LibusbEmulationTest, SilentDeviceGivesFalseWithinTheTimeout) {
    auto device = detector();
    auto silent = sim::Fault::make(sim::FaultKind::NoAnswer, sim::Operation::Read);
    silent.phase = sim::Phase::Data;
    silent.times = 1;
    device->addFault(silent);
    usb.plug(2, device);
    link = std::make_unique<MassStorageController>();
    link->setTimeouts({300ms, 300ms});
    startInit();
    ASSERT_TRUE(initReturnsWithin(10s));
    ASSERT_TRUE(link->Check_UsbConnection());
    std::vector<std::uint8_t> page(256);
    auto reading = std::async(std::launch::async,
                              [&] { return link->ReadFromDevice(0, 0, page, 256, *link); });
    ASSERT_EQ(reading.wait_for(5s), std::future_status::ready) << "the read hangs";
    EXPECT_FALSE(reading.get());
    EXPECT_EQ(kr, usb::resultCode(usb::UsbErrorKind::Timeout)) << device->traceText();
    // The device still holds the page; the host's reset recovery goes through usbfs.
    EXPECT_NE(device->traceText().find("read in sel=0 addr=0x00000000 len=256 no answer, reset\n"
                                       "reset ok\n"
                                       "clear-halt ep=0x81 ok\n"
                                       "clear-halt ep=0x02 ok\n"),
              std::string::npos)
        << device->traceText();
    EXPECT_TRUE(link->ReadFromDevice(0, 0, page, 256, *link)) << "the next transaction works";
}

// libusb sends the class reset as a control URB; a program may also use the synchronous ioctl.
TEST_F(LibusbEmulationTest, UsbfsControlRequestsReachTheDevice) {
    auto device = detector();
    usb.plug(2, device);
    const int fd = ::open("/dev/bus/usb/001/002", O_RDWR);
    ASSERT_GE(fd, 0);
    usbdevfs_ctrltransfer reset{};
    reset.bRequestType = 0x21;
    reset.bRequest = 0xFF;
    reset.timeout = 300;
    EXPECT_EQ(::ioctl(fd, USBDEVFS_CONTROL, &reset), 0);
    unsigned int endpoint = 0x81;
    EXPECT_EQ(::ioctl(fd, USBDEVFS_CLEAR_HALT, &endpoint), 0);
    endpoint = 0x03;
    EXPECT_EQ(::ioctl(fd, USBDEVFS_CLEAR_HALT, &endpoint), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(fd);
    EXPECT_EQ(device->traceText(), "reset ok\n"
                                   "clear-halt ep=0x81 ok\n"
                                   "control refused: request 02 01 0000 0003 0000\n");
}

class RecoveryNeeded : public LibusbEmulationTest,
                       public testing::WithParamInterface<recovery_scenarios::Scenario> {};

TEST_P(RecoveryNeeded, NextCommandWorks) {
    auto device = std::make_shared<sim::VirtualDetector>(GetParam().profile);
    usb.plug(2, device);
    link = std::make_unique<MassStorageController>();
    link->setTimeouts({300ms, 300ms});
    startInit();
    ASSERT_TRUE(initReturnsWithin(10s));
    ASSERT_TRUE(link->Check_UsbConnection());
    GetParam().run(*link, *device);
}

INSTANTIATE_TEST_SUITE_P(UnderEmulation, RecoveryNeeded,
                         testing::ValuesIn(recovery_scenarios::all()),
                         [](const auto& info) { return info.param.name; });

TEST_F(LibusbEmulationTest, UnplugInTheMiddleOfATransferGivesFalse) {
    auto device = detector();
    auto unplug = sim::Fault::make(sim::FaultKind::Unplug);
    unplug.after = 1;
    device->addFault(unplug);
    usb.plug(2, device);
    link = std::make_unique<MassStorageController>();
    startInit();
    ASSERT_TRUE(initReturnsWithin(10s));
    ASSERT_TRUE(link->Check_UsbConnection());
    std::vector<std::uint8_t> page(4096, 0x77);
    ASSERT_TRUE(link->WriteToDevice(0, 0, page, 4096, *link));
    auto writing = std::async(std::launch::async,
                              [&] { return link->WriteToDevice(0, 4096, page, 4096, *link); });
    ASSERT_EQ(writing.wait_for(15s), std::future_status::ready) << "the write hangs";
    EXPECT_FALSE(writing.get());
    EXPECT_EQ(kr, usb::resultCode(usb::UsbErrorKind::NoDevice));
    usb.unplug(2);
    EXPECT_TRUE(link->Check_UsbConnection()) << "removal is not watched";
    EXPECT_FALSE(link->ReadFromDevice(0, 0, page, 256, *link));
}

TEST_F(LibusbEmulationTest, StopEndsTheWaitPromptly) {
    link = std::make_unique<MassStorageController>();
    startInit();
    ASSERT_FALSE(initReturnsWithin(300ms));
    link->requestStop();
    EXPECT_TRUE(initReturnsWithin(1s));
    EXPECT_FALSE(link->Check_UsbConnection());
}

} // namespace
