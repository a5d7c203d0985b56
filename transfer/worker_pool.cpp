// Worker threads of the pool: the assignment of calls, the idle time-out and the way out.
#include "transfer/worker_pool.h"

#include <algorithm>
#include <system_error>

#include "transfer/thread_priority.h"

namespace tellweir {

CWorkerPool::CWorkerPool(std::chrono::milliseconds idleTime, std::chrono::milliseconds stopPoll)
    : idleTime_(idleTime), stopPoll_(stopPoll) {}

CWorkerPool::~CWorkerPool() {
    StopAndWait();
}

void CWorkerPool::Start() {
    std::lock_guard lock(mutex_);
    stopped_ = false;
    stop_.Reset();
}

void CWorkerPool::RequestStop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    stop_.Set();
}

void CWorkerPool::StopAndWait() {
    std::unique_lock lock(mutex_);
    for (;;) {
        stopped_ = true;
        // Auto-reset: each signal sends one idle worker away, so it is repeated until all left.
        stop_.Set();
        if (workers_.empty()) return;
        workerLeft_.wait_for(lock, stopPoll_);
    }
}

thread_local CWorkerPool* CWorkerPool::currentPool_ = nullptr;
thread_local CWorkerPool::WorkerRecord* CWorkerPool::currentRecord_ = nullptr;

std::thread::id CWorkerPool::RunOnWorker(Func func, std::int32_t userData) {
    std::lock_guard lock(mutex_);
    if (stopped_) return {};
    if (currentPool_ == this && currentRecord_ != nullptr && currentRecord_->next == nullptr) {
        currentRecord_->next = func;
        currentRecord_->nextUserData = userData;
        return currentRecord_->thread;
    }
    for (const auto& worker : workers_) {
        if (worker->state == WorkerState::Idle) {
            worker->func = func;
            worker->userData = userData;
            worker->state = WorkerState::Assigned;
            worker->wake.Set();
            return worker->thread;
        }
    }
    return AddWorkerLocked(func, userData);
}

std::size_t CWorkerPool::GetWorkerCount() const {
    std::lock_guard lock(mutex_);
    return workers_.size();
}

std::thread::id CWorkerPool::AddWorkerLocked(Func func, std::int32_t userData) {
    auto owned = std::make_unique<WorkerRecord>();
    WorkerRecord* record = owned.get();
    record->func = func;
    record->userData = userData;
    record->state = WorkerState::Assigned;
    workers_.push_back(std::move(owned));
    try {
        // The new thread first takes the lock, so it waits until the record is complete.
        std::thread thread(&CWorkerPool::WorkerMain, this, record);
        record->thread = thread.get_id();
        thread.detach();
    } catch (const std::system_error&) {
        workers_.pop_back();
        return {};
    }
    return record->thread;
}

void CWorkerPool::WorkerMain(WorkerRecord* record) {
    SetLowestThreadPriority();
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopped_) break;
        if (record->state == WorkerState::Assigned) {
            const Func func = record->func;
            const std::int32_t userData = record->userData;
            lock.unlock();
            if (func != nullptr) {
                currentPool_ = this;
                currentRecord_ = record;
                func(userData);
                currentPool_ = nullptr;
                currentRecord_ = nullptr;
            }
            lock.lock();
            record->func = record->next;
            record->userData = record->nextUserData;
            record->next = nullptr;
            record->nextUserData = 0;
            // A call handed on stays assigned; a stop meanwhile drops it at the top.
            if (record->func != nullptr) continue;
            record->userData = 0;
            record->state = WorkerState::Idle;
        }
        lock.unlock();
        const int fired = WaitAny(record->wake, stop_, idleTime_);
        lock.lock();
        // Work assigned while the wait ended (by time-out or by a stop that a Start has since
        // taken back) is not dropped: the stopped flag decides at the top.
        if (fired != 0 && record->state != WorkerState::Assigned) break;
    }
    RemoveWorkerLocked(record);
    // Nothing of the pool is touched after this: the unlock below is the last access.
}

void CWorkerPool::RemoveWorkerLocked(WorkerRecord* record) {
    record->state = WorkerState::Leaving;
    record->func = nullptr;
    record->userData = 0;
    std::erase_if(workers_, [record](const auto& worker) { return worker.get() == record; });
    workerLeft_.notify_all();
}

}  // namespace tellweir
