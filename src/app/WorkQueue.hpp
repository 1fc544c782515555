#pragma once
// Changes handed from worker threads to the one thread that runs them, in order.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// The hand-off behind the front ends' dispatchers: a worker queues a change and waits until the
// UI thread has run it, through a std::mutex both sides (and sanitizers) can see. The UI thread
// runs changes with runNext or runAll from whatever loop it has.
class WorkQueue {
public:
    // Queues fn, calls wake (outside the lock) so the UI thread's loop looks at the queue, and
    // waits until fn has run. Returns false without running fn once the queue is closed,
    // including when it closes while fn is still waiting.
    bool runAndWait(std::function<void()> fn, const std::function<void()>& wake = {});
    // Queues fn without waiting. Dropped once closed.
    void post(std::function<void()> fn);

    // Runs the next queued change, waiting for one until `until`. False when none came.
    bool runNext(std::chrono::steady_clock::time_point until);
    // Runs every queued change, including those queued while it runs.
    void runAll();

    // Drops the changes not yet run; waiting workers return false, later calls too.
    void close();
    [[nodiscard]] bool closed() const;

private:
    struct Task {
        std::function<void()> fn;
        bool* finished = nullptr; // set once fn has run; null for posts
    };
    // Pops and runs one task; the lock is held on entry and on return.
    void runFront(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_ran;
    std::deque<Task> m_tasks;
    const bool* m_running = nullptr; // `finished` of the task running now
    bool m_closed = false;
};
