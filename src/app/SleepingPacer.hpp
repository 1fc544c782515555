#pragma once
// The real Pacer: sleeps, and wakes at once when the application asks its work to stop.

#include "app/Pacer.hpp"

#include <atomic>
#include <cstdint>
#include <stop_token>

class SleepingPacer final : public Pacer {
public:
    // Pauses end early once stop has been requested on the source behind token; a default
    // token never stops.
    explicit SleepingPacer(std::stop_token token = {});

    // Sleeps up to seconds (capped at kMaxPauseSeconds). Returns false without sleeping when
    // stop was already requested, or as soon as it is requested during the pause.
    bool pause(double seconds) override;

    // Pauses that ended because of a stop request, and pauses sleeping right now. They let a
    // caller tell an early wake from an elapsed pause without measuring time.
    [[nodiscard]] std::uint64_t interruptedPauses() const { return m_interrupted.load(); }
    [[nodiscard]] std::uint32_t activePauses() const { return m_active.load(); }

    // No sequence pauses longer than a few seconds; the cap keeps clock arithmetic in range.
    static constexpr double kMaxPauseSeconds = 86400.0;

private:
    std::stop_token m_token;
    std::atomic<std::uint64_t> m_interrupted{0};
    std::atomic<std::uint32_t> m_active{0};
};
