#pragma once
// One window's update runs, whatever toolkit draws the window: one run after another, each with
// its own controller, workers, USB link and log; starting over, quitting, the time left and the
// last choice.

#include "app/LastChoiceStore.hpp"
#include "app/Localizer.hpp"
#include "app/MainWindowModel.hpp"
#include "app/Pacer.hpp"
#include "app/RunLogFolder.hpp"
#include "app/SelectionPresenter.hpp"
#include "app/TraceLog.hpp"
#include "app/UiDispatcher.hpp"
#include "app/ViewController.hpp"
#include "usb/UsbBus.hpp"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// Everything but the workers runs on the UI thread.
class WindowSession {
public:
    // What the window does for the session.
    struct Window {
        // The line under the progress bar; an empty text hides it.
        std::function<void(const std::string& text)> setTimeLeft;
        // At the end of a run: "Update another detector" and, after a failure, "Show log";
        // with offered false both go away.
        std::function<void(bool offered, bool showLog)> offerRunEnd;
        // The keyboard focus on Connect, as at start-up.
        std::function<void()> focusConnect;
        // Asked when the window is closed while pages are written: true lets it close.
        std::function<bool()> confirmStop;
        // "Show log": the folder of the run's log, in the desktop's file manager.
        std::function<void(const std::filesystem::path& folder)> openFolder;
        // No more window changes: waiting workers return at once (the dispatcher's close).
        std::function<void()> closeDispatcher;
        // One short turn of the event loop while quitting waits for the workers, which may
        // be inside a hand-off to the UI thread.
        std::function<void()> serveEvents;
        // Told after a sequence ended.
        std::function<void(bool downloadSequence, ViewController::Outcome outcome)> sequenceEnded;
    };

    struct Settings {
        // Every run's trace goes there (the first run starts the file afresh) instead of a new
        // log in logFolder.
        std::filesystem::path traceFile;
        std::filesystem::path logFolder;
        // The bus of each link (the demo's virtual one); unset: the platform's USB. Any thread.
        std::function<std::shared_ptr<usb::UsbBus>()> makeBus;
        // Records the pauses instead of sleeping them (screenshots, tests); outlives the session.
        Pacer* pacer = nullptr;
        // Run after the log of a run is open and before its connect sequence starts.
        std::function<void()> onConnect;
        // --server and --probe-url: they win over the built-in and the demo's addresses.
        std::string serverOverride;
        std::string probeOverride;
    };

    // Everything passed in outlives the session.
    WindowSession(MainWindowModel& model, UiDispatcher& dispatcher, const Localizer& localizer,
                  SelectionPresenter& presenter, LastChoiceStore& lastChoice, Settings settings,
                  Window window);
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;
    WindowSession(WindowSession&&) = delete;
    WindowSession& operator=(WindowSession&&) = delete;
    // Stops the workers first (see shutdown); after a shutdown that ran out of time it waits for
    // them, so no worker outlives what it works on.
    ~WindowSession();

    // The server addresses asked for, the first run's controller and the start-up state.
    void start();

    // The two buttons.
    void connectPressed();
    void downloadPressed();
    // "Update another detector": only once the run has ended (complete, failed, or the connect
    // sequence's "Error"). Joins the finished workers, drops the controller, record and
    // workers, takes the process-wide USB link down, and brings the window back to its
    // start-up state with a new controller. False (nothing changed) while a run is going on.
    bool startOver();
    [[nodiscard]] bool runEnded() const;
    // "Show log": the folder of the current (or last) run's log; nothing before the first run.
    void showLog();
    // Asked when the window is closed: while pages are written, only with the user's consent.
    bool mayClose();
    // Every change of the window model, after the window has drawn it: the run's log and the
    // time left.
    void watchChange(const ElementChange& change);

    // Quitting: no more window changes, every wait ended, the workers joined while the event
    // loop keeps serving them. False when they did not end within the deadline; the caller
    // should then end the process without destroying the session (destroying it waits).
    bool shutdown(std::chrono::milliseconds deadline);

    [[nodiscard]] ViewController& controller();
    // The log of the current run (or of the last one, until the next Connect); empty before
    // the first Connect.
    [[nodiscard]] std::filesystem::path logPath() const;
    // Runs started in this window, the current one included.
    [[nodiscard]] int runsStarted() const { return m_runsStarted; }
    // "%1 min %2 s left" or "%1 s left", from the localizer.
    [[nodiscard]] std::string timeLeftText(double seconds) const;
    // One line into the run's log, from any thread.
    void trace(const char* source, const std::string& text);

private:
    // The objects that live for one update run; the controller goes first.
    struct Run;

    std::unique_ptr<Run> makeRun();
    std::unique_ptr<MassStorageController> makeLink();
    void sequenceEnded(bool downloadSequence, ViewController::Outcome outcome);
    void showTimeLeft();
    [[nodiscard]] std::shared_ptr<TraceLog> currentTrace() const;

    MainWindowModel& m_model;
    UiDispatcher& m_dispatcher;
    const Localizer& m_localizer;
    SelectionPresenter& m_presenter;
    LastChoiceStore& m_lastChoice;
    Settings m_settings;
    Window m_window;
    RunLogFolder m_logs;
    std::unique_ptr<Run> m_run;
    // Joins the workers during shutdown; never detached, so it cannot outlive m_run.
    std::thread m_joiner;
    std::shared_ptr<std::atomic<bool>> m_joined;
    bool m_shutDown = false;
    bool m_started = false;
    int m_runsStarted = 0;

    // The run's trace, read by the workers' USB and HTTP hooks.
    mutable std::mutex m_traceMutex;
    std::shared_ptr<TraceLog> m_trace;
    std::filesystem::path m_logPath;

    // The download's pause schedule and the pacer count when the writing started.
    std::vector<double> m_schedule;
    std::size_t m_scheduleBase = 0;
    bool m_writingShown = false;
};
