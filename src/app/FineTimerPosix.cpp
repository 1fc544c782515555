#include "app/FineTimer.hpp"

#include <condition_variable>
#include <mutex>

FineTimer::FineTimer() = default;
FineTimer::~FineTimer() = default;

void FineTimer::sleepFor(std::chrono::steady_clock::duration length, const std::stop_token& token) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    // Nothing notifies `wake`: only the stop request or the time-out end the wait.
    wake.wait_for(lock, token, length, [] { return false; });
}

std::uint32_t FineTimer::requestedMilliseconds() { return 0; }
