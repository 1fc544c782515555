#pragma once
// Walks the real window through its states on the demo detector and saves one PNG per state.

#include "win/WinUpdater.hpp"

#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>

// The same states and file names as the Qt window's tour: the success run saves initial,
// searching, connected, selection, downloading, complete, the dialog's total line refusing a
// click and, after "Update another detector", the next detector connected; the fail run (a
// read-back fault in the first image written) saves fail. The clicks are real button messages.
// Pictures are taken from the screen, so whatever frame the system draws is in them.
class WinScreenshotTour {
public:
    WinScreenshotTour(WinUpdater& updater, std::filesystem::path folder, bool failRun);

    // Serves the window's messages until the run has ended. False when a state was never
    // reached or a file could not be written; error says which.
    bool run(std::string& error);

    [[nodiscard]] const std::vector<std::filesystem::path>& written() const { return m_written; }

    // The screen's pixels under the windows, as a PNG file. False when it cannot be written.
    static bool saveScreen(const std::vector<HWND>& windows, const std::filesystem::path& file);

private:
    void saveWindow(const std::string& state, bool withDialog = false);
    void onDialogShown();
    void startAnotherRun();
    void settle(int milliseconds);
    void finish(const std::string& why);

    WinUpdater& m_updater;
    std::filesystem::path m_folder;
    bool m_failRun;
    bool m_downloadingSaved = false;
    bool m_finished = false;
    bool m_secondRun = false;
    bool m_dialogPending = false;
    std::string m_error;
    std::vector<std::filesystem::path> m_written;
};
