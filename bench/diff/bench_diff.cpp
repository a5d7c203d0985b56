// Benchmarks of the diff library: a text page of 1 MB and of 10 MB against itself with 1% of its
// lines changed (compare and unified format, with the peak memory as a multiple of the inputs),
// and a 1 MB HTML page read as text.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

#include "diff/content_text.h"
#include "diff/text_diff.h"

namespace {

using namespace tellweir;

// A page of numbered lines of about 60 bytes, `bytes` long in all.
std::string MakePage(std::size_t bytes) {
    std::string page;
    page.reserve(bytes + 100);
    for (int i = 0; page.size() < bytes; ++i) {
        page += "Item " + std::to_string(i) + ": the price of this article is " +
                std::to_string(i % 97) + ".50 EUR today\n";
    }
    return page;
}

// The page with every hundredth line changed.
std::string ChangeOnePercent(const std::string& page) {
    std::string changed;
    changed.reserve(page.size() + page.size() / 50);
    std::size_t start = 0;
    for (int line = 0; start < page.size(); ++line) {
        const std::size_t end = page.find('\n', start) + 1;
        if (line % 100 == 50)
            changed += "Item changed: now sold out\n";
        else
            changed.append(page, start, end - start);
        start = end;
    }
    return changed;
}

std::string DiffOf(std::string oldText, std::string newText) {
    const CTextDiff diff = CTextDiff::Compare(std::move(oldText), std::move(newText));
    return FormatUnifiedDiff(diff, "old", "new");
}

// A kernel counter of this process's memory, in KiB ("VmRSS", "VmHWM"); -1 when unreadable.
long StatusKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    }
    return -1;
}

// The peak memory one DiffOf adds, as a multiple of the two inputs: measured in a child, whose
// peak resident size is reset to what it holds before the diff starts.
double PeakMemoryTimesInputs(const std::string& oldText, const std::string& newText) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        std::ofstream("/proc/self/clear_refs") << "5";  // resets VmHWM to VmRSS
        const long before = StatusKiB("VmRSS");
        const std::string diff = DiffOf(oldText, newText);
        benchmark::DoNotOptimize(diff.data());
        const long peak = StatusKiB("VmHWM");
        const double times = before < 0 || peak < 0 ? -1.0
                                                    : (peak - before) * 1024.0 /
                                                          double(oldText.size() + newText.size());
        (void)!write(pipeEnds[1], &times, sizeof times);
        _exit(0);
    }
    close(pipeEnds[1]);
    double times = -1;
    if (child > 0) {
        if (read(pipeEnds[0], &times, sizeof times) != sizeof times) times = -1;
        waitpid(child, nullptr, 0);
    }
    close(pipeEnds[0]);
    return times;
}

void BM_DiffOnePercentChanged(benchmark::State& state) {
    const std::string oldText = MakePage(static_cast<std::size_t>(state.range(0)) << 20);
    const std::string newText = ChangeOnePercent(oldText);
    std::size_t diffBytes = 0;
    for (auto _ : state) {
        // The callers hand over texts they read for the purpose; copying them is not the diff's.
        state.PauseTiming();
        std::string oldCopy = oldText, newCopy = newText;
        state.ResumeTiming();
        const std::string diff = DiffOf(std::move(oldCopy), std::move(newCopy));
        diffBytes = diff.size();
        benchmark::DoNotOptimize(diff.data());
    }
    state.counters["diff_bytes"] = double(diffBytes);
    state.counters["peak_mem_x_inputs"] = PeakMemoryTimesInputs(oldText, newText);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(oldText.size()));
}
BENCHMARK(BM_DiffOnePercentChanged)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// A 1 MB page of paragraphs, links, a table, entities, scripts and styles.
std::string MakeHtmlPage() {
    std::string page =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Shop</title>"
        "<style>body { font: 12px sans-serif } .p { color: red }</style></head><body>";
    for (int i = 0; page.size() < (1u << 20); ++i) {
        page += "<div class=\"item\"><h2>Article " + std::to_string(i) + "</h2><p>Now only <b>" +
                std::to_string(i % 97) + "&nbsp;&euro;</b> &ndash; <a href=\"/a/" +
                std::to_string(i) + "\">see the offer</a> &amp; more.</p><script>track(" +
                std::to_string(i) + ");</script><table><tr><td>Size</td><td>" +
                std::to_string(i % 13) + "</td></tr></table></div>\n";
    }
    return page + "</body></html>\n";
}

void BM_HtmlToText(benchmark::State& state) {
    const std::string page = MakeHtmlPage();
    std::size_t textBytes = 0;
    for (auto _ : state) {
        const ContentText text = ContentToText(page, {"text/html; charset=utf-8", "index.html"});
        textBytes = text.text.size();
        benchmark::DoNotOptimize(text.text.data());
    }
    state.counters["text_bytes"] = double(textBytes);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(page.size()));
}
BENCHMARK(BM_HtmlToText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
