// The transfer manager's own costs, measured through a session that does no network work:
// dispatch and run of 10,000 transfers over 100 sites, how long AddTransfer and GetStatus hold
// the manager lock, and the CPU the once-a-second pump spends on a manager full of idle
// transfers.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "log/log_registry.h"
#include "store/property_set.h"
#include "store/setting_ids.h"
#include "transfer/file_info.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"

namespace tellweir {
namespace {

constexpr int kTransfers = 10000;
constexpr int kSites = 100;

// Lets a benchmark keep sessions busy, so that further transfers stay queued behind the limit.
struct SessionGate {
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> closed{false};  // read without the lock on the fast path
    int waiting = 0;
};

// Connected at once and stays connected; the file information is there at once. While the gate
// is closed, fetching the information waits until it opens or the session is stopped.
class CNoOpSession final : public CTransferSession {
  public:
    CNoOpSession(const SessionParams& params, SessionGate& gate)
        : CTransferSession(params), gate_(gate) {}

    TransferResult Connect(CTransfer&, ILog*) override {
        SetConnected(true);
        return result::kOk;
    }
    TransferResult ReceiveFile(CTransfer&, CLocalFile&, std::int64_t, ILog*,
                               CProgressMeter&) override {
        return result::kOk;
    }
    TransferResult GetFileInfo(CTransfer&, ILog*) override {
        if (!gate_.closed.load()) return result::kOk;
        std::unique_lock guard(gate_.lock);
        ++gate_.waiting;
        gate_.changed.notify_all();
        gate_.changed.wait(guard, [this] { return !gate_.closed || IsAborted(); });
        --gate_.waiting;
        return IsAborted() ? result::kStopped : result::kOk;
    }
    void CheckAlive() override {}

  protected:
    void Interrupt() override {
        std::lock_guard guard(gate_.lock);
        gate_.changed.notify_all();
    }

  private:
    SessionGate& gate_;
};

// A manager over the benchmark's own settings and log registry with the no-op session registered
// for HTTP. The destructor shuts the manager down, which stops runs held at the gate.
class ManagerScope {
  public:
    ManagerScope(int maxConnects, int maxPerSite) {
        settings_.SetInt(setting::kMaxConnects, maxConnects);
        settings_.SetInt(setting::kMaxConnectsPerSite, maxPerSite);
        settings_.SetInt(setting::kConnectionRetries, 0);
        settings_.SetInt(setting::kTransferRetries, 0);
        settings_.SetInt(setting::kConnectionDelay, 0);
        settings_.SetInt(setting::kSessionIdleTime, 60);  // seconds: no session ages out here
        settings_.SetInt(setting::kTimeoutThreading, 100);
        settings_.SetInt(setting::kMaxLogLines, 2000);
        RegisterSessionFactory(ProtocolId::Http, [this](const SessionParams& params) {
            return SessionPtr::Adopt(new CNoOpSession(params, gate_));
        });
        TransferManagerOptions options;
        options.settings = &settings_;
        options.logs = &logs_;
        manager_ = &CTransferManager::Create(options);
    }
    ~ManagerScope() {
        CTransferManager::Shutdown();
        RegisterSessionFactory(ProtocolId::Http, nullptr);
    }
    ManagerScope(const ManagerScope&) = delete;
    ManagerScope& operator=(const ManagerScope&) = delete;

    CTransferManager& Manager() { return *manager_; }

    void CloseGate() { gate_.closed.store(true); }
    // Waits until `count` sessions are held at the closed gate.
    void WaitHeld(int count) {
        std::unique_lock guard(gate_.lock);
        gate_.changed.wait(guard, [&] { return gate_.waiting >= count; });
    }

    // Adds every request; false when the manager refused one.
    bool AddAll(const std::vector<CTransferRequest>& requests, bool start,
                std::vector<std::int32_t>& ids) {
        ids.assign(requests.size(), 0);
        for (std::size_t i = 0; i < requests.size(); ++i)
            if (manager_->AddTransfer(requests[i], ids[i], start) != kManagerOk) return false;
        return true;
    }
    // Waits for each transfer to end; the number that did not finish with result 0.
    int WaitAll(const std::vector<std::int32_t>& ids) {
        int failed = 0;
        for (std::int32_t id : ids) {
            TransferStatus status;
            if (manager_->WaitTransfer(id, status, -1) != kManagerOk || status.result != 0)
                ++failed;
        }
        return failed;
    }

