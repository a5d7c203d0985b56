// Loading and saving an "InfoCache.txt" of 100,000 fresh entries, the size a long-running
// installation with many monitored sites may reach.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "store/atomic_file.h"
#include "transfer/info_cache.h"

namespace tellweir {
namespace {

constexpr int kEntries = 100000;

DateTime BenchNow() {
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 5;
    tm.tm_mday = 15;
    tm.tm_hour = 12;
    return DateTime::FromTm(tm);
}

// 100,000 lines over 500 sites, three or four path segments each, with the optional attributes
// a typical HTTP reply fills.
std::string CacheText() {
    std::string text;
    for (int i = 0; i < kEntries; ++i) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "URL=\"http://www.site%d.test/section%d/page%d/item%d.html\" "
                      "Added=\"06/1%d/2024 1%d:%02d:%02d\" Size=\"%d\" "
                      "Time=\"05/0%d/2024 08:00:00\" Type=\"HTML\" E-Tag='\"%x-%x\"' "
                      "Content-Type=\"text/html; charset=utf-8\"\r\n",
                      i % 500, i % 7, i % 13, i, 1 + i % 4, i % 10, i % 60, i % 60, 1000 + i,
                      1 + i % 9, i, i * 7);
        text += line;
    }
    return text;
}

std::string BenchPath() {
    return "/tmp/tw-bench-InfoCache-" + std::to_string(::getpid()) + ".txt";
}

void BM_InfoCacheLoad(benchmark::State& state) {
    const std::string path = BenchPath();
    WriteFileAtomically(path, CacheText());
    CInfoCache cache;
    cache.SetClock([now = BenchNow()] { return now; });
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.Load(path));
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_InfoCacheLoad)->Unit(benchmark::kMillisecond);

void BM_InfoCacheSave(benchmark::State& state) {
    const std::string path = BenchPath();
    CInfoCache cache;
    cache.SetClock([now = BenchNow()] { return now; });
    cache.LoadText(CacheText());
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.Save(path));
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_InfoCacheSave)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tellweir

BENCHMARK_MAIN();
