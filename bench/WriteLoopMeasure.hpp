#pragma once
// The image write loop against the in-process virtual detector with the real sleeping pacer:
// how much the loop adds to the pauses it must make.

#include <cstdint>

struct WriteLoopMeasure {
    bool ok = false;
    std::uint32_t pages = 0;
    double seconds = 0.0;      // the loop's wall time
    double pauseSeconds = 0.0; // what it asked the pacer for
};

// Writes and reads back `pages` pages of 1024 bytes on selector 0, as an update does.
WriteLoopMeasure measureWriteLoop(std::uint32_t pages);
