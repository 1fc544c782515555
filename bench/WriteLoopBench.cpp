// The image write loop against the in-process virtual detector with the real sleeping pacer:
// how much the loop adds to the pauses it must make.

#include "app/MainWindowModel.hpp"
#include "app/SleepingPacer.hpp"
#include "app/SynchronousDispatcher.hpp"
#include "app/TableLocalizer.hpp"
#include "app/ViewController.hpp"
#include "sim/VirtualDetector.hpp"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>

#include <benchmark/benchmark.h>

namespace {

// Sleeps through the real pacer and adds up what was asked for.
class SummingPacer final : public Pacer {
public:
    bool pause(double seconds) override {
        requested += seconds;
        return m_sleeping.pause(seconds);
    }
    double requested = 0.0;

private:
    SleepingPacer m_sleeping;
};

class NoDialog final : public SelectionPresenter {
public:
    void present(std::shared_ptr<SelectionDBViewController> /*dialog*/) override {}
};

void BM_WriteLoopOverhead(benchmark::State& state) {
    constexpr std::uint32_t kPages = 200;
    constexpr std::uint32_t kPageSize = 1024;
    auto detector = std::make_shared<sim::VirtualDetector>();
    MassStorageController link{std::shared_ptr<usb::UsbTransport>(detector)};
    // Standard output carries the report (--benchmark_format=json must stay valid JSON).
    usb::setDiagnosticSink([](std::string_view text) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    });
    link.MassStorageControllerInit();
    link.Check_UsbConnection();
    MainWindowModel window;
    SynchronousDispatcher dispatcher;
    SummingPacer pacer;
    TableLocalizer localizer;
    NoDialog presenter;
    ViewController vc({.window = window,
                       .dispatcher = dispatcher,
                       .pacer = pacer,
                       .localizer = localizer,
                       .presenter = presenter,
                       .makeLink = {},
                       .server = server::ServerAccess(nullptr, server::ServerSettings{}),
                       .onSequenceEnded = {}});
    Bytes image(std::size_t{kPages} * kPageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + (i >> 10));
    }
    double wall = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = vc.downloadToDevice(link, image, 0x00100000, kPageSize, 0, 0,
                                            static_cast<std::uint32_t>(image.size()));
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) {
            state.SkipWithError("the write loop failed");
            return;
        }
    }
    state.counters["overhead_ratio"] = pacer.requested > 0.0 ? wall / pacer.requested : 0.0;
    state.counters["pages"] = static_cast<double>(kPages) * static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(BM_WriteLoopOverhead)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
