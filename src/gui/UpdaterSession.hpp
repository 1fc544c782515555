#pragma once
// One window of the updater: the window model and its widgets, the Qt dispatcher, localizer and
// presenter, the demo world when asked for, and one update run after another, each with its
// own controller, workers, USB link and log.

#include "app/MainWindowModel.hpp"
#include "app/Pacer.hpp"
#include "app/RecordingPacer.hpp"
#include "app/TraceLog.hpp"
#include "app/ViewController.hpp"
#include "gui/CountingPacer.hpp"
#include "gui/DemoEnvironment.hpp"
#include "gui/MainWindow.hpp"
#include "gui/QtLocalizer.hpp"
#include "gui/QtSelectionPresenter.hpp"
#include "gui/QtUiDispatcher.hpp"
#include "gui/RunLogFolder.hpp"

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

class UpdaterSession {
public:
    struct Settings {
        // A virtual detector (and, without serverOverride, the simulated server).
        bool virtualDetector = false;
        QString profile;
        bool startSimulatedServer = true;
        // Record the pauses instead of sleeping; only with the virtual detector.
        bool recordPauses = false;
        // How long after Connect the virtual detector arrives; negative: only by plugIn().
        int plugDelayMs = 3000;
        // --server and --probe-url: they win over the built-in and the demo addresses.
        QString serverOverride;
        QString probeOverride;
        // --trace FILE: every run's trace goes there (the first run starts the file afresh)
        // instead of into the log folder.
        QString traceFile;
        // The run logs' folder; empty: RunLogFolder's default.
        QString logFolder;
        // "Show log": opens a folder with the desktop's file manager; tests replace it.
        std::function<void(const QString& folder)> openFolder;
    };

    explicit UpdaterSession(Settings settings);
    UpdaterSession(const UpdaterSession&) = delete;
    UpdaterSession& operator=(const UpdaterSession&) = delete;
    // Stops the workers first (see shutdown); after a shutdown that ran out of time it waits for
    // them, so no worker outlives what it works on.
    ~UpdaterSession();

    // Builds the demo world if asked, the first run's controller, and the start-up state.
    bool start(QString& error);

    // "Update another detector": only once the run has ended (complete, failed, or the connect
    // sequence's "Error"). Joins the finished workers, drops the controller, record and
    // workers, takes the process-wide USB link down, and brings the window back to its
    // start-up state with a new controller. False (nothing changed) while a run is going on.
    bool startOver();
    [[nodiscard]] bool runEnded() const;

    // Quitting: no more window changes, every wait ended, the workers joined while the UI
    // thread keeps serving them. False when they did not end within the deadline; the caller
    // should then end the process without destroying the session (destroying it waits).
    bool shutdown(std::chrono::milliseconds deadline);

    // Told on the UI thread after a sequence ended.
    void setSequenceListener(std::function<void(bool, ViewController::Outcome)> listener);

    [[nodiscard]] MainWindow& window() { return *m_window; }
    [[nodiscard]] MainWindowModel& model() { return m_model; }
    [[nodiscard]] ViewController& controller() { return *m_run->controller; }
    [[nodiscard]] QtSelectionPresenter& presenter() { return m_presenter; }
    [[nodiscard]] QtUiDispatcher& dispatcher() { return m_dispatcher; }
    [[nodiscard]] DemoEnvironment* demo() { return m_demo.get(); }
    [[nodiscard]] RecordingPacer* recordingPacer() { return m_recordingPacer.get(); }
    // The log of the current run (or of the last one, until the next Connect); empty before
    // the first Connect.
    [[nodiscard]] QString logPath() const;
    // Runs started in this window, the current one included.
    [[nodiscard]] int runsStarted() const { return m_runsStarted; }

private:
    // The objects that live for one update run; the controller goes first.
    struct Run {
        std::stop_source stop;
        std::unique_ptr<Pacer> sleepingPacer;
        std::unique_ptr<CountingPacer> pacer;
        std::unique_ptr<ViewController> controller;
    };

    std::unique_ptr<Run> makeRun();
    std::unique_ptr<MassStorageController> makeLink();
    // Asked when the window is closed: while pages are written, only with the user's consent.
    bool mayClose();
    void connectPressed();
    void sequenceEnded(bool downloadSequence, ViewController::Outcome outcome);
    void showLog();
    void trace(const char* source, const std::string& text);
    void watchChange(const ElementChange& change);
    void showTimeLeft();
    [[nodiscard]] std::shared_ptr<TraceLog> currentTrace() const;

    Settings m_settings;
    QObject m_uiContext;
    MainWindowModel m_model;
    QtUiDispatcher m_dispatcher{&m_uiContext};
    std::unique_ptr<RecordingPacer> m_recordingPacer;
    QtLocalizer m_localizer;
    QtSelectionPresenter m_presenter;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DemoEnvironment> m_demo;
    RunLogFolder m_logs;
    std::function<void(bool, ViewController::Outcome)> m_sequenceListener;
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
    QString m_logPath;

    // The download's pause schedule and the pacer count when the writing started.
    std::vector<double> m_schedule;
    std::size_t m_scheduleBase = 0;
    bool m_writingShown = false;
};
