#include "cli/QueueDispatcher.hpp"

#include <utility>

QueueDispatcher::QueueDispatcher()
    : m_uiThread(std::this_thread::get_id()) {}

void QueueDispatcher::runAndWait(std::function<void()> fn) {
    if (std::this_thread::get_id() == m_uiThread) {
        fn();
        return;
    }
    bool finished = false;
    std::unique_lock lock(m_mutex);
    m_tasks.push_back(Task{std::move(fn), &finished});
    m_queued.notify_all();
    m_ran.wait(lock, [&] { return finished; });
}

void QueueDispatcher::post(std::function<void()> fn) {
    const std::lock_guard lock(m_mutex);
    m_tasks.push_back(Task{std::move(fn), nullptr});
    m_queued.notify_all();
}

bool QueueDispatcher::runUntil(const std::function<bool()>& done,
                               std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kRecheck = std::chrono::milliseconds(50);
    while (!done()) {
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        Task task;
        {
            std::unique_lock lock(m_mutex);
            const auto wakeAt = deadline - now > kRecheck ? now + kRecheck : deadline;
            m_queued.wait_until(lock, wakeAt, [&] { return !m_tasks.empty(); });
            if (m_tasks.empty()) {
                continue;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task.fn();
        if (task.finished != nullptr) {
            const std::lock_guard lock(m_mutex);
            *task.finished = true;
            m_ran.notify_all();
        }
    }
    return true;
}
