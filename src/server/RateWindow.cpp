#include "server/RateWindow.hpp"

namespace server {

RateWindow::RateWindow(std::chrono::milliseconds window, std::size_t minBytesPerSecond,
                       Clock::time_point start)
    : m_window(window)
    , m_minBytes(static_cast<std::uint64_t>(minBytesPerSecond) *
                 static_cast<std::uint64_t>(window.count() > 0 ? window.count() : 0) / 1000U) {
    m_samples.emplace_back(start, 0);
}

bool RateWindow::tooSlow(Clock::time_point now, std::uint64_t totalBytes) {
    if (m_window.count() <= 0 || m_minBytes == 0) {
        return false;
    }
    if (now - m_samples.back().first >= m_window / 16) {
        m_samples.emplace_back(now, totalBytes);
    }
    const Clock::time_point windowStart = now - m_window;
    // Keep the newest sample that is at least a window old: it starts the window measured.
    while (m_samples.size() >= 2 && m_samples[1].first <= windowStart) {
        m_samples.pop_front();
    }
    const auto& [since, bytesThen] = m_samples.front();
    return since <= windowStart && totalBytes - bytesThen < m_minBytes;
}

} // namespace server
