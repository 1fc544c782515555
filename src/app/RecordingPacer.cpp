#include "app/RecordingPacer.hpp"

#include <numeric>

bool RecordingPacer::pause(double seconds) {
    const std::lock_guard lock(m_mutex);
    m_pauses.push_back(seconds);
    return true;
}

std::vector<double> RecordingPacer::pauses() const {
    const std::lock_guard lock(m_mutex);
    return m_pauses;
}

double RecordingPacer::total() const {
    const std::lock_guard lock(m_mutex);
    return std::accumulate(m_pauses.begin(), m_pauses.end(), 0.0);
}

void RecordingPacer::clear() {
    const std::lock_guard lock(m_mutex);
    m_pauses.clear();
}
