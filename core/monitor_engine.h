// CMonitorEngine: owns every monitor task of the process in one ordered list and drives them
// from its own thread, one pass every 100 ms: it starts due tasks, polls running ones, and lets
// each finished run classify its outcome, run its actions and reschedule. It also loads and
// saves the queue file, keeps task names unique and cleans the cache folder.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/monitor_task.h"
#include "core/queue_saver.h"
#include "core/thread_object.h"
#include "core/transfer_link.h"
#include "core/wake_queue.h"
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

// What the last LoadQueue found wrong with the queue file, for the windows (a message box) and
// the command line. A file that could not be read is never saved over by this engine; a damaged
// one loads what can be loaded and is kept under another name before the next save writes the
// queue file.
struct QueueFileReport {
    std::string file;         // the queue file, as set
    std::string problem;      // why it is unreadable or damaged; empty when it loaded whole
    bool unreadable = false;  // nothing was loaded
    std::int32_t loaded = 0;  // tasks loaded
    // Where the damaged file is kept: named at the load, made by the next save.
    std::string keptAs;
    bool kept = false;  // the copy exists
    // One line for each entry left out of the list ("Skipped the queue file entry ..."): kept in
    // the file as it was, or, in a damaged file, lost to the damage (the kept copy holds it).
    std::vector<std::string> skipped;

    bool Damaged() const { return !unreadable && !problem.empty(); }
    // One line for the user, e.g. "The queue was damaged: "<file>" kept as "<copy>"."; empty
    // when there is nothing to say.
    std::string Describe() const;
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

    // 0 when the file was read, also when it was damaged and loaded only in part (see
    // GetQueueReport); else the file error, and the task list is left as it was.
    [[nodiscard]] TransferResult LoadQueue();
    // Reads the queue file as LoadQueue does but keeps no task: each one it would list is handed
    // to `visit` in list order, then dropped, so that a long queue is listed without holding it.
    // The list is left empty and this engine never saves the queue file afterwards. When the
    // result is an error, the tasks visited came from a file that could not be read to its end.
    using TaskVisitor = std::function<void(const CMonitorTask&)>;
    [[nodiscard]] TransferResult VisitQueue(const TaskVisitor& visit);
    // Writes the task list, with the entries the load could not read in their places. Saves are
    // serialised from the snapshot of the list to the rename, so the last one wins. Refused
    // (the load's file error) for a file the last load could not read; a damaged file is first
    // kept under its QueueFileReport::keptAs name, and the save is refused when that fails.
    // Holds the engine lock only to copy the list; each task is written under its own lock.
    // Every save asked for with RequestSave before the call is covered by it.
    [[nodiscard]] TransferResult SaveQueue();
    // Asks for a save on the queue saver thread and returns at once: for callers that must not
    // wait (the windows, the engine thread). Requests that come close together are written by
    // one save; a failure goes into the engine log and to the desktop port (QueueSaveFailed).
    void RequestSave();
    // Waits until every save asked for before the call is written; the result of the last save.
    TransferResult WaitForSaves();
    // Writes the saves still asked for and ends the saver thread; later requests are dropped.
    // The owner calls it at exit before the tasks are deleted, so that no save writes an emptied
    // list; the destructor calls it too.
    void EndSaves();
    QueueFileReport GetQueueReport() const;
    // True when the task was accepted: a non-empty, unique name and a usable URI.
    bool AddTask(CMonitorTask& task);
    // Takes the tasks out of the list, stops their runs and deletes the versions they kept.
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
    // Takes the tasks out of the list; their versions folders, to be deleted without the lock,
    // go to `versionFolders`.
    void DeleteTasksLocked(const std::vector<MonitorTaskPtr>& tasks,
                           std::vector<std::string>& versionFolders);
    void ReindexLocked();
    bool NameExistsLocked(std::string_view name) const;
    // Renames a task whose name is taken; true when its name is then free.
    bool MakeUniqueNameLocked(CMonitorTask& task);
    // The names of the listed tasks in lower case.
    std::unordered_set<std::string> TakenNamesLocked() const;
    // As MakeUniqueNameLocked, against the lower-case names in `taken`.
    static bool MakeUniqueAmong(CMonitorTask& task, const std::unordered_set<std::string>& taken);
    void RemoveTransfers(const std::vector<std::int32_t>& ids, bool detachLog);
    // Removes the transfers of stopped and deleted tasks, which may wait for each to end; on the
    // engine thread (each pass) and at the end, never under the engine lock.
    void RemoveStoppedTransfers();
    // The queue file written from a snapshot of the list; SaveQueue and the saver thread.
    TransferResult WriteQueue();
    void ReportSaveFailure(TransferResult result);
    std::int32_t MaxLogLines() const;
    void WriteEngineLog(int level, const std::string& line);
    // LoadQueue, or with `visit` VisitQueue.
    TransferResult ReadQueueFile(const TaskVisitor* visit);
    // Entries that followed the task at `index`, about to leave the list, follow the nearest
    // task before it instead.
    void ReanchorKeptEntriesLocked(std::size_t index);
    // Keeps the damaged queue file under its planned name; false when no copy could be made.
    bool KeepDamagedQueueFile(const std::string& path);

    // A queue file entry that could not be read, kept verbatim and written back after `after`
    // (null: first).
    struct KeptEntry {
        MonitorTaskPtr after;
        std::string markup;
    };

    CPropertySet& settings_;
    // Held by LoadQueue and SaveQueue throughout, before the engine lock.
    std::mutex queueFileLock_;
    std::string unreadableQueue_;  // a queue file the last load could not read: not written
    TransferResult unreadableResult_ = 0;
    std::string damagedQueue_;           // a damaged queue file not yet kept under another name
    mutable std::recursive_mutex lock_;  // the engine lock
    ITransferLink& transfers_;
    IDesktopPort& desktop_;
    std::int32_t engineLogId_ = 0;
    std::vector<MonitorTaskPtr> tasks_;
    CWakeQueue wake_;                     // the listed tasks' wake seconds; under the engine lock
    std::vector<KeptEntry> keptEntries_;  // under the engine lock
    QueueFileReport queueReport_;         // under the engine lock
    // The transfers of stopped and deleted tasks, removed off the caller's thread: a removal
    // waits for the transfer to end. Under the engine lock.
    std::vector<std::int32_t> transfersToRemove_;
    // Counts the changes of the list (additions, deletions, loads), for the cache cleanup that
    // walks the folder without the engine lock. Under the engine lock.
    std::uint64_t listChanges_ = 0;
    // Last: its thread uses the members above, and is ended before they go.
    CQueueSaver saver_{[this] { return WriteQueue(); },
                       [this](TransferResult result) { ReportSaveFailure(result); }};
};

}  // namespace tellweir
