#include "cli/QueueDispatcher.hpp"

#include <utility>

QueueDispatcher::QueueDispatcher()
    : m_uiThread(std::this_thread::get_id()) {}

void QueueDispatcher::runAndWait(std::function<void()> fn) {
    if (std::this_thread::get_id() == m_uiThread) {
        fn();
        return;
    }
    m_queue.runAndWait(std::move(fn));
}

void QueueDispatcher::post(std::function<void()> fn) { m_queue.post(std::move(fn)); }

bool QueueDispatcher::runUntil(const std::function<bool()>& done,
                               std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kRecheck = std::chrono::milliseconds(50);
    while (!done()) {
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        m_queue.runNext(deadline - now > kRecheck ? now + kRecheck : deadline);
    }
    return true;
}
