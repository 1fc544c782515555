#include "app/RecordingPacer.hpp"

#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(RecordingPacerTest, RecordsEveryPauseInOrderWithoutSleeping) {
    RecordingPacer pacer;
    Pacer& asPacer = pacer;
    // An hour of pauses must come back at once; ctest's time-out would catch a real sleep.
    EXPECT_TRUE(asPacer.pause(5.0));
    EXPECT_TRUE(asPacer.pause(1.0));
    EXPECT_TRUE(asPacer.pause(0.15));
    EXPECT_TRUE(asPacer.pause(3600.0));
    EXPECT_TRUE(asPacer.pause(0.0));
    EXPECT_EQ(pacer.pauses(), (std::vector<double>{5.0, 1.0, 0.15, 3600.0, 0.0}));
    EXPECT_DOUBLE_EQ(pacer.total(), 3606.15);
}

TEST(RecordingPacerTest, ClearForgetsThePauses) {
    RecordingPacer pacer;
    pacer.pause(0.07);
    pacer.clear();
    EXPECT_TRUE(pacer.pauses().empty());
    EXPECT_EQ(pacer.total(), 0.0);
    pacer.pause(0.07);
    EXPECT_EQ(pacer.pauses(), (std::vector<double>{0.07}));
}

} // namespace
