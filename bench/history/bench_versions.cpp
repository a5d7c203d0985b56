// Keeping versions: what it adds to the CPU of a whole-content run of a 1 MB page, what each
// zstd level costs and saves on such pages, and the disk ten versions of a 1 MB text page take.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <zstd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/monitor_task.h"
#include "core/transfer_link.h"
#include "history/version_compare.h"
#include "history/version_store.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPageBytes = 1'000'000;  // under 1 MiB: the run checks it inline

const std::vector<std::string>& Words() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> list;
        const char* roots[] = {"price",   "offer",   "stock",   "delivery", "colour",
                               "model",   "size",    "review",  "warranty", "battery",
                               "screen",  "weight",  "store",   "order",    "season",
                               "garden",  "kitchen", "travel",  "winter",   "summer",
                               "classic", "modern",  "compact", "family",   "premium"};
        const char* ends[] = {"", "s", "ed", "ing", "er", "ly", "al", "ion"};
        for (const char* root : roots)
            for (const char* end : ends)
                list.push_back(std::string(root) + end);
        for (const char* small : {"the", "a", "of", "and", "to", "in", "for", "with", "on", "is"})
            for (int i = 0; i < 6; ++i)
                list.emplace_back(small);  // small words come often, as in prose
        return list;
    }();
    return words;
}

std::string Line(std::mt19937& random, bool html) {
    const std::vector<std::string>& words = Words();
    std::string line = html ? "<tr><td class=\"item\">" : "";
    const int count = 6 + static_cast<int>(random() % 10);
    for (int i = 0; i < count; ++i) {
        if (i > 0) line += ' ';
        line += words[random() % words.size()];
    }
    if (html)
        line += "</td><td class=\"price\">" +
                std::to_string(random() % 10000 / 100.0).substr(0, 5) + " &euro;</td></tr>";
    else
        line += ", " + std::to_string(random() % 1000) + ".";
    return line + "\n";
}

std::vector<std::string> Lines(std::size_t bytes, bool html, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> lines;
    std::size_t total = 0;
    while (total < bytes) {
        lines.push_back(Line(random, html));
        total += lines.back().size();
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

// The lines with one in a hundred replaced.
std::vector<std::string> Changed(std::vector<std::string> lines, bool html, unsigned seed) {
    std::mt19937 random(seed);
    for (std::size_t i = seed % 100; i < lines.size(); i += 100)
        lines[i] = Line(random, html);
    return lines;
}

std::string Page(bool html, unsigned version) {
    const std::vector<std::string> base = Lines(kPageBytes, html, 1);
    std::string page = Join(version == 0 ? base : Changed(base, html, version));
    page.resize(kPageBytes, '\n');
    if (html)
        page =
            "<html><body><table>\n" + page.substr(0, kPageBytes - 40) + "</table></body></html>\n";
    return page;
}

std::string TempFolder() {
    std::string path = (fs::temp_directory_path() / "tw-bench-XXXXXX").string();
    return ::mkdtemp(path.data()) ? path : std::string();
}

// The CPU of one whole-content run of a local 1 MB page that changed since the run before, with
// versions kept (1) or not (0): the comparison, the new sample, the INFO file and, with versions,
// reading the page, counting its lines against the version before and storing it.
void BM_ChangedPageRun(benchmark::State& state) {
    const bool keep = state.range(0) != 0;
    const std::string folder = TempFolder();
    AppSettings().SetString(setting::kCacheFolder, folder + "/cache");
    AppSettings().SetInt(setting::kVersionsKept, keep ? 10 : 0);
    AppSettings().SetInt(setting::kVersionsMaxSize, 50);
    const std::string pages[2] = {Page(true, 0), Page(true, 1)};
    const std::string path = folder + "/page.html";
    std::ofstream(path, std::ios::binary) << pages[0];
    RefPtr<CMonitorTask> task = CMonitorTask::Create();
    task->SetName("page");
    task->SetString(task::kUri, path);
    task->SetInt(task::kDownload, 1);
    task->Prepare(true);
    CManagerLink noManager;
    // As the engine makes a run; with versions the check runs on a thread of its own.
    const auto run = [&] {
        task->StartRun(noManager);
        while (!task->PollRun(noManager))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        task->ClassifyOutcome();
    };
    run();
    unsigned turn = 1;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << pages[turn++ % 2];
        task->GetLog()->Clear();
        state.ResumeTiming();
        run();
    }
    state.counters["versions"] = static_cast<double>(task->GetNewestVersion());
    task->ReleaseLog();
    fs::remove_all(folder);
}
// Process CPU: the check's thread counts too.
BENCHMARK(BM_ChangedPageRun)
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The parts of keeping a version of a changed 1 MB page: storing it (compression and the file),
// reading the version before back, and counting the lines (both read as text, then compared).
void BM_StoreVersion(benchmark::State& state) {
    const std::string page = Page(true, 1);
    const std::string folder = TempFolder();
    CVersionStore store(CVersionStore::FolderFor(folder + "/page"));
    for (auto _ : state)
        store.Add({}, page, {});
    fs::remove_all(folder);
}
BENCHMARK(BM_StoreVersion)->Unit(benchmark::kMillisecond);

void BM_ReadVersion(benchmark::State& state) {
    const std::string folder = TempFolder();
    CVersionStore store(CVersionStore::FolderFor(folder + "/page"));
    const std::int32_t number = store.Add({}, Page(true, 0), {});
    std::string content;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Read(number, content));
    fs::remove_all(folder);
}
BENCHMARK(BM_ReadVersion)->Unit(benchmark::kMillisecond);

