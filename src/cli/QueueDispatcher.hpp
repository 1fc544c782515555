#pragma once
// The terminal front end's UI thread: a queue of window changes run by the main thread's loop.

#include "app/UiDispatcher.hpp"
#include "app/WorkQueue.hpp"

#include <chrono>
#include <functional>
#include <thread>

// The thread that constructs it is the UI thread. Workers' runAndWait calls queue their change
// and block until the loop has run it; on the UI thread the change runs at once.
class QueueDispatcher final : public UiDispatcher {
public:
    QueueDispatcher();

    void runAndWait(std::function<void()> fn) override;
    // Queues fn for the UI thread without waiting (signal watcher, timers). Safe from any thread.
    void post(std::function<void()> fn);

    // Runs queued changes on the UI thread until done() is true or the deadline passes; done()
    // is checked after every change and at least every 50 ms. True when done() became true.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::steady_clock::time_point deadline =
                      std::chrono::steady_clock::time_point::max());

private:
    std::thread::id m_uiThread;
    WorkQueue m_queue;
};
