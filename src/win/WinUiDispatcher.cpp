#include "win/WinUiDispatcher.hpp"

#include <utility>

WinUiDispatcher::WinUiDispatcher(HWND window)
    : m_window(window)
    , m_uiThread(std::this_thread::get_id()) {}

WinUiDispatcher::~WinUiDispatcher() { close(); }

void WinUiDispatcher::runAndWait(std::function<void()> fn) {
    if (std::this_thread::get_id() == m_uiThread) {
        fn();
        return;
    }
    m_queue.runAndWait(std::move(fn), [this] { PostMessageW(m_window, kWakeMessage, 0, 0); });
}
