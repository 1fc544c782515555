#pragma once
// One run of the updater in the window: the window model and its widgets, the Qt dispatcher,
// localizer and presenter, the pacer, the demo world when asked for, and the controller.

#include "app/MainWindowModel.hpp"
#include "app/Pacer.hpp"
#include "app/RecordingPacer.hpp"
#include "app/ViewController.hpp"
#include "gui/DemoEnvironment.hpp"
#include "gui/MainWindow.hpp"
#include "gui/QtLocalizer.hpp"
#include "gui/QtSelectionPresenter.hpp"
#include "gui/QtUiDispatcher.hpp"

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

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
    };

    explicit UpdaterSession(Settings settings);
    UpdaterSession(const UpdaterSession&) = delete;
    UpdaterSession& operator=(const UpdaterSession&) = delete;
    // Stops the workers first (see shutdown); after a shutdown that ran out of time it waits for
    // them, so no worker outlives what it works on.
    ~UpdaterSession();

    // Builds the demo world if asked, the controller, and the window's start-up state.
    bool start(QString& error);

    // Quitting: no more window changes, every wait ended, the workers joined while the UI
    // thread keeps serving them. False when they did not end within the deadline; the caller
    // should then end the process without destroying the session (destroying it waits).
    bool shutdown(std::chrono::milliseconds deadline);

    // Told on the UI thread after a sequence ended.
    void setSequenceListener(std::function<void(bool, ViewController::Outcome)> listener);

    [[nodiscard]] MainWindow& window() { return *m_window; }
    [[nodiscard]] MainWindowModel& model() { return m_model; }
    [[nodiscard]] ViewController& controller() { return *m_controller; }
    [[nodiscard]] QtSelectionPresenter& presenter() { return m_presenter; }
    [[nodiscard]] QtUiDispatcher& dispatcher() { return m_dispatcher; }
    [[nodiscard]] DemoEnvironment* demo() { return m_demo.get(); }
    [[nodiscard]] RecordingPacer* recordingPacer() { return m_recordingPacer.get(); }

private:
    // Asked when the window is closed: while pages are written, only with the user's consent.
    bool mayClose();
    void connectPressed();

    Settings m_settings;
    QObject m_uiContext;
    MainWindowModel m_model;
    QtUiDispatcher m_dispatcher{&m_uiContext};
    std::stop_source m_stop;
    std::unique_ptr<RecordingPacer> m_recordingPacer;
    std::unique_ptr<Pacer> m_sleepingPacer;
    QtLocalizer m_localizer;
    QtSelectionPresenter m_presenter;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DemoEnvironment> m_demo;
    std::function<void(bool, ViewController::Outcome)> m_sequenceListener;
    std::unique_ptr<ViewController> m_controller;
    // Joins the workers during shutdown; never detached, so it cannot outlive m_controller.
    std::thread m_joiner;
    std::shared_ptr<std::atomic<bool>> m_joined;
    bool m_shutDown = false;
};
