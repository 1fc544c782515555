// The image write loop's time over the pauses it must make (see WriteLoopMeasure).

#include "WriteLoopMeasure.hpp"

#include <benchmark/benchmark.h>

namespace {

void BM_WriteLoopOverhead(benchmark::State& state) {
    constexpr std::uint32_t kPages = 200;
    double wall = 0.0;
    double pauses = 0.0;
    for (auto _ : state) {
        const auto measured = measureWriteLoop(kPages);
        if (!measured.ok) {
            state.SkipWithError("the write loop failed");
            return;
        }
        wall += measured.seconds;
        pauses += measured.pauseSeconds;
    }
    state.counters["overhead_ratio"] = pauses > 0.0 ? wall / pauses : 0.0;
    state.counters["pages"] = static_cast<double>(kPages) * static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(BM_WriteLoopOverhead)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
