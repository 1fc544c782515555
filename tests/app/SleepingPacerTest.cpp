#include "app/SleepingPacer.hpp"

#include "app/FineTimer.hpp"

#include <chrono>
#include <cmath>
#include <limits>
#include <stop_token>
#include <thread>

#include <gtest/gtest.h>

namespace {

#ifdef _WIN32
constexpr std::uint32_t kFineTimerMs = 1;
#else
constexpr std::uint32_t kFineTimerMs = 0;
#endif

TEST(SleepingPacerTest, ShortPauseElapsesWithoutInterruption) {
    std::stop_source source;
    SleepingPacer pacer(source.get_token());
    // Only a lower bound: a pacer that returns early (or never sleeps) would rush the device.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(pacer.pause(0.03));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(pacer.interruptedPauses(), 0U);
    EXPECT_EQ(pacer.activePauses(), 0U);
}

TEST(SleepingPacerTest, DefaultTokenNeverStops) {
    SleepingPacer pacer;
    EXPECT_TRUE(pacer.pause(0.001));
    EXPECT_EQ(pacer.interruptedPauses(), 0U);
}

TEST(SleepingPacerTest, NotPositivePausesReturnAtOnce) {
    std::stop_source source;
    SleepingPacer pacer(source.get_token());
    for (const double seconds :
         {0.0, -1.0, std::nan(""), -std::numeric_limits<double>::infinity()}) {
        EXPECT_TRUE(pacer.pause(seconds)) << seconds;
    }
    EXPECT_EQ(pacer.interruptedPauses(), 0U);
}

TEST(SleepingPacerTest, StopRequestedBeforeThePauseEndsItAtOnce) {
    std::stop_source source;
    SleepingPacer pacer(source.get_token());
    source.request_stop();
    // A pause that would last a day must return false, and count as interrupted.
    EXPECT_FALSE(pacer.pause(86400.0));
    EXPECT_FALSE(pacer.pause(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(pacer.interruptedPauses(), 2U);
}

TEST(SleepingPacerTest, StopWakesARunningPause) {
    std::stop_source source;
    SleepingPacer pacer(source.get_token());
    bool elapsed = true;
    std::thread worker([&] { elapsed = pacer.pause(600.0); });
    // Wait until the worker is inside its pause, so the wake-up itself is what is tested.
    while (pacer.activePauses() == 0) {
        std::this_thread::yield();
    }
    // Windows would round the pause up to its 15.6 ms tick unless the 1 ms timer is asked for.
    EXPECT_EQ(FineTimer::requestedMilliseconds(), kFineTimerMs);
    source.request_stop();
    worker.join();
    EXPECT_FALSE(elapsed);
    EXPECT_EQ(pacer.interruptedPauses(), 1U);
    EXPECT_EQ(pacer.activePauses(), 0U);
    EXPECT_EQ(FineTimer::requestedMilliseconds(), 0U);
}

} // namespace
