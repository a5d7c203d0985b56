// CMonitorEngine: owns every monitor task of the process in one ordered list and drives them
// from its own thread, one pass every 100 ms: it starts due tasks, polls running ones, and lets
// each finished run classify its outcome, run its actions and reschedule. It also loads and
// saves the queue file, keeps task names unique and cleans the cache folder.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/monitor_task.h"
#include "core/thread_object.h"
#include "core/transfer_link.h"
#include "log/item_log.h"
#include "log/transfer_result.h"
#include "port/desktop_port.h"
#include "store/property_set.h"

namespace tellweir {

struct CacheCleanupResult {
    std::int32_t skipped = 0;
    std::int64_t skippedBytes = 0;
    std::int32_t deleted = 0;
    std::int64_t deletedBytes = 0;
};

// What the engine and its tasks talk to; each must outlive the engine. A null transfer link
// means no transfer manager (a run over a URL ends as a transfer that went away); a null
// desktop means no windows.
struct EngineLinks {
    ITransferLink* transfers = nullptr;
    IDesktopPort* desktop = nullptr;
};

class CMonitorEngine final : public CThreadObject {
  public:
    // `settings` gives the queue file, the cache folder and the log limit; null: the
    // application settings.
    explicit CMonitorEngine(const EngineLinks& links = {}, CPropertySet* settings = nullptr);
    ~CMonitorEngine() override;

    // Creates the engine log when there is none and writes the start line into it.
    void AnnounceStart();
    ItemLogPtr GetEngineLog();

    [[nodiscard]] TransferResult LoadQueue();
    [[nodiscard]] TransferResult SaveQueue();
    // True when the task was accepted: a non-empty, unique name and a usable URI.
    bool AddTask(CMonitorTask& task);
    void DeleteTasks(const std::vector<MonitorTaskPtr>& tasks);
    void DeleteAllTasks();
    void ResumeTasks(const std::vector<MonitorTaskPtr>& tasks);
    void StopTasks(const std::vector<MonitorTaskPtr>& tasks);
    bool NameExists(std::string_view name);
    MonitorTaskPtr FindTaskByName(std::string_view name);
    void MakeUniqueName(CMonitorTask& task);
    int CountActiveTasks();
    void SnapshotTasks(std::vector<MonitorTaskPtr>& tasks);
    CacheCleanupResult CleanupCache();

    // One pass over the task list; the thread runs it every 100 ms, tests call it directly.
    void RunPass();

  protected:
    int Run() override;

  private:
    using Lock = std::unique_lock<std::recursive_mutex>;
    void NotifyEngineThread(bool running);
    void DeleteAllTasksLocked();
    void ReindexLocked();
    bool NameExistsLocked(std::string_view name) const;
    // Renames a task whose name is taken; true when its name is then free.
    bool MakeUniqueNameLocked(CMonitorTask& task);
    // The names of the listed tasks in lower case.
    std::unordered_set<std::string> TakenNamesLocked() const;
    // As MakeUniqueNameLocked, against the lower-case names in `taken`.
    static bool MakeUniqueAmong(CMonitorTask& task, const std::unordered_set<std::string>& taken);
    void RemoveTransfers(const std::vector<std::int32_t>& ids, bool detachLog);
    std::int32_t MaxLogLines() const;

    CPropertySet& settings_;
    mutable std::recursive_mutex lock_;  // the engine lock
    ITransferLink& transfers_;
    IDesktopPort& desktop_;
    std::int32_t engineLogId_ = 0;
    std::vector<MonitorTaskPtr> tasks_;
};

}  // namespace tellweir
