// CWakeQueue: which tasks the engine's pass must look at. A task tells the queue whenever the
// second it next needs a pass changes (it starts working, is scheduled, stopped, resumed); the
// pass then visits the working tasks and the waiting ones whose second has come, instead of
// asking every task every 100 ms, so an idle list costs nothing however long it is.
#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

#include "base/ref_ptr.h"

namespace tellweir {

class CMonitorTask;

class CWakeQueue {
  public:
    // A task's wake second: local seconds of its next start, or one of these.
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
    static constexpr std::int64_t kEveryPass = std::numeric_limits<std::int64_t>::min();

    CWakeQueue() = default;
    CWakeQueue(const CWakeQueue&) = delete;
    CWakeQueue& operator=(const CWakeQueue&) = delete;

    // Any thread (the task's lock may be held; this lock is taken after every other): `task`'s
    // wake second changed.
    void Changed(CMonitorTask& task);

    // The engine thread, under the engine lock: the tasks attached to this queue that are
    // working or whose wake second is at most `now`, in list order, each once.
    void TakeDue(std::int64_t now, std::vector<RefPtr<CMonitorTask>>& due);

    // Under the engine lock, after tasks left the list: forgets them now rather than when their
    // second comes, which would keep each alive until then.
    void DropDetached();

    // Forgets every task (the list was emptied).
    void Clear();

  private:
    struct Entry {
        std::int64_t wake;
        RefPtr<CMonitorTask> task;
        bool operator>(const Entry& other) const { return wake > other.wake; }
    };

    std::mutex inboxLock_;
    std::vector<RefPtr<CMonitorTask>> inbox_;  // under inboxLock_
    // Under the engine lock: a heap by wake second (std::push_heap with std::greater). An entry
    // whose task has moved on since is dropped when its time comes.
    std::vector<Entry> waiting_;
    std::vector<RefPtr<CMonitorTask>> working_;
};

}  // namespace tellweir
