// Benchmarks of the XML document on a queue file of 10,000 monitor tasks with about 25 keys each:
// parsing its text, writing its tree and freeing it.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "store/byte_stream.h"
#include "store/xml_node.h"
#include "store/xml_parser.h"

namespace {

using tellweir::CXmlNode;

constexpr int kMonitors = 10000;

// Fills one task the way the queue file stores it: plain keys and a few groups.
void AddMonitor(CXmlNode& monitors, int i) {
    CXmlNode& m = *monitors.AddChild("Monitor", {}, {}, tellweir::XML_ELEMENT);
    const std::string n = std::to_string(i);
    m.WriteString("Name", "Monitor " + n);
    m.WriteString("URL", "http://www.example.com/pages/" + n + "/index.html?a=1&b=2");
    m.WriteInt("Mode", i % 2);
    m.WriteInt("State", 1);
    m.WriteString("Comment", "Watched since \"last year\" <daily>");
    m.WriteInt64("File Size", 1000000LL + i);
    m.WriteString("Modified", "01/02/2024 10:20:30");
    m.WriteString("E-Tag", "\"5e1d-" + n + "\"");
    m.WriteString("Content Type", "text/html; charset=iso-8859-1");
    m.WriteString("Sample File", "/home/user/.tellweir/Cache/remotes/s" + n + ".html");
    m.WriteString("Info File", "/home/user/.tellweir/Cache/remotes/s" + n + ".info");
    m.WriteInt("Runs", 100 + i);
    m.WriteInt("Changes", i % 7);
    m.WriteInt("Errors", i % 3);
    m.WriteInt("Schedule/Kind", 2);
    m.WriteInt64("Schedule/Period", 3600);
    m.WriteInt("Schedule/Weekdays", 127);
    m.WriteString("Schedule/Start", "01/01/2024 00:00:00");
    m.WriteString("Schedule/Next", "01/03/2024 10:20:30");
    m.WriteString("Events/Changed", "Prompt,Beep");
    m.WriteString("Events/Error", "Light Icon");
    m.WriteString("Events/First Time", "");
    m.WriteInt("Transfer/Retries", 3);
    m.WriteInt("Transfer/Timeout", 60);
    m.WriteString("Transfer/Referer", "http://www.example.com/");
}

std::unique_ptr<CXmlNode> BuildQueue() {
    auto root = std::make_unique<CXmlNode>();
    CXmlNode* monitors = root->AddChild({}, {}, {}, tellweir::XML_DECLARATION)
                             ->AddChild("Monitors", {}, "X-Monitors", tellweir::XML_ELEMENT);
    for (int i = 0; i < kMonitors; ++i)
        AddMonitor(*monitors, i);
    return root;
}

std::string WriteQueue(const CXmlNode& root) {
    tellweir::CStringSink sink;
    root.WriteDocument(sink);
    return sink.Text();
}

// Loaders parse into a fresh root; the tree is freed outside the timing and measured on its own
// below.
void BM_ParseQueue(benchmark::State& state) {
    const std::string text = WriteQueue(*BuildQueue());
    for (auto _ : state) {
        auto root = std::make_unique<CXmlNode>();
        tellweir::CStringSource source(text);
        tellweir::CXmlParser().ParseDocument(*root, source);
        benchmark::DoNotOptimize(root->FirstChild());
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text.size()) * state.iterations());
}
BENCHMARK(BM_ParseQueue)->Unit(benchmark::kMillisecond);

void BM_FreeQueue(benchmark::State& state) {
    const std::string text = WriteQueue(*BuildQueue());
    for (auto _ : state) {
        state.PauseTiming();
        auto root = std::make_unique<CXmlNode>();
        tellweir::CStringSource source(text);
        tellweir::CXmlParser().ParseDocument(*root, source);
        state.ResumeTiming();
        root.reset();
    }
}
BENCHMARK(BM_FreeQueue)->Unit(benchmark::kMillisecond);

void BM_WriteQueue(benchmark::State& state) {
    const std::unique_ptr<CXmlNode> root = BuildQueue();
    std::size_t size = 0;
    for (auto _ : state) {
        tellweir::CStringSink sink;
        root->WriteDocument(sink);
        size = sink.Text().size();
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(size) * state.iterations());
}
BENCHMARK(BM_WriteQueue)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
