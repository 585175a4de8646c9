// One roll and the line it shows, as a key press costs the core.
#include <benchmark/benchmark.h>

#include "dice.h"

static void RollAndFormat(benchmark::State &state)
{
    for (auto _ : state) {
        RollDigits();
        benchmark::DoNotOptimize(FormatDigits());
    }
}
BENCHMARK(RollAndFormat);

BENCHMARK_MAIN();
