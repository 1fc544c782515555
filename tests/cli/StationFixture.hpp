#pragma once
// The station with detectors arriving on a scripted bus and each job a real detector-updater-cli
// child updating a virtual detector (--device sim:...).
#include "cli/Station.hpp"
#include "install/SystemPaths.hpp"
#include "sim/UpdateCatalog.hpp"
#include "sim/UpdateServerSim.hpp"

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace station_test {

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

inline std::string readFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::vector<nlohmann::json> logLines(const fs::path& path) {
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
                   ("station-" + std::to_string(std::random_device{}()) + "-" +
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
        m_out = sys::openFile(m_folder / "out.txt", "w+");
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

} // namespace station_test
