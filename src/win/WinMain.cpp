// The Windows desktop application: options, the window, and a quit that never hangs.

#include "app/TraceLog.hpp"
#include "install/SystemPaths.hpp"
#include "install/WideText.hpp"
#include "win/WinScreenshotTour.hpp"
#include "win/WinUpdater.hpp"
#include "win/WindowOptions.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

namespace {

// Closing the window must end the process within a second, whatever the workers wait for.
constexpr std::chrono::milliseconds kQuitDeadline{800};

std::vector<std::string> utf8Arguments() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(sys::utf8FromWide(words[i]));
    }
    LocalFree(words);
    return arguments;
}

// No message box while the window walks through its states on its own: nobody is there to
// close it.
bool g_unattended = false;

bool writeTo(DWORD which, const std::string& text) {
    const HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode) != FALSE) {
        const std::wstring wide = sys::wideFromUtf8(text);
        return WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), &written,
                             nullptr) != FALSE;
    }
    return WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
}

// A window program has no console of its own: the text goes where its output was sent, else to
// the console it was started from, else into a message box.
void tell(const std::string& text, bool error) {
    const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    if (writeTo(which, text)) {
        return;
    }
    if (AttachConsole(ATTACH_PARENT_PROCESS) != FALSE && writeTo(which, text)) {
        return;
    }
    if (!g_unattended) {
        MessageBoxW(nullptr, sys::wideFromUtf8(text).c_str(), L"detector-updater",
                    MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
    }
}

int fail(const std::string& message) {
    tell("detector-updater: " + message + "\n", true);
    return 2;
}

// COM (the accessibility annotations), GDI+ (pictures and spinner) and the common controls, for
// the whole life of the window.
struct Platform {
    Platform() {
        comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        const Gdiplus::GdiplusStartupInput input;
        gdiplusStarted = Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr) == Gdiplus::Ok;
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES |
                                                                        ICC_PROGRESS_CLASS |
                                                                        ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
    }
    ~Platform() {
        if (gdiplusStarted) {
            Gdiplus::GdiplusShutdown(gdiplus);
        }
        if (comStarted) {
            CoUninitialize();
        }
    }
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    Platform(Platform&&) = delete;
    Platform& operator=(Platform&&) = delete;

    ULONG_PTR gdiplus = 0;
    bool gdiplusStarted = false;
    bool comStarted = false;
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
    std::string error;
    std::string help;
    const auto options = WindowOptions::parse(utf8Arguments(), error, help);
    if (!options) {
        if (!help.empty()) {
            tell(help, false);
            return 0;
        }
        return fail(error);
    }
    g_unattended = !options->screenshotDir.empty();
    if (!options->traceFile.empty() && !TraceLog::open(options->traceFile)) {
        return fail("cannot write the trace file " + options->traceFile);
    }
    const Platform platform;

    WinUpdater::Settings settings;
    settings.language =
        options->language.empty() ? WinUpdater::systemLanguage() : options->language;
    settings.virtualDetector = options->virtualDetector();
    settings.profile = sys::pathFromUtf8(options->profile);
    settings.startSimulatedServer = options->server.empty();
    settings.recordPauses = !options->screenshotDir.empty();
    settings.serverOverride = options->server;
    settings.probeOverride = options->probeUrl;
    settings.traceFile = sys::pathFromUtf8(options->traceFile);
    if (!options->screenshotDir.empty()) {
        settings.plugDelayMs = -1;
    }
    auto* updater = new WinUpdater(settings);
    if (!updater->start(instance, error)) {
        return fail(error);
    }

    if (!options->screenshotDir.empty()) {
        WinScreenshotTour tour(*updater, sys::pathFromUtf8(options->screenshotDir),
                               options->screenshotRun == "fail");
        const bool ok = tour.run(error);
        std::string written;
        for (const auto& path : tour.written()) {
            written += sys::utf8FromPath(path) + "\n";
        }
        tell(written, false);
        const bool stopped = updater->shutdown(kQuitDeadline * 10);
        if (!ok) {
            return fail(error);
        }
        if (stopped) {
            delete updater;
        }
        std::_Exit(0);
    }

    updater->window().show(showCommand);
    const int status = updater->runMessageLoop();
    // Requests in flight end at once (the controller stops its client); then the workers get
    // the deadline to return.
    if (!updater->shutdown(kQuitDeadline)) {
        std::_Exit(status);
    }
    delete updater;
    return status;
}
