// Placeholder until the benchmark is written.
#include <benchmark/benchmark.h>
BENCHMARK_MAIN();
