#pragma once
// One run of detector-updater-cli: sets up the flow's dependencies, drives ViewController and
// reports the result.

#include "cli/CliOptions.hpp"

#include <atomic>
#include <cstdio>
#include <memory>

// The thread that calls run() is the UI thread of the run.
class CliApplication {
public:
    static constexpr int kComplete = 0;
    static constexpr int kFailed = 1;
    static constexpr int kUsage = 2;
    static constexpr int kNoDevice = 3;
    static constexpr int kInterrupted = 130;

    // `out` receives the human-readable output, `jsonOut` the JSON result (with --json).
    CliApplication(CliOptions options, std::FILE* out, std::FILE* jsonOut);
    ~CliApplication();
    CliApplication(const CliApplication&) = delete;
    CliApplication& operator=(const CliApplication&) = delete;
    CliApplication(CliApplication&&) = delete;
    CliApplication& operator=(CliApplication&&) = delete;

    // The exit status.
    int run();
    // Ctrl-C: ends every wait and makes run() return kInterrupted promptly. Safe from any thread.
    void interrupt();

private:
    struct Run;
    std::unique_ptr<Run> m_run;
};
