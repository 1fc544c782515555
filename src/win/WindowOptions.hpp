#pragma once
// The Windows window's command line; the same options as the Qt window's.

#include <optional>
#include <string>
#include <vector>

struct WindowOptions {
    // The simulated update server and a virtual detector plugged in after Connect.
    bool demo = false;
    // A device profile (JSON) for the virtual detector; implies the virtual detector.
    std::string profile;
    std::string server;
    std::string probeUrl;
    // --trace FILE: the runs' trace into FILE instead of the log folder.
    std::string traceFile;
    // "ru", "en" or empty for the system's language.
    std::string language;
    // Hidden: walk the window through its states and save PNGs into this folder.
    std::string screenshotDir;
    // Hidden, with screenshotDir: "success" (initial to complete) or "fail".
    std::string screenshotRun = "success";

    [[nodiscard]] bool virtualDetector() const { return demo || !profile.empty(); }

    // arguments without the program's name, UTF-8. nullopt with error set on unknown options
    // or bad values, or with helpText set to what --help or --version prints.
    static std::optional<WindowOptions> parse(const std::vector<std::string>& arguments,
                                              std::string& error, std::string& helpText);
};
