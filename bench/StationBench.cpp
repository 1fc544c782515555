// The figure for the workshop: wall time of one station run over 1, 2 and 4 emulated detectors
// with the real pauses (about two minutes in all). The station is the installed command line
// against detectors behind umockdev, so it runs under umockdev's preload library.

#include "cli/ChildProcess.hpp"
#include "sim/DeviceProfile.hpp"
#include "sim/UpdateCatalog.hpp"
#include "sim/UpdateServerSim.hpp"
#include "sim/VirtualDetector.hpp"
#include "usb-emulation/UsbEmulation.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// The station ends this long after its last device.
constexpr double kIdleSeconds = 1.0;

// Runs the program to its end; its standard error passes through.
bool runToEnd(const std::vector<std::string>& argv, std::string& error) {
    ChildProcess::Events events;
    auto child = ChildProcess::start(argv, events, error);
    if (!child) {
        return false;
    }
    std::vector<std::string> lines;
    for (;;) {
        events.wait({child.get()}, std::chrono::milliseconds(200));
        child->collect();
        child->takeErrorLines(lines);
        for (const auto& line : lines) {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        lines.clear();
        if (child->finished()) {
            return true;
        }
    }
}

void BM_StationWallTime(benchmark::State& state) {
    const auto detectors = static_cast<int>(state.range(0));
    std::string error;
    auto catalog = sim::UpdateCatalog::load(DETECTOR_DEMO_CATALOG_DIR, error);
    if (!catalog) {
        state.SkipWithError(error.c_str());
        return;
    }
    sim::UpdateServerSim server(std::move(*catalog));
    if (!server.start()) {
        state.SkipWithError("the update server does not start");
        return;
    }
    const auto log =
        fs::temp_directory_path() / ("station-bench-" + std::to_string(::getpid()) + ".jsonl");
    int completed = 0;
    for (auto _ : state) {
        testing_support::UsbEmulation usb;
        const auto profile =
            sim::DeviceProfile::load(fs::path(DETECTOR_PROFILES_DIR) / "signature-5810e.json");
        for (int i = 0; i < detectors; ++i) {
            usb.plugAt("1-4." + std::to_string(i + 1), 2 + i,
                       std::make_shared<sim::VirtualDetector>(profile));
        }
        fs::remove(log);
        const auto began = SteadyClock::now();
        if (!runToEnd({DETECTOR_CLI, "station", "--countries", "Latvija,Lietuva,Eesti",
                       "--exclude-fake", "--server", server.baseAddress(), "--probe-url",
                       server.baseAddress() + "/", "--log", log.string(), "--wait", "1", "--jobs",
                       "4"},
                      error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(SteadyClock::now() - began).count() -
                               kIdleSeconds);
        std::ifstream lines(log);
        for (std::string line; std::getline(lines, line);) {
            completed +=
                nlohmann::json::parse(line, nullptr, false).value("result", "") == "complete" ? 1
                                                                                              : 0;
        }
    }
    fs::remove(log);
    state.counters["detectors"] = detectors;
    state.counters["completed"] = completed;
    if (completed != detectors * static_cast<int>(state.iterations())) {
        state.SkipWithError("not every detector completed");
    }
}

BENCHMARK(BM_StationWallTime)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    testing_support::UsbEmulation::reExecUnderPreload(argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
