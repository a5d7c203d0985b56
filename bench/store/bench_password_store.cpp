// Saving and loading "Passwords.bf" with 1,000 passwords, in memory and through a real file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "store/password_scramble.h"
#include "store/password_store.h"

namespace tellweir {
namespace {

constexpr int kEntries = 1000;

void Fill(CPasswordStore& store) {
    for (int i = 0; i < kEntries; ++i) {
        store.Set("ftp://user" + std::to_string(i) + "@files" + std::to_string(i) + ".example.com",
                  "password number " + std::to_string(i));
    }
}

std::string TempFile() {
    return (std::filesystem::temp_directory_path() /
            ("tw-bench-passwords-" + std::to_string(::getpid()) + ".bf"))
        .string();
}

void BM_FormatFile(benchmark::State& state) {
    CPasswordStore store;
    Fill(store);
    const DateTime now = DateTime::Now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.FormatFile("", now));
    }
}
BENCHMARK(BM_FormatFile)->Unit(benchmark::kMicrosecond);

void BM_LoadFromBytes(benchmark::State& state) {
    CPasswordStore source;
    Fill(source);
    const std::string file = source.FormatFile("", DateTime::Now());
    CPasswordStore store;
    bool wrongKey = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.LoadFromBytes(file, "", wrongKey));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_LoadFromBytes)->Unit(benchmark::kMicrosecond);

// Includes the temporary file, fsync and rename of every save.
void BM_SaveFile(benchmark::State& state) {
    CPasswordStore store;
    Fill(store);
    const std::string path = TempFile();
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.Save(path, ""));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveFile)->Unit(benchmark::kMicrosecond);

void BM_LoadFile(benchmark::State& state) {
    CPasswordStore source;
    Fill(source);
    const std::string path = TempFile();
    source.Save(path, "");
    CPasswordStore store;
    bool wrongKey = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.Load(path, "", wrongKey));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMicrosecond);

void BM_Scramble(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Scramble("password number 123"));
    }
}
BENCHMARK(BM_Scramble);

}  // namespace
}  // namespace tellweir

BENCHMARK_MAIN();
