#include "app/FineTimer.hpp"

#include <mutex>

#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

namespace {

constexpr UINT kPeriodMs = 1;
std::mutex gMutex;
std::uint32_t gHolders = 0;
std::uint32_t gRequested = 0;

} // namespace

FineTimer::FineTimer() {
    const std::lock_guard lock(gMutex);
    if (gHolders++ == 0 && timeBeginPeriod(kPeriodMs) == TIMERR_NOERROR) {
        gRequested = kPeriodMs;
    }
}

FineTimer::~FineTimer() {
    const std::lock_guard lock(gMutex);
    if (--gHolders == 0 && gRequested != 0) {
        timeEndPeriod(kPeriodMs);
        gRequested = 0;
    }
}

std::uint32_t FineTimer::requestedMilliseconds() {
    const std::lock_guard lock(gMutex);
    return gRequested;
}
