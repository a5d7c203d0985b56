// The versions a task keeps of its resource: where they are, which the user has seen, and what
// the current run kept.
#include "core/monitor_task.h"
#include "history/version_store.h"

namespace tellweir {

std::string CMonitorTask::GetVersionFolder() const {
    return CVersionStore::FolderFor(GetSamplePath());
}

bool CMonitorTask::SetViewedVersion(std::int32_t number) {
    const TaskLock guard = LockTask();
    if (number <= GetViewedVersion()) return true;
    SetInt(task::kViewedVersion, number);
    RenewStamp();
    const std::string folder = GetVersionFolder();
    return !folder.empty() && CVersionStore(folder).SetViewed(number);
}

ChangeNote CMonitorTask::GetRunChange() const {
    const TaskLock guard = LockTask();
    return {Int(task::kRunVersion), String(task::kRunChangeSummary)};
}

}  // namespace tellweir
