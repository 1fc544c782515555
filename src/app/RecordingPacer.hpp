#pragma once
// A Pacer for tests and the virtual detector's demo: records each requested pause, sleeps never.

#include "app/Pacer.hpp"

#include <mutex>
#include <vector>

class RecordingPacer final : public Pacer {
public:
    // Records seconds as given (even when not positive) and returns true at once.
    bool pause(double seconds) override;

    // The pauses requested so far, in order, and their sum.
    [[nodiscard]] std::vector<double> pauses() const;
    [[nodiscard]] double total() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<double> m_pauses;
};
