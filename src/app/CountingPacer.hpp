#pragma once
// A Pacer that counts the pauses it passes on, so the window knows how far the schedule is.

#include "app/Pacer.hpp"

#include <atomic>
#include <cstddef>

// The count is raised before the pause starts: while a worker waits for a window change, the
// count is the number of pauses it has made.
class CountingPacer final : public Pacer {
public:
    explicit CountingPacer(Pacer& inner)
        : m_inner(inner) {}

    bool pause(double seconds) override {
        m_count.fetch_add(1);
        return m_inner.pause(seconds);
    }

    [[nodiscard]] std::size_t count() const { return m_count.load(); }

private:
    Pacer& m_inner;
    std::atomic<std::size_t> m_count{0};
};
