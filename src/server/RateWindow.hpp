#pragma once
// Whether a transfer's average rate over the last window fell below a floor.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>

namespace server {

// A server can keep a request alive for ever by sending one byte just inside every inactivity
// time-out. This looks at the bytes of the whole last window instead: fewer than the floor
// times the window fails the request. Time is passed in, so tests need no clock.
class RateWindow {
public:
    using Clock = std::chrono::steady_clock;

    // A window or floor of 0 never finds a transfer too slow.
    RateWindow(std::chrono::milliseconds window, std::size_t minBytesPerSecond,
               Clock::time_point start);

    // Notes that `totalBytes` had arrived by `now` (never less than at an earlier call). True
    // once a whole window lies behind `now` in which fewer than the floor's bytes arrived.
    bool tooSlow(Clock::time_point now, std::uint64_t totalBytes);

private:
    std::chrono::milliseconds m_window;
    std::uint64_t m_minBytes;
    // (time, bytes so far), at least a sixteenth of the window apart, oldest first.
    std::deque<std::pair<Clock::time_point, std::uint64_t>> m_samples;
};

} // namespace server
