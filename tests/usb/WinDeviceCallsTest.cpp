#include "usb/WinDeviceCalls.hpp"

#include "usb/StorageDriverBus.hpp"

#include <chrono>

#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

std::shared_ptr<usb::WinDeviceCalls> systemCalls() {
    auto calls = usb::makeSystemDeviceCalls();
    if (auto* error = std::get_if<usb::UsbError>(&calls)) {
        ADD_FAILURE() << error->message;
        return nullptr;
    }
    return std::get<std::shared_ptr<usb::WinDeviceCalls>>(calls);
}

TEST(WinDeviceCalls, AMissingDiskIsNoDevice) {
    const auto calls = systemCalls();
    ASSERT_NE(calls, nullptr);
    auto opened = calls->openDisk("\\\\.\\DetectorUpdaterNoSuchDisk");
    ASSERT_TRUE(std::holds_alternative<std::uint32_t>(opened));
    const auto error = usb::StorageDriverBus::openError(std::get<std::uint32_t>(opened), "it");
    EXPECT_EQ(error.kind, usb::UsbErrorKind::NoDevice) << error.message;
    for (const auto& disk : calls->presentDisks()) {
        EXPECT_FALSE(disk.path.empty());
    }
}

// The wait is a bounded poll that a wake ends; a wake with no one waiting ends the next wait.
TEST(WinDeviceCalls, TheWaitIsBoundedAndAWakeEndsIt) {
    const auto calls = systemCalls();
    ASSERT_NE(calls, nullptr);
    auto start = Clock::now();
    calls->waitForArrival(std::chrono::seconds(30));
    const auto bounded = Clock::now() - start;
    EXPECT_GE(bounded, std::chrono::milliseconds(200));
    EXPECT_LT(bounded, std::chrono::seconds(5));
    calls->wake();
    start = Clock::now();
    calls->waitForArrival(std::chrono::seconds(30));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(150));
    start = Clock::now();
    calls->waitForArrival(std::chrono::milliseconds(0));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(150));
}

} // namespace
