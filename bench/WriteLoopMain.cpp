// write-loop-overhead: the write loop's time over its pauses, where Google Benchmark is not
// built (the Windows build, run under Wine or on Windows).

#include "WriteLoopMeasure.hpp"

#include <cstdio>

int main() {
    constexpr std::uint32_t kPages = 200;
    const auto measured = measureWriteLoop(kPages);
    if (!measured.ok) {
        std::fprintf(stderr, "write-loop-overhead: the write loop failed\n");
        return 1;
    }
    std::printf("%u pages: %.3f s for %.3f s of pauses, ratio %.4f\n", measured.pages,
                measured.seconds, measured.pauseSeconds, measured.seconds / measured.pauseSeconds);
    return 0;
}
