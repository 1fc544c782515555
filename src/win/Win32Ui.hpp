#pragma once
// Small Win32 calls both windows need: the monitor's DPI, frames sized for it, and texts.

#include <string>
#include <string_view>

#include <windows.h>

namespace win32 {

// The DPI of the system (the primary monitor at log-on), which GetSystemMetrics and the
// classic calls scale to.
UINT systemDpi();
// The DPI of the monitor the window is on (Windows 10 1607 and later), else the system's.
UINT windowDpi(HWND hwnd);
// The window rectangle for a client rectangle at dpi (AdjustWindowRectExForDpi where Windows
// has it, else at the system's DPI).
void adjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
// A window's text, as UTF-8.
std::string windowText(HWND hwnd);
// The width text takes in font, in pixels.
int textWidth(HWND hwnd, HFONT font, std::string_view text);

// A user32 function looked up at run time, so the program still starts on systems without it.
template <typename Fn>
Fn user32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return nullptr;
    }
    // The usual cast of GetProcAddress's generic pointer to the function's own type.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

} // namespace win32
