// Several virtual detectors on distinct ports, used by the command line in child processes
// that share the emulation: list, --device usb:PORT, and two updates at once.
#include "cli/ChildProcess.hpp"
#include "sim/DeviceProfile.hpp"
#include "sim/UpdateCatalog.hpp"
#include "sim/UpdateServerSim.hpp"
#include "sim/VirtualDetector.hpp"
#include "usb-emulation/UsbEmulation.hpp"
#include "usb/LibusbBus.hpp"
#include "usb/MassStorageController.hpp"
#include "usb/PortFilterBus.hpp"

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace {

using namespace std::chrono_literals;
using testing_support::UsbEmulation;
namespace fs = std::filesystem;

std::shared_ptr<sim::VirtualDetector> demoDetector(std::uint16_t release = 0x0200) {
    auto profile =
        sim::DeviceProfile::load(fs::path(DETECTOR_PROFILES_DIR) / "signature-5810e.json");
    profile.release = release;
    return std::make_shared<sim::VirtualDetector>(profile);
}

struct Finished {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the command line to its end (or kills it after `limit`).
class CliRun {
public:
    // `launcher` comes before the program, e.g. to start it as a shell would.
    explicit CliRun(std::vector<std::string> args, const std::vector<std::string>& launcher = {}) {
        args.insert(args.begin(), DETECTOR_CLI);
        args.insert(args.begin(), launcher.begin(), launcher.end());
        std::string error;
        m_child = ChildProcess::start(args, m_events, error);
        if (!m_child) {
            ADD_FAILURE() << error;
        }
    }
    // Reads the standard output until it holds `text`; false once the program ended without.
    bool waitForOutput(const std::string& text, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_child && std::chrono::steady_clock::now() < deadline) {
            m_events.wait({m_child.get()}, 100ms);
            m_child->collect();
            if (m_child->output().find(text) != std::string::npos) {
                return true;
            }
            if (m_child->finished()) {
                return false;
            }
        }
        return false;
    }
    const std::string& output() const { return m_child->output(); }
    pid_t pid() const { return static_cast<pid_t>(m_child->processId()); }
    void signal(int number) const { ::kill(pid(), number); }
    Finished wait(std::chrono::seconds limit) {
        Finished result;
        if (!m_child) {
            return result;
        }
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::vector<std::string> lines;
        while (std::chrono::steady_clock::now() < deadline) {
            m_events.wait({m_child.get()}, 100ms);
            m_child->collect();
            m_child->takeErrorLines(lines);
            if (const auto exit = m_child->finished()) {
                result.status = exit->signalled ? 128 : exit->code;
                break;
            }
        }
        m_child->takeErrorLines(lines);
        for (const auto& line : lines) {
            result.err += line + "\n";
        }
        result.out = m_child->output();
        return result;
    }

private:
    ChildProcess::Events m_events;
    std::unique_ptr<ChildProcess> m_child;
};

std::string readFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The process whose parent is `parent`, or 0.
pid_t childOf(pid_t parent) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const auto stat = readFile(entry.path() / "stat");
        const auto name = stat.rfind(')'); // "pid (name) state ppid ..."
        if (name == std::string::npos) {
            continue;
        }
        std::istringstream rest(stat.substr(name + 1));
        char state = 0;
        pid_t ppid = 0;
        if (rest >> state >> ppid && ppid == parent) {
            return static_cast<pid_t>(std::stoi(entry.path().filename().string()));
        }
    }
    return 0;
}

const std::vector<std::string> kChoice = {"--countries", "Latvija,Lietuva,Eesti", "--exclude-fake"};

