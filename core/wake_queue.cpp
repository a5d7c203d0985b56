// The engine's index of waiting and working tasks.
#include "core/wake_queue.h"

#include <algorithm>
#include <functional>
#include <iterator>

#include "core/monitor_task.h"

namespace tellweir {

void CWakeQueue::Changed(CMonitorTask& task) {
    std::lock_guard guard(inboxLock_);
    inbox_.push_back(MonitorTaskPtr::Share(&task));
}

void CWakeQueue::TakeDue(std::int64_t now, std::vector<MonitorTaskPtr>& due) {
    due.clear();
    std::vector<MonitorTaskPtr> changed;
    {
        std::lock_guard guard(inboxLock_);
        changed.swap(inbox_);
    }
    for (MonitorTaskPtr& task : changed) {
        const std::int64_t wake = task->WakeSecond();
        if (wake == kEveryPass) {
            working_.push_back(std::move(task));
        } else if (wake != kNever) {
            waiting_.push_back({wake, std::move(task)});
            std::push_heap(waiting_.begin(), waiting_.end(), std::greater<>());
        }
    }
    const auto attached = [this](const MonitorTaskPtr& task) {
        return task->GetWakeQueue() == this;
    };
    std::erase_if(working_, [&](const MonitorTaskPtr& task) {
        return task->WakeSecond() != kEveryPass || !attached(task);
    });
    // A task told the queue more than once while working is visited once.
    std::sort(working_.begin(), working_.end(),
              [](const MonitorTaskPtr& a, const MonitorTaskPtr& b) { return a.get() < b.get(); });
    working_.erase(std::unique(working_.begin(), working_.end(),
                               [](const MonitorTaskPtr& a, const MonitorTaskPtr& b) {
                                   return a.get() == b.get();
                               }),
                   working_.end());
    due = working_;
    while (!waiting_.empty() && waiting_.front().wake <= now) {
        std::pop_heap(waiting_.begin(), waiting_.end(), std::greater<>());
        Entry entry = std::move(waiting_.back());
        waiting_.pop_back();
        if (entry.task->WakeSecond() == entry.wake && attached(entry.task))
            due.push_back(std::move(entry.task));
    }
    if (due.size() > 1) {
        std::vector<std::pair<std::int32_t, MonitorTaskPtr>> ordered;
        ordered.reserve(due.size());
        for (MonitorTaskPtr& task : due)
            ordered.emplace_back(task->GetListIndex(), std::move(task));
        std::sort(ordered.begin(), ordered.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        due.clear();
        for (auto& [index, task] : ordered)
            if (due.empty() || due.back().get() != task.get()) due.push_back(std::move(task));
    }
}

void CWakeQueue::DropDetached() {
    const auto detached = [this](const MonitorTaskPtr& task) {
        return task->GetWakeQueue() != this;
    };
    // The inbox is taken out to be sifted: its lock comes after the task locks asked here.
    std::vector<MonitorTaskPtr> changed;
    {
        std::lock_guard guard(inboxLock_);
        changed.swap(inbox_);
    }
    std::erase_if(changed, detached);
    {
        std::lock_guard guard(inboxLock_);
        inbox_.insert(inbox_.end(), std::make_move_iterator(changed.begin()),
                      std::make_move_iterator(changed.end()));
    }
    std::erase_if(working_, detached);
    std::erase_if(waiting_, [&](const Entry& entry) {
        return detached(entry.task) || entry.task->WakeSecond() != entry.wake;
    });
    std::make_heap(waiting_.begin(), waiting_.end(), std::greater<>());
}

void CWakeQueue::Clear() {
    {
        std::lock_guard guard(inboxLock_);
        inbox_.clear();
    }
    waiting_ = {};
    working_.clear();
}

}  // namespace tellweir
