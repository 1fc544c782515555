#include "server/RateWindow.hpp"

#include <gtest/gtest.h>

using server::RateWindow;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

const RateWindow::Clock::time_point t0{};

// Bytes so far at a time since the start; true when the window found the transfer too slow.
struct Step {
    milliseconds at;
    std::uint64_t total;
    bool tooSlow;
};

struct RateCase {
    const char* name;
    std::vector<Step> steps;
};

class RateWindowTest : public testing::TestWithParam<RateCase> {};

TEST_P(RateWindowTest, FailsOnlyAWholeWindowBelowTheFloor) {
    // The defaults: 100 bytes per second over 60 s, so 6000 bytes per window.
    RateWindow rate(seconds(60), 100, t0);
    for (const auto& s : GetParam().steps) {
        EXPECT_EQ(rate.tooSlow(t0 + s.at, s.total), s.tooSlow)
            << GetParam().name << " at " << s.at.count() << " ms";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RateWindowTest,
    testing::Values(
        // One byte every 20 s never trips a 30 s inactivity time-out, but trips this.
        RateCase{"one byte per 20 s",
                 {{seconds(20), 1, false}, {seconds(40), 2, false}, {seconds(60), 3, true}}},
        RateCase{"exactly the floor", {{seconds(30), 3000, false}, {seconds(60), 6000, false}}},
        RateCase{"one byte short", {{seconds(30), 3000, false}, {seconds(60), 5999, true}}},
        // A fast start does not buy a later stall: the window slides.
        RateCase{"burst, then a trickle",
                 {{seconds(1), 100000, false},
                  {seconds(30), 100000, false},
                  {seconds(60), 100001, false},
                  {seconds(90), 100002, true}}},
        RateCase{"steady and slow enough",
                 {{seconds(60), 7000, false},
                  {seconds(120), 14000, false},
                  {seconds(180), 21000, false}}}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (auto& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(RateWindow, AZeroWindowOrFloorNeverTrips) {
    RateWindow noWindow(milliseconds(0), 100, t0);
    EXPECT_FALSE(noWindow.tooSlow(t0 + seconds(600), 0));
    RateWindow noFloor(seconds(60), 0, t0);
    EXPECT_FALSE(noFloor.tooSlow(t0 + seconds(600), 0));
}

} // namespace
