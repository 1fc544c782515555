#pragma once
// Workshop mode: waits for detectors and updates each one in a child process of its own.

#include "cli/ChildProcess.hpp"
#include "cli/CliOptions.hpp"
#include "usb/UsbBus.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Every detector the bus offers (a device plugged in again is offered again) becomes a job:
// one child process running the update for that port, at most `jobs` at once and one per port.
// The terminal shows one live line per device; each finished device appends one JSON line to
// the log. The link is a process-wide singleton, so devices never share a process.
class Station {
public:
    struct Options {
        unsigned jobs = 1;
        std::string logFile;
        // End once nothing has run or arrived for this long; nothing: run until Ctrl-C.
        std::optional<std::chrono::milliseconds> idle;
        // The child's command line for the detector on `port`.
        std::function<std::vector<std::string>(const std::string& port)> command;
        // Redraw the live lines in place (a terminal) or print each change as a line.
        bool terminal = false;
    };

    // The result of one device, as its log line holds it.
    struct Outcome {
        std::string result; // "complete", "failed", "no-device", "interrupted", ...
        std::string model;
        std::string keyword;
        std::string error;
        nlohmann::json before = nlohmann::json::object(); // {"gps": ..., "rd": ...}
        nlohmann::json after = nlohmann::json::object();
        std::uint32_t pagesWritten = 0;
    };

    Station(std::shared_ptr<usb::UsbBus> bus, Options options, std::FILE* out);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;
    Station(Station&&) = delete;
    Station& operator=(Station&&) = delete;

    // Runs until Ctrl-C (or the idle time) and the running updates have ended, then prints the
    // summary. The exit status: 0 only when every device completed, 2 when the log cannot be
    // opened.
    int run();
    // Ctrl-C. The first stops taking new detectors and lets the running updates finish; the
    // second stops them the way the window's quit does. Safe from any thread.
    void interrupt();
    // The terminal hung up: the first Ctrl-C, however often it comes, since nobody is left to
    // press the second. Safe from any thread.
    void hangUp();

    // The child command line `station` uses: this program with --device usb:PORT, updating
    // with the station's choice, its result as JSON on standard output.
    static std::vector<std::string>
    childCommand(const CliOptions& options, const std::string& program, const std::string& port);
    // Reads a child's JSON result (its standard output) and how it ended into an outcome.
    static Outcome outcomeOf(const std::string& output, const ChildExit& exit);

    // What a child's texts (its standard error) have told about its device so far.
    struct Progress {
        std::string model;
        std::string stage = "starting";
        std::string percent;
    };
    // Takes one line of a child's texts: a percentage, the device panel, or a stage. True when
    // the stage changed.
    static bool absorb(Progress& progress, const std::string& line);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
