#pragma once
// Keeps the system's timer fine enough for the write loop's pauses while one is held. Windows
// rounds every wait up to its timer tick (15.6 ms unless a program asks for 1 ms), which would
// stretch each 70 ms pause to 78 ms; other systems wait on the host's fine timers anyway.

#include <cstdint>

class FineTimer {
public:
    FineTimer();
    ~FineTimer();
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;
    FineTimer(FineTimer&&) = delete;
    FineTimer& operator=(FineTimer&&) = delete;

    // The timer period this process has asked of the system, in milliseconds; 0 when it asked
    // for none (no FineTimer is held, or the system needs no asking).
    static std::uint32_t requestedMilliseconds();
};
