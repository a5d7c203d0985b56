// Item log write throughput and trimming of a long log.
#include <benchmark/benchmark.h>

#include "log/item_log.h"

namespace tellweir {
namespace {

void BM_Write(benchmark::State& state) {
    auto log = MakeRef<CItemLog>(1);
    std::int64_t written = 0;
    for (auto _ : state) {
        log->Write(0, "Transfer started: http://www.site.test/index.html (GET FILE INFO).");
        if (++written % 100000 == 0) log->Clear();  // keep memory bounded over long runs
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Write);

void BM_WriteMessage(benchmark::State& state) {
    auto log = MakeRef<CItemLog>(1);
    std::int64_t written = 0;
    for (auto _ : state) {
        log->WriteMessage(0, 3, "www.site.test", 80);
        if (++written % 100000 == 0) log->Clear();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteMessage);

void BM_TrimToMax100k(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto log = MakeRef<CItemLog>(1);
        for (int i = 0; i < 100000; ++i)
            log->Write(0, "Next start time: 12/09/2026 23:59:58.");
        state.ResumeTiming();
        TrimToMax(*log, 100000);
        benchmark::DoNotOptimize(log->GetStats());
    }
}
BENCHMARK(BM_TrimToMax100k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tellweir

BENCHMARK_MAIN();