  private:
    CPropertySet settings_;
    CLogRegistry logs_;
    SessionGate gate_;
    CTransferManager* manager_ = nullptr;
};

// `count` file-information requests, one page each, spread round-robin over `sites` sites.
std::vector<CTransferRequest> Requests(int count, int firstPage = 0, int sites = kSites) {
    std::vector<CTransferRequest> requests(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        char url[96];
        std::snprintf(url, sizeof url, "http://www.site%d.test/page%d.html", i % sites,
                      firstPage + i);
        requests[i].SetUrl(url, true);
        requests[i].SetInt(prop::kOperation, prop::kOperationFileInfo);
    }
    return requests;
}

// Adding started transfers as a caller would, one call each, and waiting for all of them to end.
// Arguments: "Connections/Max Connects", "Max Connects Per Site" and the number of transfers
// (1,000 as well as 10,000 shows how the cost per transfer grows with the queue).
void BM_DispatchAndRun(benchmark::State& state) {
    ManagerScope scope(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const int count = static_cast<int>(state.range(2));
    const std::vector<CTransferRequest> requests = Requests(count);
    std::vector<std::int32_t> ids;
    int failed = 0;
    for (auto _ : state) {
        if (!scope.AddAll(requests, true, ids)) {
            state.SkipWithError("AddTransfer failed");
            break;
        }
        failed += scope.WaitAll(ids);
        state.PauseTiming();
        scope.Manager().RemoveTransfers(ids);
        state.ResumeTiming();
    }
    if (failed > 0) state.SkipWithError("a transfer did not finish with result 0");
    state.counters["transfers/s"] =
        benchmark::Counter(double(state.iterations()) * count, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DispatchAndRun)
    ->ArgNames({"max", "per_site", "transfers"})
    ->Args({10, 10, 1000})
    ->Args({10, 10, kTransfers})
    ->Args({200, 200, 1000})
    ->Args({200, 200, kTransfers})
    ->MinTime(2.0)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// AddTransfer of a transfer that is not started, with nothing else running: the lock is held
// for nearly the whole call (the copy of the request and the making of its log).
void BM_AddTransferIdle(benchmark::State& state) {
    constexpr int kBatch = 1000;
    ManagerScope scope(10, 10);
    const std::vector<CTransferRequest> requests = Requests(kBatch);
    std::vector<std::int32_t> ids;
    for (auto _ : state) {
        if (!scope.AddAll(requests, false, ids)) {
            state.SkipWithError("AddTransfer failed");
            break;
        }
        state.PauseTiming();
        scope.Manager().RemoveTransfers(ids);
        state.ResumeTiming();
    }
    state.counters["per_call"] =
        benchmark::Counter(double(state.iterations()) * kBatch,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddTransferIdle)->Unit(benchmark::kMicrosecond);

// AddTransfer of a started transfer while 10 sessions are busy and `queued` transfers already
// wait: the call also runs a dispatch under the lock, which finds no free session. With
// `site_bound` 0 the global limit (10) is full; with 1 the global limit is 200 and everything
// is for one site, whose limit (10) is full.
void BM_AddStartedBehindQueue(benchmark::State& state) {
    constexpr int kBatch = 100;
    constexpr int kHeld = 10;
    const int queued = static_cast<int>(state.range(0));
    const bool siteBound = state.range(1) != 0;
    const int sites = siteBound ? 1 : kSites;
    ManagerScope scope(siteBound ? 200 : kHeld, kHeld);
    scope.CloseGate();
    std::vector<std::int32_t> waiting;
    if (!scope.AddAll(Requests(kHeld + queued, 0, sites), true, waiting)) {
        state.SkipWithError("AddTransfer failed");
        return;
    }
    scope.WaitHeld(kHeld);
    const std::vector<CTransferRequest> requests = Requests(kBatch, kTransfers, sites);
    std::vector<std::int32_t> ids;
    for (auto _ : state) {
        if (!scope.AddAll(requests, true, ids)) {
            state.SkipWithError("AddTransfer failed");
            break;
        }
        state.PauseTiming();
        scope.Manager().RemoveTransfers(ids);
        state.ResumeTiming();
    }
    state.counters["per_call"] =
        benchmark::Counter(double(state.iterations()) * kBatch,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddStartedBehindQueue)
    ->ArgNames({"queued", "site_bound"})
    ->ArgsProduct({{0, 1000, 10000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// GetStatus over a table of 1,000 transfers: the lock, a table lookup and the status copy.
void BM_GetStatus(benchmark::State& state) {
    constexpr int kCount = 1000;
    ManagerScope scope(10, 10);
    std::vector<std::int32_t> ids;
    if (!scope.AddAll(Requests(kCount), false, ids)) {
        state.SkipWithError("AddTransfer failed");
        return;
    }
    std::size_t next = 0;
    TransferStatus status;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scope.Manager().GetStatus(ids[next], status));
        next = next + 1 == ids.size() ? 0 : next + 1;
    }
}
BENCHMARK(BM_GetStatus);

// One pump pass with 1,000 transfers added but not started and 1,000 finished ones (whose
// sessions, at least one per site, stay pooled and connected). The counter is the CPU of an hour of
// passes at one a second.
void BM_PumpIdle(benchmark::State& state) {
    constexpr int kCount = 1000;
    ManagerScope scope(10, 10);
    std::vector<std::int32_t> idle;
    std::vector<std::int32_t> finished;
    if (!scope.AddAll(Requests(kCount), false, idle) ||
        !scope.AddAll(Requests(kCount, kCount), true, finished) || scope.WaitAll(finished) != 0) {
        state.SkipWithError("setting up the transfers failed");
        return;
    }
    for (auto _ : state)
        scope.Manager().Pump();
    state.counters["cpu_per_hour"] =
        benchmark::Counter(double(state.iterations()) / 3600.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PumpIdle);

}  // namespace
}  // namespace tellweir

BENCHMARK_MAIN();
