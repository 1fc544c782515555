#pragma once
// One window of the updater on Windows: the window model and its Win32 window, the dispatcher,
// the texts and the dialog's presenter, and the demo world when asked for, around the
// toolkit-free session that runs one update after another.

#include "app/CatalogueLocalizer.hpp"
#include "app/LastChoiceStore.hpp"
#include "app/MainWindowModel.hpp"
#include "app/RecordingPacer.hpp"
#include "app/WindowSession.hpp"
#include "sim/DemoWorld.hpp"
#include "win/MainWindowWin32.hpp"
#include "win/WinSelectionPresenter.hpp"
#include "win/WinUiDispatcher.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <windows.h>

class WinUpdater {
public:
    struct Settings {
        std::string language = "en";
        // A virtual detector (and, without a server address, the simulated server).
        bool virtualDetector = false;
        std::filesystem::path profile;
        bool startSimulatedServer = true;
        // Record the pauses instead of sleeping; only with the virtual detector.
        bool recordPauses = false;
        // How long after Connect the virtual detector arrives; negative: only by plugIn().
        int plugDelayMs = 3000;
        std::string serverOverride;
        std::string probeOverride;
        std::filesystem::path traceFile;
        // The per-user folder of the run logs and the last choice; empty: %LOCALAPPDATA%.
        std::filesystem::path dataFolder;
        // "Show log": opens a folder in Explorer; tests replace it.
        std::function<void(const std::filesystem::path& folder)> openFolder;
    };

    explicit WinUpdater(Settings settings);
    WinUpdater(const WinUpdater&) = delete;
    WinUpdater& operator=(const WinUpdater&) = delete;
    WinUpdater(WinUpdater&&) = delete;
    WinUpdater& operator=(WinUpdater&&) = delete;
    ~WinUpdater();

    // The user's folder for the window's data: %LOCALAPPDATA%\detector-updater.
    static std::filesystem::path defaultDataFolder();
    // "ru" when Windows' display language is Russian, else "en".
    static std::string systemLanguage();

    // A device profile's path: the file given, else the shipped profile of that name (the demo
    // profile for an empty one); empty when there is none.
    static std::filesystem::path profilePath(const std::filesystem::path& profile);

    // Creates the window (hidden), the demo world if asked, and the first run. False with error
    // set when something is missing.
    bool start(HINSTANCE instance, std::string& error);

    // The message loop until the window is gone; the dialog and the window see their keys
    // first. Returns the quit status.
    int runMessageLoop();
    // Runs the messages waiting now, or waits up to `wait` for one.
    void serveEvents(std::chrono::milliseconds wait = std::chrono::milliseconds(20));
    bool shutdown(std::chrono::milliseconds deadline) { return m_session->shutdown(deadline); }

    void setSequenceListener(std::function<void(bool, ViewController::Outcome)> listener);

    [[nodiscard]] MainWindowWin32& window() { return m_window; }
    [[nodiscard]] MainWindowModel& model() { return m_model; }
    [[nodiscard]] WindowSession& session() { return *m_session; }
    [[nodiscard]] WinSelectionPresenter& presenter() { return m_presenter; }
    [[nodiscard]] sim::DemoWorld* demo() { return m_demo.get(); }
    [[nodiscard]] const CatalogueLocalizer& texts() const { return m_texts; }

private:
    bool confirmStop();
    bool findDemo(std::filesystem::path& profile, std::filesystem::path& catalog,
                  std::string& error) const;

    Settings m_settings;
    CatalogueLocalizer m_texts;
    MainWindowModel m_model;
    MainWindowWin32 m_window{m_model, m_texts};
    std::unique_ptr<WinUiDispatcher> m_dispatcher;
    std::unique_ptr<RecordingPacer> m_recordingPacer;
    WinSelectionPresenter m_presenter{m_texts};
    std::unique_ptr<FileLastChoiceStore> m_lastChoice;
    std::unique_ptr<sim::DemoWorld> m_demo;
    std::function<void(bool, ViewController::Outcome)> m_sequenceListener;
    std::unique_ptr<WindowSession> m_session;
};
