// CWorkerPool: worker threads that run one call at a time each, created on demand and ending by
// themselves after staying idle. The transfer manager runs each transfer on one of them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "transfer/sync_event.h"

namespace tellweir {

class CWorkerPool {
  public:
    // Called on a worker thread, with no lock of the pool held.
    using Func = void (*)(std::int32_t userData);

    static constexpr std::chrono::milliseconds kDefaultIdleTime{5000};
    static constexpr std::chrono::milliseconds kDefaultStopPoll{200};

    // A worker leaves after `idleTime` without work. StopAndWait signals the stop event again
    // every `stopPoll` (and whenever a worker leaves) until no worker is left.
    explicit CWorkerPool(std::chrono::milliseconds idleTime = kDefaultIdleTime,
                         std::chrono::milliseconds stopPoll = kDefaultStopPoll);
    // Calls StopAndWait: no worker outlives the pool.
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // A new pool refuses work until it is started.
    void Start();
    // Refuses further work and tells idle workers to leave; returns at once. Calls under way
    // finish; a call assigned but not yet begun is dropped.
    void RequestStop();
    // As RequestStop, then returns once every worker has left the pool; none touches the pool
    // afterwards. Must not be called from a worker.
    void StopAndWait();

    // Hands the call to an idle worker, or to a new one. Called from within a worker's call, the
    // first such call stays with that worker and runs as soon as the current one returns, so that
    // a run that starts the next needs no other thread woken. Returns the id of the thread that
    // will run it, or a default id (no thread) when the pool is stopped or no thread could be made.
    std::thread::id RunOnWorker(Func func, std::int32_t userData);

    std::size_t GetWorkerCount() const;

  private:
    enum class WorkerState { Idle, Assigned, Leaving };

    struct WorkerRecord {
        std::thread::id thread;
        std::int32_t userData = 0;
        Func func = nullptr;
        // The call handed on by the running one, run next on this worker.
        std::int32_t nextUserData = 0;
        Func next = nullptr;
        WorkerState state = WorkerState::Idle;
        CSyncEvent wake{CSyncEvent::Mode::AutoReset};
    };

    // The body of every worker thread. Workers are detached: each removes its own record under
    // the lock as its last access to the pool, and StopAndWait waits for the array to empty.
    void WorkerMain(WorkerRecord* record);
    std::thread::id AddWorkerLocked(Func func, std::int32_t userData);
    void RemoveWorkerLocked(WorkerRecord* record);

    // The pool and record of the call running on this thread, when it is a worker's.
    static thread_local CWorkerPool* currentPool_;
    static thread_local WorkerRecord* currentRecord_;

    const std::chrono::milliseconds idleTime_;
    const std::chrono::milliseconds stopPoll_;
    std::vector<std::unique_ptr<WorkerRecord>> workers_;
    mutable std::mutex mutex_;
    std::condition_variable workerLeft_;
    CSyncEvent stop_{CSyncEvent::Mode::AutoReset};
    bool stopped_ = true;
};

}  // namespace tellweir
