#pragma once
// One window of the updater: the window model and its widgets, the Qt dispatcher, localizer and
// presenter, and the demo world when asked for, around the toolkit-free session that runs one
// update after another.

#include "app/MainWindowModel.hpp"
#include "app/RecordingPacer.hpp"
#include "app/ViewController.hpp"
#include "app/WindowSession.hpp"
#include "gui/DemoEnvironment.hpp"
#include "gui/MainWindow.hpp"
#include "gui/QtLocalizer.hpp"
#include "gui/QtSelectionPresenter.hpp"
#include "gui/QtUiDispatcher.hpp"
#include "gui/SettingsLastChoiceStore.hpp"

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

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
        // The run logs' folder; empty: defaultLogFolder().
        QString logFolder;
        // "Show log": opens a folder with the desktop's file manager; tests replace it.
        std::function<void(const QString& folder)> openFolder;
    };

    explicit UpdaterSession(Settings settings);
    UpdaterSession(const UpdaterSession&) = delete;
    UpdaterSession& operator=(const UpdaterSession&) = delete;
    // Stops the workers first (see WindowSession::shutdown).
    ~UpdaterSession();

    // The user's application data folder + "/logs".
    static QString defaultLogFolder();

    // Builds the demo world if asked, the first run's controller, and the start-up state.
    bool start(QString& error);

    // "Update another detector": only once the run has ended (complete, failed, or the connect
    // sequence's "Error"). Joins the finished workers, drops the controller, record and
    // workers, takes the process-wide USB link down, and brings the window back to its
    // start-up state with a new controller. False (nothing changed) while a run is going on.
    bool startOver() { return m_session->startOver(); }
    [[nodiscard]] bool runEnded() const { return m_session->runEnded(); }

    // Quitting: no more window changes, every wait ended, the workers joined while the UI
    // thread keeps serving them. False when they did not end within the deadline; the caller
    // should then end the process without destroying the session (destroying it waits).
    bool shutdown(std::chrono::milliseconds deadline) { return m_session->shutdown(deadline); }

    // Told on the UI thread after a sequence ended.
    void setSequenceListener(std::function<void(bool, ViewController::Outcome)> listener);

    [[nodiscard]] MainWindow& window() { return *m_window; }
    [[nodiscard]] MainWindowModel& model() { return m_model; }
    [[nodiscard]] ViewController& controller() { return m_session->controller(); }
    [[nodiscard]] QtSelectionPresenter& presenter() { return m_presenter; }
    [[nodiscard]] QtUiDispatcher& dispatcher() { return m_dispatcher; }
    [[nodiscard]] DemoEnvironment* demo() { return m_demo.get(); }
    [[nodiscard]] RecordingPacer* recordingPacer() { return m_recordingPacer.get(); }
    // The log of the current run (or of the last one, until the next Connect); empty before
    // the first Connect.
    [[nodiscard]] QString logPath() const;
    // Runs started in this window, the current one included.
    [[nodiscard]] int runsStarted() const { return m_session->runsStarted(); }

private:
    // Asked when the window is closed while pages are written.
    bool confirmStop();

    Settings m_settings;
    QObject m_uiContext;
    MainWindowModel m_model;
    QtUiDispatcher m_dispatcher{&m_uiContext};
    std::unique_ptr<RecordingPacer> m_recordingPacer;
    QtLocalizer m_localizer;
    QtSelectionPresenter m_presenter;
    SettingsLastChoiceStore m_lastChoice;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DemoEnvironment> m_demo;
    std::function<void(bool, ViewController::Outcome)> m_sequenceListener;
    std::unique_ptr<WindowSession> m_session;
};
