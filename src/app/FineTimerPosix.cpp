#include "app/FineTimer.hpp"

FineTimer::FineTimer() = default;
FineTimer::~FineTimer() = default;

std::uint32_t FineTimer::requestedMilliseconds() { return 0; }
