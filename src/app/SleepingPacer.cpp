#include "app/SleepingPacer.hpp"

#include "app/FineTimer.hpp"

#include <algorithm>
#include <chrono>
#include <utility>

SleepingPacer::SleepingPacer(std::stop_token token)
    : m_token(std::move(token)) {}

bool SleepingPacer::pause(double seconds) {
    // Written so that NaN also lands here.
    if (!(seconds > 0.0)) {
        return true;
    }
    if (m_token.stop_requested()) {
        m_interrupted.fetch_add(1);
        return false;
    }
    const std::chrono::duration<double> length(std::min(seconds, kMaxPauseSeconds));
    const auto wanted = std::chrono::ceil<std::chrono::steady_clock::duration>(length);
    // Held for the whole pause, and counted as active only while it is held.
    FineTimer fine;
    m_active.fetch_add(1);
    fine.sleepFor(wanted, m_token);
    const bool stopped = m_token.stop_requested();
    if (stopped) {
        m_interrupted.fetch_add(1);
    }
    m_active.fetch_sub(1);
    return !stopped;
}
