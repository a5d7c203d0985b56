// The threads of Test Action and their join at exit.
#include "shell/task_dialog/action_test_threads.h"

namespace tellweir {

CActionTestThreads& CActionTestThreads::Instance() {
    static CActionTestThreads threads;
    return threads;
}

CActionTestThreads::~CActionTestThreads() {
    (void)JoinAll(std::chrono::milliseconds(0));
}

void CActionTestThreads::Start(std::function<void()> work) {
    JoinEnded();
    Entry& entry = entries_.emplace_back();
    entry.thread = std::thread([this, &entry, work = std::move(work)] {
        work();
        const std::lock_guard<std::mutex> guard(lock_);
        entry.ended = true;
        ended_.notify_all();
    });
}

void CActionTestThreads::JoinEnded() {
    for (auto it = entries_.begin(); it != entries_.end();) {
        bool ended = false;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            ended = it->ended;
        }
        if (!ended) {
            ++it;
            continue;
        }
        it->thread.join();
        it = entries_.erase(it);
    }
}

bool CActionTestThreads::JoinAll(std::chrono::milliseconds limit) {
    {
        std::unique_lock<std::mutex> guard(lock_);
        ended_.wait_for(guard, limit, [this] {
            for (const Entry& entry : entries_)
                if (!entry.ended) return false;
            return true;
        });
    }
    JoinEnded();
    if (entries_.empty()) return true;
    // Bounded: what still runs (a very long tone) ends with the process. Its entry stays, so
    // the thread never writes into freed memory.
    for (Entry& entry : entries_)
        if (entry.thread.joinable()) entry.thread.detach();
    return false;
}

std::size_t CActionTestThreads::Count() {
    return entries_.size();
}

}  // namespace tellweir
