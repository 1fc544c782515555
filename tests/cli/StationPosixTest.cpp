// What the station's children inherit, as Linux shows it.
#include "cli/StationFixture.hpp"

namespace {

using namespace station_test;

TEST_F(StationTest, ChildrenDoNotInheritTheLog) {
    const auto fds = m_folder / "fds.txt";
    m_command = [&](const std::string&) {
        return std::vector<std::string>{"/bin/sh", "-c", "ls -l /proc/self/fd >" + fds.string()};
    };
    m_idle = 0ms;
    m_bus->plug("1-1");
    start(1);
    finish();
    const auto open = readFile(fds);
    EXPECT_NE(open.find("fds.txt"), std::string::npos) << open; // its own standard output
    EXPECT_EQ(open.find("station.jsonl"), std::string::npos) << open;
}

} // namespace