class SeveralDevicesTest : public testing::Test {
protected:
    void TearDown() override {
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
        usb::releaseOpenInterface();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    // Holds the interface of the detector on `port` in this process, as another updater would.
    std::shared_ptr<usb::UsbTransport> holdPort(const std::string& port) {
        auto created = usb::LibusbBus::create(0x0483, 0x5720, {true});
        auto bus = std::get<std::shared_ptr<usb::LibusbBus>>(std::move(created));
        for (auto& device : bus->takeMatched()) {
            if (device->portPath() != port) {
                continue;
            }
            EXPECT_FALSE(device->open().has_value());
            auto opened = device->openFirstInterface();
            if (auto* interface = std::get_if<usb::OpenedInterface>(&opened)) {
                m_held.push_back(bus);
                return interface->transport;
            }
            ADD_FAILURE() << std::get<usb::UsbError>(opened).message;
        }
        ADD_FAILURE() << "nothing on " << port;
        return nullptr;
    }

    fs::path folder() {
        if (m_folder.empty()) {
            m_folder = fs::temp_directory_path() /
                       ("several-devices-" + std::to_string(::getpid()) + "-" +
                        testing::UnitTest::GetInstance()->current_test_info()->name());
            fs::create_directories(m_folder);
        }
        return m_folder;
    }

    // The demo catalog's server, started on first use.
    std::vector<std::string> serverArgs() {
        if (!m_server) {
            std::string error;
            auto catalog = sim::UpdateCatalog::load(DETECTOR_DEMO_CATALOG_DIR, error);
            EXPECT_TRUE(catalog) << error;
            m_server = std::make_unique<sim::UpdateServerSim>(catalog ? std::move(*catalog)
                                                                      : sim::UpdateCatalog{});
            EXPECT_TRUE(m_server->start());
        }
        return {"--server", m_server->baseAddress(), "--probe-url", m_server->baseAddress() + "/"};
    }

    // The memory of the demo detector after one update with nothing else running.
    std::vector<std::string> cleanUpdate() {
        std::vector<std::string> args = {"--device",
                                         std::string("sim:") + DETECTOR_PROFILES_DIR +
                                             "/signature-5810e.json",
                                         "--no-pauses",
                                         "--dump-memory",
                                         (folder() / "single").string(),
                                         "--json",
                                         "--yes"};
        const auto server = serverArgs();
        args.insert(args.end(), server.begin(), server.end());
        args.emplace_back("update");
        args.insert(args.end(), kChoice.begin(), kChoice.end());
        const auto run = CliRun(args).wait(120s);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> memory;
        for (const char* selector : {"selector0.hex", "selector1.hex"}) {
            memory.push_back(readFile(folder() / "single" / selector));
            EXPECT_FALSE(memory.back().empty()) << selector;
        }
        return memory;
    }

    // Two demo detectors, on 1-4.1 and 1-4.2.
    std::array<std::shared_ptr<sim::VirtualDetector>, 2> plugTwo() {
        std::array<std::shared_ptr<sim::VirtualDetector>, 2> two = {demoDetector(), demoDetector()};
        usb.plugAt("1-4.1", 2, two[0]);
        usb.plugAt("1-4.2", 3, two[1]);
        return two;
    }

    std::vector<std::string> stationArgs(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"station"};
        args.insert(args.end(), kChoice.begin(), kChoice.end());
        const auto server = serverArgs();
        args.insert(args.end(), server.begin(), server.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    std::unique_ptr<sim::UpdateServerSim> m_server;
    UsbEmulation usb;
    std::vector<std::shared_ptr<usb::LibusbBus>> m_held;
    fs::path m_folder;
};

TEST_F(SeveralDevicesTest, ListTakesNoDetectorFromItsHolderOrFromTheKernelDriver) {
    struct Row {
        std::string port;
        int devnum;
        std::uint16_t release;
        bool driverBound;
        bool heldHere; // claimed by this process before `list` runs
        std::string product;
        std::string state;
        int claims; // after `list`, the holder's included
        int detaches;
    };
    const std::vector<Row> rows = {
        // Known from its descriptors alone: not even opened.
        {"1-2", 4, 0x0100, true, false, "", "not opened", 0, 0},
        {"1-4.1", 2, 0x0200, false, false, "CORVANTHIS UMSCPT DEVICE", "free", 1, 0},
        {"1-4.2", 3, 0x0200, true, true, "", "busy", 1, 1},
        // usb-storage keeps it: shown by its product string, not claimed.
        {"1-4.3", 5, 0x0200, true, false, "Mass Storage Device", "kernel driver", 0, 0},
    };
    std::vector<std::shared_ptr<sim::VirtualDetector>> detectors;
    std::vector<std::shared_ptr<usb::UsbTransport>> holders;
    for (const auto& row : rows) {
        detectors.push_back(demoDetector(row.release));
        UsbEmulation::Options options;
        options.driverBound = row.driverBound;
        usb.plugAt(row.port, row.devnum, detectors.back(), options);
    }
    for (const auto& row : rows) {
        if (row.heldHere) {
            holders.push_back(holdPort(row.port));
            ASSERT_NE(holders.back(), nullptr);
        }
    }

    const auto run = CliRun({"list", "--json"}).wait(30s);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto list = nlohmann::json::parse(run.out);
    ASSERT_EQ(list.size(), rows.size()) << run.out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        EXPECT_EQ(list[i]["port"], row.port) << run.out;
        EXPECT_EQ(list[i]["product"], row.product) << run.out;
        EXPECT_EQ(list[i]["state"], row.state) << run.out;
        EXPECT_EQ(usb.claimCount(row.devnum), row.claims) << row.port;
        EXPECT_EQ(usb.driverDetachCount(row.devnum), row.detaches) << row.port;
        EXPECT_EQ(usb.driverBound(row.devnum), row.driverBound && !row.heldHere) << row.port;
        // Only the free one was asked INQUIRY.
        EXPECT_EQ(detectors[i]->completedTransactions(), row.state == "free" ? 1U : 0U) << row.port;
    }
    EXPECT_EQ(usb.requestCount(4), 0) << "the other release is never opened";
    // The holder still talks to its device.
    const auto wrapper = usb::kInquiryTemplate;
    EXPECT_TRUE(holders.front()->bulkWrite(wrapper, 2s).ok());

    const auto table = CliRun({"list"}).wait(30s);
    EXPECT_NE(table.out.find("1-4.2        0200    -                        busy"),
              std::string::npos)
        << table.out;
    EXPECT_NE(table.out.find("1-4.3        0200    Mass Storage Device      kernel driver"),
              std::string::npos)
        << table.out;
}

TEST_F(SeveralDevicesTest, ChosenPortIsTheOnlyDeviceOpened) {
    auto left = demoDetector();
    auto chosen = demoDetector();
    auto right = demoDetector();
    usb.plugAt("1-4.1", 2, left);
    usb.plugAt("1-4.2", 3, chosen);
    usb.plugAt("1-4.3", 4, right);
    auto created = usb::LibusbBus::create(0x0483, 0x5720);
    auto bus = std::get<std::shared_ptr<usb::LibusbBus>>(std::move(created));
    std::vector<std::string> skipped;
    auto filtered = std::make_shared<usb::PortFilterBus>(
        bus, "1-4.2", [&](const usb::UsbDevice& device, const std::string& why) {
            skipped.push_back(device.portPath() + ": " + why);
        });
    MassStorageController link(filtered);
    link.MassStorageControllerInit();
    ASSERT_TRUE(link.Check_UsbConnection());
    std::vector<std::uint8_t> page(256);
    ASSERT_TRUE(link.ReadFromDevice(0, 0x08002E00, page, 256, link));
    EXPECT_EQ(chosen->completedTransactions(), 1U);
    EXPECT_EQ(left->completedTransactions() + right->completedTransactions(), 0U);
    EXPECT_EQ(usb.driverDetachCount(2) + usb.driverDetachCount(4), 0);
    std::sort(skipped.begin(), skipped.end());
    EXPECT_EQ(skipped, (std::vector<std::string>{"1-4.1: not the chosen port",
                                                 "1-4.3: not the chosen port"}));
}

TEST_F(SeveralDevicesTest, WithoutAPortHeldDetectorsAreSkippedAndTheFreeOneTaken) {
    auto heldLeft = demoDetector();
    auto free = demoDetector();
    auto heldRight = demoDetector();
    usb.plugAt("1-4.1", 2, heldLeft);
    usb.plugAt("1-4.2", 3, free);
    usb.plugAt("1-4.3", 4, heldRight);
    // Whatever order libusb offers them in, a held one comes before the free one.
    auto left = holdPort("1-4.1");
    auto right = holdPort("1-4.3");
    ASSERT_TRUE(left && right);
    MassStorageController link;
    link.MassStorageControllerInit();
    ASSERT_TRUE(link.Check_UsbConnection());
    std::vector<std::uint8_t> page(256);
    ASSERT_TRUE(link.ReadFromDevice(0, 0x08002E00, page, 256, link));
    EXPECT_EQ(free->completedTransactions(), 1U);
    ASSERT_TRUE(usb::lastSkipReason().has_value());
    EXPECT_NE(usb::lastSkipReason()->find("BUSY"), std::string::npos) << *usb::lastSkipReason();
    // The holders keep their detectors: nothing else was detached or sent.
    EXPECT_EQ(usb.driverDetachCount(2) + usb.driverDetachCount(4), 2);
    EXPECT_EQ(heldLeft->completedTransactions() + heldRight->completedTransactions(), 0U);
    const auto wrapper = usb::kInquiryTemplate;
    EXPECT_TRUE(left->bulkWrite(wrapper, 2s).ok());
    EXPECT_TRUE(right->bulkWrite(wrapper, 2s).ok());
}

TEST_F(SeveralDevicesTest, TwoUpdatesAtOnceEachWriteWhatASingleRunWrites) {
    const auto expected = cleanUpdate();
    const auto args = [&](std::vector<std::string> device) {
        const auto server = serverArgs();
        device.insert(device.end(), server.begin(), server.end());
        device.insert(device.end(), {"--json", "--yes", "update"});
        device.insert(device.end(), kChoice.begin(), kChoice.end());
        return device;
    };
    const auto [a, b] = plugTwo();
    const auto traceA = folder() / "a.trace";
    CliRun runA(args({"--device", "usb:1-4.1", "--trace", traceA.string()}));
    CliRun runB(args({"--device", "usb:1-4.2"}));
    const auto endA = runA.wait(120s);
    const auto endB = runB.wait(120s);
    ASSERT_EQ(endA.status, 0) << endA.err;
    ASSERT_EQ(endB.status, 0) << endB.err;
    EXPECT_EQ(nlohmann::json::parse(endA.out)["port"], "1-4.1");
    EXPECT_GT(nlohmann::json::parse(endB.out)["pagesWritten"].get<int>(), 0);
    for (const std::uint8_t selector : {0, 1}) {
        EXPECT_EQ(a->intelHex(selector), expected[selector]) << "selector " << int{selector};
        EXPECT_EQ(b->intelHex(selector), expected[selector]) << "selector " << int{selector};
    }
    const auto trace = readFile(traceA);
    EXPECT_NE(trace.find("at 1-4.2: not the chosen port"), std::string::npos) << trace;
}

TEST_F(SeveralDevicesTest, StationKilledInTheMiddleLeavesItsChildToFinishTheDevice) {
    const auto expected = cleanUpdate();
    auto detector = demoDetector();
    usb.plugAt("1-4.1", 2, detector);
    // The orphaned child becomes ours, so that its end can be awaited.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    // Started as from a shell: this process ignores SIGPIPE (its HTTP server does).
    CliRun station(stationArgs({"--wait", "60"}), {"/usr/bin/env", "--default-signal=PIPE"});
    ASSERT_TRUE(station.waitForOutput("1-4.1: Writing the radar firmware...", 60s))
        << station.output();
    const pid_t child = childOf(station.pid());
    ASSERT_GT(child, 0);
    station.signal(SIGKILL);
    // Its output ends with it: the child holds none of the station's own descriptors.
    EXPECT_EQ(station.wait(5s).status, 128);

    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + 100s;
    while (::waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    if (std::chrono::steady_clock::now() >= deadline) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    for (const std::uint8_t selector : {0, 1}) {
        EXPECT_TRUE(detector->intelHex(selector) == expected[selector])
            << "selector " << int{selector};
    }
}

TEST_F(SeveralDevicesTest, HangUpOfTheStationActsAsTheFirstCtrlC) {
    const auto detectors = plugTwo();
    const auto log = folder() / "station.jsonl";
    CliRun station(stationArgs({"--jobs", "1", "--log", log.string()}));
    ASSERT_TRUE(station.waitForOutput(": update started", 30s)) << station.output();
    station.signal(SIGHUP);
    ASSERT_TRUE(station.waitForOutput("Stopping: ", 10s)) << station.output();
    station.signal(SIGHUP); // never the second Ctrl-C
    const auto end = station.wait(120s);
    EXPECT_EQ(end.status, 0) << end.out << end.err;
    EXPECT_NE(end.out.find(": not started, the station is stopping"), std::string::npos) << end.out;
    const auto lines = readFile(log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << lines;
    EXPECT_NE(lines.find(R"("result":"complete")"), std::string::npos) << lines;
    EXPECT_EQ((detectors[0]->completedTransactions() > 0) +
                  (detectors[1]->completedTransactions() > 0),
              1)
        << "the waiting detector is left alone";
}

} // namespace
