#pragma once
// The pauses a download will make, known in advance from the record: the basis of "time left".

#include "device/ConnectedTargetInfo.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

// The download sequence's pauses are fixed: two per page (after the write and after the
// read-back, by memory selector) and one after each stage. From the record as it stands when
// the writing starts, this lists them in the order the sequence makes them, so the time left
// after n pauses is the sum of the rest; no clock is read.
class UpdateSchedule {
public:
    // Every pause of a download that runs to its end, for the record after the dialog's answer
    // (the rebuilt database image in place). A stage whose cut or page size the write loop
    // refuses contributes only its closing pause, as the sequence does.
    static std::vector<double> downloadPauses(const ConnectedTargetInfo& record);

    // Pages the write loop writes for a cut, 0 for what it refuses.
    static std::uint64_t pages(std::uint32_t cutStart, std::uint32_t cutEnd,
                               std::uint32_t pageSize);

    // Seconds of the pauses after the first `made`; 0 once all are made.
    static double secondsLeft(const std::vector<double>& pauses, std::size_t made);
};
