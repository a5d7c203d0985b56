// Property set reads and writes, with and without the set's own lock.
#include <benchmark/benchmark.h>

#include "store/property_set.h"

namespace tellweir {
namespace {

CPropertySet MakeFilledSet(CPropertySet::Locking locking) {
    CPropertySet set(locking);
    for (PropertyId id = 1; id <= 60; ++id)
        set.SetInt(id, id);
    for (PropertyId id = 100; id <= 120; ++id)
        set.SetString(id, "value of a text property");
    return set;
}

void BM_GetInt(benchmark::State& state) {
    const CPropertySet set = MakeFilledSet(static_cast<CPropertySet::Locking>(state.range(0)));
    std::int32_t v = 0;
    for (auto _ : state) {
        set.GetInt(37, v);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_GetInt)->Arg(0)->Arg(1)->ArgName("locked");

void BM_GetString(benchmark::State& state) {
    const CPropertySet set = MakeFilledSet(static_cast<CPropertySet::Locking>(state.range(0)));
    std::string v;
    for (auto _ : state) {
        set.GetString(110, v);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_GetString)->Arg(0)->Arg(1)->ArgName("locked");

void BM_SetInt(benchmark::State& state) {
    CPropertySet set = MakeFilledSet(static_cast<CPropertySet::Locking>(state.range(0)));
    std::int32_t i = 1;
    for (auto _ : state)
        set.SetInt(37, ++i | 1);
}
BENCHMARK(BM_SetInt)->Arg(0)->Arg(1)->ArgName("locked");

void BM_SetString(benchmark::State& state) {
    CPropertySet set = MakeFilledSet(static_cast<CPropertySet::Locking>(state.range(0)));
    for (auto _ : state)
        set.SetString(110, "http://www.site.test/some/page.html");
}
BENCHMARK(BM_SetString)->Arg(0)->Arg(1)->ArgName("locked");

}  // namespace
}  // namespace tellweir

BENCHMARK_MAIN();
