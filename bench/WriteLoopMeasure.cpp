#include "WriteLoopMeasure.hpp"

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

} // namespace

WriteLoopMeasure measureWriteLoop(std::uint32_t pages) {
    constexpr std::uint32_t kPageSize = 1024;
    auto detector = std::make_shared<sim::VirtualDetector>();
    MassStorageController link{std::shared_ptr<usb::UsbTransport>(detector)};
    // Standard output carries the report.
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
    Bytes image(std::size_t{pages} * kPageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + (i >> 10));
    }
    WriteLoopMeasure measured;
    measured.pages = pages;
    const auto start = std::chrono::steady_clock::now();
    measured.ok = vc.downloadToDevice(link, image, 0x00100000, kPageSize, 0, 0,
                                      static_cast<std::uint32_t>(image.size()));
    measured.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.pauseSeconds = pacer.requested;
    usb::releaseOpenInterface();
    return measured;
}
