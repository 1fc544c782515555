// detector-updater-cli: the update flow of the window, driven from a terminal or a script.

#include "cli/CliApplication.hpp"
#include "cli/CliOptions.hpp"
#include "cli/CliTexts.hpp"
#include "cli/DetectorList.hpp"
#include "cli/StationMain.hpp"
#include "install/BuildVersion.hpp"
#include "install/Console.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// The interrupt watcher gives run() this long to return after Ctrl-C before ending the process
// itself, so an interrupted run always ends within a second.
constexpr auto kInterruptDeadline = std::chrono::milliseconds(900);

std::atomic<bool> gFinished{false};

[[noreturn]] void end(int status, std::FILE* out) {
    std::fflush(out);
    std::fflush(stderr);
    console::ending();
    // A watcher may still wait for an interrupt; nothing of it needs to outlive us.
    std::_Exit(status);
}

} // namespace

int main(int argc, char** argv) {
    std::FILE* realOut = console::takeStandardOutput();
    // At once: a station may stop this process as soon as it has started it.
    console::takeInterrupts(false);
    const std::vector<std::string> args = console::arguments(argc, argv);
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
    // A station takes hang-ups too; no thread has started yet.
    if (options.command == CliCommand::Station) {
        console::takeInterrupts(true);
    }
    if (options.command == CliCommand::List) {
        std::thread([] {
            if (console::waitForInterrupt()) {
                std::_Exit(CliApplication::kInterrupted);
            }
        }).detach();
        end(DetectorList::run(options.json, options.json ? stderr : realOut, realOut), realOut);
    }
    if (options.command == CliCommand::Station) {
        runStation(options, realOut);
    }
    const bool json = options.json;
    CliApplication application(std::move(options), json ? stderr : realOut, realOut);

    std::thread([&application] {
        if (!console::waitForInterrupt()) {
            return;
        }
        application.interrupt();
        const auto deadline = std::chrono::steady_clock::now() + kInterruptDeadline;
        while (!gFinished.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!gFinished.load()) {
            console::ending();
            std::_Exit(CliApplication::kInterrupted);
        }
    }).detach();

    const int status = application.run();
    gFinished = true;
    end(status, realOut);
}
