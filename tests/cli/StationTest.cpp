// The station's scheduling, with detectors arriving on a scripted bus and each job a real
// detector-updater-cli child updating a virtual detector (--device sim:...).
#include "cli/Station.hpp"

#include "sim/UpdateCatalog.hpp"
#include "sim/UpdateServerSim.hpp"

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class PortDevice final : public usb::UsbDevice {
public:
    explicit PortDevice(std::string port)
        : m_port(std::move(port)) {}
    usb::DeviceIdentity identity() const override { return {0x0483, 0x5720, 0x0200}; }
    std::string describe() const override { return "scripted device"; }
    std::string portPath() const override { return m_port; }
    // The station never opens a device itself; its children do.
    usb::UsbStatus open() override {
        ADD_FAILURE() << "the station opened " << m_port;
        return usb::UsbError{usb::UsbErrorKind::Io, "not here"};
    }
    void close() override {}
    std::uint8_t numberOfConfigurations() override { return 0; }
    std::optional<std::uint8_t> configurationValue(std::uint8_t) override { return {}; }
    usb::UsbStatus setConfiguration(std::uint8_t) override { return std::nullopt; }
    std::variant<usb::OpenedInterface, usb::UsbError> openFirstInterface() override {
        return usb::UsbError{usb::UsbErrorKind::Io, "not here"};
    }

private:
    std::string m_port;
};

class ScriptedBus final : public usb::UsbBus {
public:
    void plug(const std::string& port) {
        {
            const std::lock_guard lock(m_mutex);
            m_pending.push_back(port);
        }
        m_changed.notify_all();
    }
    std::vector<std::unique_ptr<usb::UsbDevice>> takeMatched() override {
        const std::lock_guard lock(m_mutex);
        std::vector<std::unique_ptr<usb::UsbDevice>> out;
        for (const auto& port : m_pending) {
            out.push_back(std::make_unique<PortDevice>(port));
        }
        m_pending.clear();
        return out;
    }
    void waitForArrival(std::chrono::milliseconds timeout) override {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [this] { return m_woken || !m_pending.empty(); });
        m_woken = false;
    }
    void wake() override {
        {
            const std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_pending;
    bool m_woken = false;
};

std::string readFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<nlohmann::json> logLines(const fs::path& path) {
    std::vector<nlohmann::json> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        lines.push_back(nlohmann::json::parse(line)); // throws on a line that is not JSON
    }
    return lines;
}

class StationTest : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto catalog = sim::UpdateCatalog::load(DETECTOR_DEMO_CATALOG_DIR, error);
        ASSERT_TRUE(catalog) << error;
        m_server = std::make_unique<sim::UpdateServerSim>(std::move(*catalog));
        ASSERT_TRUE(m_server->start());
        m_folder = fs::temp_directory_path() /
                   ("station-" + std::to_string(::getpid()) + "-" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        // Unplugged after identification, in the middle of the firmware writing.
        std::ofstream(m_folder / "unplugs.json")
            << R"({"product": "CORVANTHIS UMSCPT DEVICE", "memory": [)"
            << R"({"selector": 0, "address": "0x08002E00", "text": "QV,5810 SIGNATURE HW2 R1 2016 CIS E $$ZLM\u0000"},)"
            << R"({"selector": 0, "address": "0x08002F00", "text": "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~$:5810GX1604150900"},)"
            << R"({"selector": 1, "address": "0x08001C00", "text": "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~$:5810RD1603011000"}],)"
            << R"("faults": [{"kind": "unplug", "after": 60}]})";
    }
    void TearDown() override {
        if (m_runner.joinable()) {
            m_station->interrupt();
            m_station->interrupt();
            m_runner.join();
        }
        if (m_out != nullptr) {
            std::fclose(m_out);
        }
        m_server->stop();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    // Starts the station; the detector on a port named in `unplugging` drops off mid-update,
    // and `paused` ports run with the real pauses.
    void start(unsigned jobs, std::set<std::string> unplugging = {},
               std::set<std::string> paused = {}, bool terminal = false) {
        Station::Options options;
        options.terminal = terminal;
        options.jobs = jobs;
        options.logFile = (m_folder / "station.jsonl").string();
        options.idle = m_idle;
        options.command = [this, unplugging, paused](const std::string& port) {
            if (m_command) {
                return m_command(port);
            }
            const std::string profile =
                unplugging.count(port) != 0
                    ? (m_folder / "unplugs.json").string()
                    : std::string(DETECTOR_PROFILES_DIR) + "/signature-5810e.json";
            std::vector<std::string> argv = {DETECTOR_CLI,
                                             "--device",
                                             "sim:" + profile,
                                             "--json",
                                             "--yes",
                                             "--server",
                                             m_server->baseAddress(),
                                             "--probe-url",
                                             m_server->baseAddress() + "/",
                                             "--dump-memory",
                                             (m_folder / port).string()};
            if (paused.count(port) == 0) {
                argv.emplace_back("--no-pauses");
            }
            argv.insert(argv.end(),
                        {"update", "--countries", "Latvija,Lietuva,Eesti", "--exclude-fake"});
            return argv;
        };
        m_out = std::fopen((m_folder / "out.txt").c_str(), "w+");
        m_station = std::make_unique<Station>(m_bus, std::move(options), m_out);
        m_runner = std::thread([this] { m_status = m_station->run(); });
    }

    int finish() {
        m_runner.join();
        std::fflush(m_out);
        return m_status;
    }

    std::string output() {
        std::fflush(m_out);
        return readFile(m_folder / "out.txt");
    }

    bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    std::size_t logged() {
        return fs::exists(m_folder / "station.jsonl") ? logLines(m_folder / "station.jsonl").size()
                                                      : 0;
    }

    std::chrono::milliseconds m_idle = 1500ms;
    std::function<std::vector<std::string>(const std::string&)> m_command; // else the updater
    std::shared_ptr<ScriptedBus> m_bus = std::make_shared<ScriptedBus>();
    std::unique_ptr<sim::UpdateServerSim> m_server;
    fs::path m_folder;
    std::FILE* m_out = nullptr;
    std::unique_ptr<Station> m_station;
    std::thread m_runner;
    int m_status = -1;
};

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
