// detector-updater-cli: the update flow of the window, driven from a terminal or a script.

#include "cli/CliApplication.hpp"
#include "cli/CliOptions.hpp"
#include "cli/CliTexts.hpp"
#include "cli/DetectorList.hpp"
#include "cli/Station.hpp"
#include "install/BuildVersion.hpp"
#include "usb/LibusbBus.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The signal watcher gives run() this long to return after Ctrl-C before ending the process
// itself, so an interrupted run always ends within a second.
constexpr auto kInterruptDeadline = std::chrono::milliseconds(900);

std::atomic<bool> gFinished{false};

int runStation(const CliOptions& options, std::FILE* out, sigset_t signals) {
    // A closed terminal must not end the station while its children write: the hang-up is
    // taken like Ctrl-C, before any thread (libusb's among them) could receive it.
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    auto created = usb::LibusbBus::create(0x0483, 0x5720);
    if (auto* error = std::get_if<usb::UsbError>(&created)) {
        std::fprintf(out, "USB cannot be used: %s\n", error->message.c_str());
        return CliApplication::kFailed;
    }
    Station::Options settings;
    const unsigned cores = std::thread::hardware_concurrency();
    settings.jobs = options.jobs != 0 ? options.jobs : std::max(1U, cores);
    settings.logFile = options.logFile;
    if (options.waitSeconds) {
        settings.idle = std::chrono::milliseconds(
            static_cast<std::int64_t>(std::min(*options.waitSeconds, 1e9) * 1000.0));
    }
    std::error_code ignored;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored).string();
    settings.command = [&options, self](const std::string& port) {
        return Station::childCommand(options, self, port);
    };
    settings.terminal = isatty(fileno(out)) != 0;
    Station station(std::get<std::shared_ptr<usb::LibusbBus>>(std::move(created)),
                    std::move(settings), out);
    // Every Ctrl-C goes to the station; it ends itself once its children have.
    std::thread([&station, signals] {
        int received = 0;
        while (sigwait(&signals, &received) == 0) {
            if (received == SIGHUP) {
                station.hangUp();
            } else {
                station.interrupt();
            }
        }
    }).detach();
    const int status = station.run();
    std::fflush(out);
    std::_Exit(status);
}

} // namespace

int main(int argc, char** argv) {
    // Ctrl-C is taken by the watcher thread below; no other thread may receive it (the USB
    // link's own handler would end the process with status 0).
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A reader that went away (a station killed, a closed pipe) must not end a device being
    // written: what we print is then lost, the update goes on.
    std::signal(SIGPIPE, SIG_IGN);

    // Our own output goes to the real standard output; anything else printed there (by a
    // library) goes to standard error, so --json output stays one object.
    std::fflush(stdout);
    // Close-on-exec, or a station's children would hold its output open after it ended.
    const int stdoutCopy = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    std::FILE* realOut = stdoutCopy >= 0 ? fdopen(stdoutCopy, "w") : nullptr;
    if (realOut == nullptr) {
        realOut = stdout;
    } else {
        dup2(STDERR_FILENO, STDOUT_FILENO);
    }

    const std::vector<std::string> args(argv + 1, argv + argc);
    auto parsed = CliArguments::parse(args);
    if (auto* error = std::get_if<CliUsageError>(&parsed)) {
        // The one useful line, and where the rest is: the whole help would bury it.
        const TableLocalizer texts(CliTexts::table(CliArguments::languageOf(args)));
        std::fprintf(stderr, "detector-updater-cli: %s\n%s\n", error->message.c_str(),
                     texts.L("cli_try_help").c_str());
        return CliApplication::kUsage;
    }
    auto options = std::get<CliOptions>(std::move(parsed));
    if (options.help) {
        std::fprintf(realOut, "%s", CliArguments::usage(options.language).c_str());
        return 0;
    }
    if (options.version) {
        std::fprintf(realOut, "detector-updater-cli %s\n%s\n", BuildVersion::text(),
                     BuildVersion::notice());
        return 0;
    }
    if (options.command == CliCommand::List) {
        std::thread([signals] {
            int received = 0;
            if (sigwait(&signals, &received) == 0) {
                std::_Exit(CliApplication::kInterrupted);
            }
        }).detach();
        const int status =
            DetectorList::run(options.json, options.json ? stderr : realOut, realOut);
        std::_Exit(status);
    }
    if (options.command == CliCommand::Station) {
        return runStation(options, realOut, signals);
    }
    const bool json = options.json;
    CliApplication application(std::move(options), json ? stderr : realOut, realOut);

    std::thread watcher([&application, signals] {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            return;
        }
        application.interrupt();
        const auto deadline = std::chrono::steady_clock::now() + kInterruptDeadline;
        while (!gFinished.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!gFinished.load()) {
            std::_Exit(CliApplication::kInterrupted);
        }
    });
    watcher.detach();

    const int status = application.run();
    gFinished = true;
    std::fflush(realOut);
    std::fflush(stderr);
    // The watcher may still sit in sigwait; nothing of it needs to outlive us.
    std::_Exit(status);
}