void BM_CountLines(benchmark::State& state) {
    const std::string before = Page(true, 0), after = Page(true, 1);
    VersionRecord record;
    record.name = "page.html";
    for (auto _ : state) {
        const CTextDiff diff =
            CTextDiff::Compare(VersionText(record, before).text, VersionText(record, after).text);
        benchmark::DoNotOptimize(diff.Added());
    }
}
BENCHMARK(BM_CountLines)->Unit(benchmark::kMillisecond);

// Of which: one page read as text.
void BM_PageText(benchmark::State& state) {
    const std::string page = Page(true, 0);
    VersionRecord record;
    record.name = "page.html";
    for (auto _ : state)
        benchmark::DoNotOptimize(VersionText(record, page).text.size());
}
BENCHMARK(BM_PageText)->Unit(benchmark::kMillisecond);

// One zstd level over a 1 MB page (0 HTML, 1 text): CPU per compression and the bytes it gives.
void BM_ZstdLevel(benchmark::State& state) {
    const int level = static_cast<int>(state.range(0));
    const std::string page = Page(state.range(1) == 0, 0);
    std::string frame(ZSTD_compressBound(page.size()), '\0');
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = ZSTD_compress(frame.data(), frame.size(), page.data(), page.size(), level);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["ratio"] = static_cast<double>(page.size()) / static_cast<double>(bytes);
}
BENCHMARK(BM_ZstdLevel)->ArgsProduct({{1, 3, 6, 9, 12, 19}, {0, 1}})->Unit(benchmark::kMillisecond);

// Ten versions of a 1 MB text page, each with 1% of its lines changed, kept by the store: the
// bytes their files take in all.
void BM_TenTextVersions(benchmark::State& state) {
    std::vector<std::string> pages;
    for (unsigned v = 0; v < 10; ++v)
        pages.push_back(Page(false, v));
    std::int64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = TempFolder();
        CVersionStore store(CVersionStore::FolderFor(folder + "/page"));
        state.ResumeTiming();
        for (const std::string& page : pages)
            store.Add({}, page, {});
        state.PauseTiming();
        bytes = 0;
        for (const VersionRecord& record : store.List())
            bytes += record.storedSize;
        fs::remove_all(folder);
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_TenTextVersions)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tellweir

BENCHMARK_MAIN();
