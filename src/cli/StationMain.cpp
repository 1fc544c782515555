#include "cli/StationMain.hpp"

#include "cli/CliApplication.hpp"
#include "cli/Station.hpp"
#include "install/Console.hpp"
#include "install/SystemPaths.hpp"
#include "usb/SystemBus.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

void runStation(const CliOptions& options, std::FILE* out) {
    auto created = usb::openSystemBus(0x0483, 0x5720);
    if (auto* error = std::get_if<usb::UsbError>(&created)) {
        std::fprintf(out, "USB cannot be used: %s\n", error->message.c_str());
        std::fflush(out);
        std::_Exit(CliApplication::kFailed);
    }
    Station::Options settings;
    const unsigned cores = std::thread::hardware_concurrency();
    settings.jobs = options.jobs != 0 ? options.jobs : std::max(1U, cores);
    settings.logFile = options.logFile;
    if (options.waitSeconds) {
        settings.idle = std::chrono::milliseconds(
            static_cast<std::int64_t>(std::min(*options.waitSeconds, 1e9) * 1000.0));
    }
    const auto self = sys::utf8FromPath(sys::executablePath());
    settings.command = [&options, self](const std::string& port) {
        return Station::childCommand(options, self, port);
    };
    settings.terminal = console::isTerminal(out);
    Station station(std::get<std::shared_ptr<usb::UsbBus>>(std::move(created)), std::move(settings),
                    out);
    // Every Ctrl-C goes to the station; it ends itself once its children have. A closed
    // terminal must not end it while its children write.
    std::thread([&station] {
        while (const auto received = console::waitForInterrupt()) {
            if (*received == console::Interrupt::HangUp) {
                station.hangUp();
            } else {
                station.interrupt();
            }
        }
    }).detach();
    const int status = station.run();
    std::fflush(out);
    console::ending();
    std::_Exit(status);
}
