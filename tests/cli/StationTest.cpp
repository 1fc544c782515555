// The station's scheduling, its live lines, its log and its two Ctrl-Cs.
#include "cli/StationFixture.hpp"

namespace {

using namespace std::chrono_literals;
using namespace station_test;

TEST_F(StationTest, DetectorsPluggedInOneAfterAnotherAreEachUpdatedOnceAndReplugIsANewJob) {
    start(2);
    m_bus->plug("1-1");
    ASSERT_TRUE(waitFor([&] { return logged() == 1; }, 60s)) << output();
    m_bus->plug("1-2");
    m_bus->plug("1-3");
    ASSERT_TRUE(waitFor([&] { return logged() == 3; }, 60s)) << output();
    m_bus->plug("1-1"); // plugged in again
    EXPECT_EQ(finish(), 0) << output();

    const auto lines = logLines(m_folder / "station.jsonl");
    ASSERT_EQ(lines.size(), 4U);
    std::map<std::string, int> perPort;
    for (const auto& line : lines) {
        ++perPort[line["port"].get<std::string>()];
        EXPECT_EQ(line["result"], "complete") << line;
        EXPECT_EQ(line["model"], "5810 SIGNATURE") << line;
        EXPECT_EQ(line["error"], "") << line;
        EXPECT_EQ(line["versionsBefore"]["gps"], "5810Gx1604150900") << line;
        EXPECT_NE(line["versionsAfter"]["gps"], line["versionsBefore"]["gps"]) << line;
        EXPECT_GT(line["pagesWritten"].get<int>(), 0) << line;
        EXPECT_EQ(line["pagesWritten"], lines[0]["pagesWritten"]) << line;
        EXPECT_LE(line["start"].get<std::string>(), line["end"].get<std::string>());
    }
    EXPECT_EQ(perPort, (std::map<std::string, int>{{"1-1", 2}, {"1-2", 1}, {"1-3", 1}}));
    EXPECT_EQ(readFile(m_folder / "1-2" / "selector0.hex"),
              readFile(m_folder / "1-3" / "selector0.hex"));
    EXPECT_NE(output().find("Station: 4 device(s), 4 completed, 0 failed"), std::string::npos)
        << output();
}

TEST_F(StationTest, UnplugInTheMiddleFailsThatDeviceOnly) {
    start(2, {"1-2"}, {}, true);
    m_bus->plug("1-1");
    m_bus->plug("1-2");
    EXPECT_EQ(finish(), 1) << output();
    const auto lines = logLines(m_folder / "station.jsonl");
    ASSERT_EQ(lines.size(), 2U);
    std::map<std::string, nlohmann::json> byPort;
    for (const auto& line : lines) {
        byPort[line["port"].get<std::string>()] = line;
    }
    EXPECT_EQ(byPort["1-1"]["result"], "complete");
    EXPECT_EQ(byPort["1-2"]["result"], "failed");
    EXPECT_FALSE(byPort["1-2"]["error"].get<std::string>().empty());
    EXPECT_EQ(byPort["1-2"]["versionsAfter"]["gps"], "5810Gx1604150900")
        << "the failed device keeps its versions";
    const auto out = output();
    EXPECT_NE(out.find("Station: 2 device(s), 1 completed, 1 failed"), std::string::npos) << out;
    // On a terminal the live lines are redrawn in place, and each result stays above them.
    // How many lines are live at a redraw depends on timing: both jobs may end in one round.
    EXPECT_TRUE(std::regex_search(out, std::regex("\033\\[[12]A\033\\[J"))) << out;
    EXPECT_NE(out.find("1-1        5810 SIGNATURE     COMPLETE\n"), std::string::npos) << out;
    EXPECT_NE(out.find("1-2        5810 SIGNATURE     FAIL: "), std::string::npos) << out;
    EXPECT_NE(out.find("  1 failed: " + byPort["1-2"]["error"].get<std::string>()),
              std::string::npos)
        << out;
}

TEST_F(StationTest, FirstCtrlCLetsTheRunningFinishAndTakesNoMoreTheSecondStopsThem) {
    start(4, {}, {"1-1", "1-2"});
    m_bus->plug("1-1");
    ASSERT_TRUE(
        waitFor([&] { return output().find("1-1: update started") != std::string::npos; }, 10s));
    m_station->interrupt();
    m_bus->plug("1-2");
    ASSERT_TRUE(waitFor([&] { return output().find("1-2: not taken") != std::string::npos; }, 10s))
        << output();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(logged(), 0U) << "the running update goes on after the first Ctrl-C";
    // Stopped while it updates, not while it is still starting (slow under Wine).
    ASSERT_TRUE(waitFor(
        [&] { return std::regex_search(output(), std::regex("1-1: (?!update started)")); }, 30s))
        << output();
    const auto second = std::chrono::steady_clock::now();
    m_station->interrupt();
    EXPECT_EQ(finish(), 1) << output();
    EXPECT_LT(std::chrono::steady_clock::now() - second, 5s);
    const auto lines = logLines(m_folder / "station.jsonl");
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0]["port"], "1-1");
    EXPECT_EQ(lines[0]["result"], "interrupted") << lines[0];
}

TEST_F(StationTest, WaitShorterThanASurveyStillTakesTheDetectorsPluggedIn) {
    m_idle = 0ms;
    m_bus->plug("1-1");
    start(1);
    EXPECT_EQ(finish(), 0) << output();
    EXPECT_NE(output().find("Station: 1 device(s), 1 completed"), std::string::npos) << output();
}

} // namespace
