#pragma once
// The Win32 UiDispatcher: a worker's window change runs on the window's thread, the worker waits.

#include "app/UiDispatcher.hpp"
#include "app/WorkQueue.hpp"

#include <functional>
#include <thread>

#include <windows.h>

// The changes travel through a WorkQueue; a posted message without data only wakes the
// window's loop, which then runs what is queued (drain).
class WinUiDispatcher final : public UiDispatcher {
public:
    // The message that wakes the loop; the window calls drain() when it arrives.
    static constexpr UINT kWakeMessage = WM_APP + 1;

    // Made on the UI thread; window receives the wake messages.
    explicit WinUiDispatcher(HWND window);
    ~WinUiDispatcher() override;
    WinUiDispatcher(const WinUiDispatcher&) = delete;
    WinUiDispatcher& operator=(const WinUiDispatcher&) = delete;
    WinUiDispatcher(WinUiDispatcher&&) = delete;
    WinUiDispatcher& operator=(WinUiDispatcher&&) = delete;

    // Inline on the UI thread; from a worker queued in order, and the worker waits until the
    // change has run. After close() a worker's call returns at once without running fn.
    void runAndWait(std::function<void()> fn) override;

    // On the UI thread: runs every change queued so far.
    void drain() { m_queue.runAll(); }
    void close() { m_queue.close(); }

private:
    HWND m_window;
    std::thread::id m_uiThread;
    WorkQueue m_queue;
};
