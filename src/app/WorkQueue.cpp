#include "app/WorkQueue.hpp"

#include <utility>

bool WorkQueue::runAndWait(std::function<void()> fn, const std::function<void()>& wake) {
    bool finished = false;
    std::unique_lock lock(m_mutex);
    if (m_closed) {
        return false;
    }
    m_tasks.push_back(Task{std::move(fn), &finished});
    m_queued.notify_all();
    if (wake) {
        lock.unlock();
        wake();
        lock.lock();
    }
    // A task already running when the queue closes is waited for: it writes to `finished`.
    m_ran.wait(lock, [&] { return finished || (m_closed && m_running != &finished); });
    // close() has taken an unrun task (which points at `finished`) out of the queue already.
    return finished;
}

void WorkQueue::post(std::function<void()> fn) {
    const std::lock_guard lock(m_mutex);
    if (m_closed) {
        return;
    }
    m_tasks.push_back(Task{std::move(fn), nullptr});
    m_queued.notify_all();
}

bool WorkQueue::runNext(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(m_mutex);
    m_queued.wait_until(lock, until, [&] { return !m_tasks.empty(); });
    if (m_tasks.empty()) {
        return false;
    }
    runFront(lock);
    return true;
}

void WorkQueue::runAll() {
    std::unique_lock lock(m_mutex);
    while (!m_tasks.empty()) {
        runFront(lock);
    }
}

void WorkQueue::runFront(std::unique_lock<std::mutex>& lock) {
    Task task = std::move(m_tasks.front());
    m_tasks.pop_front();
    m_running = task.finished;
    lock.unlock();
    task.fn();
    lock.lock();
    m_running = nullptr;
    if (task.finished != nullptr) {
        *task.finished = true;
    }
    m_ran.notify_all();
}

void WorkQueue::close() {
    const std::lock_guard lock(m_mutex);
    m_closed = true;
    m_tasks.clear();
    m_ran.notify_all();
}

bool WorkQueue::closed() const {
    const std::lock_guard lock(m_mutex);
    return m_closed;
}
