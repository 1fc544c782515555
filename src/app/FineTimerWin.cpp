#include "app/FineTimer.hpp"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

using Ticks = std::chrono::duration<LONGLONG, std::ratio<1, 10000000>>;
constexpr UINT kPeriodMs = 1;
// Waited out yielding: system waits end up to about this late.
constexpr auto kYieldedEnd = std::chrono::milliseconds(1);
std::mutex gMutex;
std::uint32_t gHolders = 0;
std::uint32_t gRequested = 0;

class Handle {
public:
    explicit Handle(HANDLE handle)
        : m_handle(handle) {}
    ~Handle() {
        if (m_handle != nullptr) {
            CloseHandle(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&&) = delete;
    Handle& operator=(Handle&&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

} // namespace

FineTimer::FineTimer() {
    const std::lock_guard lock(gMutex);
    if (gHolders++ == 0 && timeBeginPeriod(kPeriodMs) == TIMERR_NOERROR) {
        gRequested = kPeriodMs;
    }
}

FineTimer::~FineTimer() {
    const std::lock_guard lock(gMutex);
    if (--gHolders == 0 && gRequested != 0) {
        timeEndPeriod(kPeriodMs);
        gRequested = 0;
    }
}

void FineTimer::sleepFor(std::chrono::steady_clock::duration length, const std::stop_token& token) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + length;
    const auto sleepPart = length - kYieldedEnd;
    if (sleepPart > Clock::duration::zero()) {
        // Windows 10 1803 and later have high-resolution timers; older ones take the plain
        // kind, fine to the 1 ms period asked for above.
        Handle timer(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                            TIMER_ALL_ACCESS));
        Handle plain(timer.get() == nullptr ? CreateWaitableTimerW(nullptr, TRUE, nullptr)
                                            : nullptr);
        const HANDLE waitable = timer.get() != nullptr ? timer.get() : plain.get();
        Handle stopped(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        // Relative, in 100 ns units.
        LARGE_INTEGER due;
        due.QuadPart = -std::chrono::duration_cast<Ticks>(sleepPart).count();
        if (waitable != nullptr && stopped.get() != nullptr &&
            SetWaitableTimer(waitable, &due, 0, nullptr, nullptr, FALSE) != 0) {
            const std::stop_callback onStop(token, [&stopped] { SetEvent(stopped.get()); });
            const HANDLE both[2] = {waitable, stopped.get()};
            WaitForMultipleObjects(2, both, FALSE, INFINITE);
        } else {
            // No timer to be had: a coarser wait, but never a busy one.
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            wake.wait_for(lock, token, sleepPart, [] { return false; });
        }
    }
    while (!token.stop_requested() && Clock::now() < deadline) {
        std::this_thread::yield();
    }
}

std::uint32_t FineTimer::requestedMilliseconds() {
    const std::lock_guard lock(gMutex);
    return gRequested;
}
