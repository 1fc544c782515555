#pragma once
// Pauses as long as asked and not noticeably longer, for the write loop's pauses. Windows rounds
// every wait up to its timer tick (15.6 ms unless a program asks for 1 ms), which would stretch
// each 70 ms pause to 78 ms, and even at 1 ms its waits end late by about a millisecond; other
// systems wait on the host's fine timers anyway.

#include <chrono>
#include <cstdint>
#include <stop_token>

class FineTimer {
public:
    FineTimer();
    ~FineTimer();
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;
    FineTimer(FineTimer&&) = delete;
    FineTimer& operator=(FineTimer&&) = delete;

    // Returns once `length` has passed, or soon after a stop is requested on `token`. Sleeps
    // without using the processor, except on Windows for the last millisecond, which it waits
    // out yielding, since no system wait ends that precisely.
    void sleepFor(std::chrono::steady_clock::duration length, const std::stop_token& token);

    // The timer period this process has asked of the system, in milliseconds; 0 when it asked
    // for none (no FineTimer is held, or the system needs no asking).
    static std::uint32_t requestedMilliseconds();
};
