#pragma once
// The main window on Win32: draws the window model's sixteen elements and forwards the two
// buttons; below them, what the window adds around one update: the time left, starting over
// and the log.

#include "app/Localizer.hpp"
#include "app/MainWindowModel.hpp"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace Gdiplus {
class Bitmap;
}

// Everything runs on the UI thread. The model is the truth: every change notice is applied to
// its control at once. Layout is in the Qt window's logical pixels, scaled to the monitor's DPI.
class MainWindowWin32 {
public:
    // model and texts outlive the window; GDI+ is started by the caller.
    MainWindowWin32(MainWindowModel& model, const Localizer& texts);
    ~MainWindowWin32();
    MainWindowWin32(const MainWindowWin32&) = delete;
    MainWindowWin32& operator=(const MainWindowWin32&) = delete;
    MainWindowWin32(MainWindowWin32&&) = delete;
    MainWindowWin32& operator=(MainWindowWin32&&) = delete;

    // Creates the window, hidden, with every control drawn from the model. False when Windows
    // refuses a window class or the window.
    bool create(HINSTANCE instance);
    void show(int showCommand);
    [[nodiscard]] HWND hwnd() const { return m_hwnd; }

    // The buttons' actions.
    void setActions(std::function<void()> onConnect, std::function<void()> onDownload);
    void setRunActions(std::function<void()> onStartOver, std::function<void()> onShowLog);
    // Asked when the user closes the window; false keeps it open.
    void setCloseGuard(std::function<bool()> mayClose);
    // Told of every change after the window has drawn it: the log, then the observer.
    void setChangeLog(std::function<void(const ElementChange&)> log);
    void setChangeObserver(std::function<void(const ElementChange&)> observer);
    // Called on the window's thread when a dispatcher's wake message arrives.
    void setWakeHandler(std::function<void()> onWake);
    // Runs fn once on the window's thread after `milliseconds`.
    void after(unsigned milliseconds, std::function<void()> fn);

    // At the end of a run: offers starting over and, after a failure, the log; with offered
    // false both go away. The keyboard focus goes to "Update another detector".
    void offerRunEnd(bool offered, bool showLog);
    // The line under the progress bar; an empty text hides it.
    void setTimeLeft(const std::string& text);
    void focusConnect();
    // The About box (F1, and the window menu's entry).
    void showAbout();

    // The message loop's keyboard handling: Tab between the controls, Enter and Space on the
    // focused button, F1. True when msg was handled.
    bool preTranslate(MSG& msg);

    // The control that shows an element, and the extra controls.
    [[nodiscard]] HWND control(Element element) const;
    [[nodiscard]] HWND startOverButton() const { return m_startOver; }
    [[nodiscard]] HWND showLogButton() const { return m_showLog; }
    [[nodiscard]] HWND timeLeftLine() const { return m_timeLeft; }
    // Whether a spinner turns now.
    [[nodiscard]] bool animating(Element element) const;
    // The colour a text line is drawn in now, and the window's background.
    [[nodiscard]] COLORREF textColour(Element element) const;
    [[nodiscard]] COLORREF backgroundColour() const;
    // The name a screen reader announces for a control.
    [[nodiscard]] std::wstring accessibleName(HWND control) const;
    [[nodiscard]] UINT dpi() const { return m_dpi; }

    static COLORREF toColorRef(Colour colour);

    // What a picture or a spinner paints.
    struct ChildState;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void build();
    void layout();
    void makeFonts();
    void apply(const ElementChange& change);
    void renderAll();
    void nameForScreenReaders();
    void name(HWND control, const std::string& text);
    int px(int logical) const;
    // A button's width for its caption in its font, at least minimumLogical.
    int buttonWidth(HWND button, int minimumLogical) const;
    void placeText(Element element);

    MainWindowModel& m_model;
    const Localizer& m_texts;
    HINSTANCE m_instance = nullptr;
    HWND m_hwnd = nullptr;
    UINT m_dpi = 96;
    std::array<HWND, kElementCount> m_controls{};
    HWND m_startOver = nullptr;
    HWND m_showLog = nullptr;
    HWND m_timeLeft = nullptr;
    bool m_showLogOffered = false;
    HBRUSH m_background = nullptr;
    COLORREF m_backgroundColour = RGB(255, 255, 255);
    std::map<int, HFONT> m_fonts; // by logical pixel size, bold as negative
    std::array<std::unique_ptr<Gdiplus::Bitmap>, 3> m_art;
    std::vector<std::unique_ptr<ChildState>> m_children;
    std::map<HWND, std::wstring> m_accessibleNames;
    // The one-shot timers of after(), by timer id.
    std::map<UINT_PTR, std::function<void()>> m_timers;
    UINT_PTR m_nextTimer = 100;
    std::function<void()> m_onConnect;
    std::function<void()> m_onDownload;
    std::function<void()> m_onStartOver;
    std::function<void()> m_onShowLog;
    std::function<bool()> m_mayClose;
    std::function<void(const ElementChange&)> m_changeLog;
    std::function<void(const ElementChange&)> m_observer;
    std::function<void()> m_onWake;
};
