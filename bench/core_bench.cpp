// One roll and the line it shows, as a key press costs the core, and the
// three steps it is made of, so that a slow total shows where it comes from.
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

static void ClockOnly(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadClock());
}
BENCHMARK(ClockOnly);

static void RollOnly(benchmark::State &state)
{
    int64_t second = 1796000000;
    for (auto _ : state) {
        RollDigitsAt(second++);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(RollOnly);

static void FormatOnly(benchmark::State &state)
{
    RollDigitsAt(1796000000);
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatDigits());
}
BENCHMARK(FormatOnly);

BENCHMARK_MAIN();
