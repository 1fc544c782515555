#include "win/WindowOptions.hpp"

#include "install/BuildVersion.hpp"

#include <cstddef>

namespace {

constexpr const char* kHelp =
    "Usage: detector-updater [options]\n"
    "Updates the firmware and camera database of USB speed-camera detectors.\n"
    "\n"
    "Options:\n"
    "  -h, --help         Show this help.\n"
    "  --version          Show the version and exit.\n"
    "  --demo             Run on a virtual detector with the built-in simulated update server.\n"
    "  --profile FILE     Use the virtual detector described by FILE (a device profile).\n"
    "  --server URL       Base address of the update server.\n"
    "  --probe-url URL    Address of the network probe.\n"
    "  --lang LANG        Language of the window: ru or en (default: the system's).\n"
    "  --trace FILE       Write the trace of every run (USB transactions, HTTP requests,\n"
    "                     window changes) to FILE instead of the log folder.\n";

} // namespace

std::optional<WindowOptions> WindowOptions::parse(const std::vector<std::string>& arguments,
                                                  std::string& error, std::string& helpText) {
    WindowOptions options;
    struct Valued {
        const char* name;
        std::string* value;
    };
    const Valued valued[] = {
        {"--profile", &options.profile},
        {"--server", &options.server},
        {"--probe-url", &options.probeUrl},
        {"--trace", &options.traceFile},
        {"--lang", &options.language},
        {"--screenshot-dir", &options.screenshotDir},
        {"--screenshot-run", &options.screenshotRun},
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string arg = arguments[i];
        if (arg == "-h" || arg == "--help") {
            helpText = kHelp;
            return std::nullopt;
        }
        if (arg == "--version") {
            helpText = std::string("detector-updater ") + BuildVersion::text() + "\n" +
                       BuildVersion::notice() + "\n";
            return std::nullopt;
        }
        if (arg == "--demo") {
            options.demo = true;
            continue;
        }
        std::string inlineValue;
        bool hasInline = false;
        if (const std::size_t eq = arg.find('=');
            arg.starts_with("--") && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
            hasInline = true;
        }
        bool known = false;
        for (const Valued& option : valued) {
            if (arg != option.name) {
                continue;
            }
            known = true;
            if (hasInline) {
                *option.value = inlineValue;
            } else if (i + 1 < arguments.size()) {
                *option.value = arguments[++i];
            } else {
                error = "Missing value after '" + arg + "'.";
                return std::nullopt;
            }
        }
        if (!known) {
            error = arg.starts_with("-") ? "Unknown option '" + arg + "'."
                                         : "unexpected argument '" + arg + "'";
            return std::nullopt;
        }
    }
    if (!options.language.empty() && options.language != "ru" && options.language != "en") {
        error = "--lang takes ru or en, not '" + options.language + "'";
        return std::nullopt;
    }
    if (options.screenshotRun != "success" && options.screenshotRun != "fail") {
        error = "--screenshot-run takes success or fail";
        return std::nullopt;
    }
    if (!options.screenshotDir.empty()) {
        options.demo = true;
    }
    return options;
}
