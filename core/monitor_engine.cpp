// The monitor engine: its pass over the task list, the task list operations and the cache
// clean-up (the queue file is in engine_queue.cpp).
#include "core/monitor_engine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>
#include <unordered_set>

#include "base/ascii_text.h"
#include "base/date_time.h"
#include "core/task_schedule.h"
#include "core/transfer_link.h"
#include "history/version_store.h"
#include "log/log_registry.h"
#include "log/status_message.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "transfer/file_path.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"
#include "url/name_pattern.h"

namespace tellweir {

namespace {

ITransferLink& NoManager() {
    static CManagerLink none;
    return none;
}

constexpr auto kPassPeriod = std::chrono::milliseconds(100);
// Engine-level action codes.
constexpr int kActionStopTask = 7;
constexpr int kActionCleanupCache = 8;
constexpr int kActionSaveQueue = 9;
constexpr int kActionDisplayQueue = 10;

void TrimTaskLog(CMonitorTask& task, std::int32_t maxLines) {
    if (ItemLogPtr log = task.GetLog()) TrimToMax(*log, maxLines);
}

}  // namespace

CMonitorEngine::CMonitorEngine(const EngineLinks& links, CPropertySet* settings)
    : settings_(settings ? *settings : AppSettings()),
      transfers_(links.transfers ? *links.transfers : NoManager()),
      desktop_(links.desktop ? *links.desktop : NoDesktop()) {}

CMonitorEngine::~CMonitorEngine() {
    Stop();
    // A save asked for is written while the list is still whole.
    EndSaves();
    DeleteAllTasks();
}

std::int32_t CMonitorEngine::MaxLogLines() const {
    return settings_.Int(setting::kMaxLogLines);
}

void CMonitorEngine::AnnounceStart() {
    Lock lock(lock_);
    if (engineLogId_ == 0) engineLogId_ = CLogRegistry::Instance().CreateLog();
    if (ItemLogPtr log = CLogRegistry::Instance().GetLog(engineLogId_))
        log->WriteFormat(kLevelStatus, "Monitor engine started: [%s].",
                         DateTime::Now().Format("%x %X"));
}

ItemLogPtr CMonitorEngine::GetEngineLog() {
    Lock lock(lock_);
    return engineLogId_ == 0 ? ItemLogPtr() : CLogRegistry::Instance().GetLog(engineLogId_);
}

void CMonitorEngine::NotifyEngineThread(bool running) {
    Lock lock(lock_);
    desktop_.EngineThreadChanged(running);
}

int CMonitorEngine::Run() {
    if (!IsStopRequested()) {
        NotifyEngineThread(true);
        for (;;) {
            RunPass();
            if (IsStopRequested()) break;
            std::this_thread::sleep_for(kPassPeriod);
        }
    }
    RemoveStoppedTransfers();
    NotifyEngineThread(false);
    return 0;
}

void CMonitorEngine::RunPass() {
    RemoveStoppedTransfers();
    const std::int32_t maxLines = MaxLogLines();
    const std::int64_t now = LocalSecondsNow();
    std::vector<MonitorTaskPtr> finished;
    {
        Lock lock(lock_);
        // Only the working tasks and those whose start time has come, in list order: the others
        // would do nothing in this pass.
        std::vector<MonitorTaskPtr> due;
        wake_.TakeDue(now, due);
        for (const MonitorTaskPtr& task : due) {
            if (task->GetState() == TaskState::Working) {
                if (task->PollRun(transfers_)) finished.push_back(task);
                TrimTaskLog(*task, maxLines);
            } else if (task->GetState() == TaskState::Waiting && task->IsDue()) {
                task->StartRun(transfers_);
            } else if (task->GetState() == TaskState::Waiting) {
                wake_.Changed(*task);  // not quite due by its own clock: ask again next pass
            }
        }
    }
    bool cleanup = false, save = false, display = false;
    for (const MonitorTaskPtr& task : finished) {
        task->ClassifyOutcome();
        task->RunActions(desktop_);
        task->ScheduleNext();
        std::vector<int> codes;
        task->TakeEngineActions(codes);
        bool stopTask = false;
        for (int code : codes) {
            stopTask |= code == kActionStopTask;
            cleanup |= code == kActionCleanupCache;
            save |= code == kActionSaveQueue;
            display |= code == kActionDisplayQueue;
        }
        if (stopTask) task->StopAndCancel(transfers_);
        TrimTaskLog(*task, maxLines);
    }
    if (!finished.empty()) {
        if (cleanup) CleanupCache();
        // Written on the saver thread: the pass does not wait for the disk.
        if (save) RequestSave();
        if (display) {
            Lock lock(lock_);
            desktop_.DisplayQueue();
        }
    }
    if (ItemLogPtr log = GetEngineLog()) TrimToMax(*log, maxLines);
}

bool CMonitorEngine::AddTask(CMonitorTask& task) {
    if (task.GetName().empty()) return false;
    Lock lock(lock_);
    if (!MakeUniqueNameLocked(task)) return false;
    std::unordered_set<std::string> takenSamples;
    for (const MonitorTaskPtr& other : tasks_)
        if (other) takenSamples.insert(other->GetSamplePath());
    if (!task.Prepare(true, &takenSamples)) return false;
    tasks_.push_back(MonitorTaskPtr::Share(&task));
    task.Resume(true);
    ReindexLocked();
    return true;
}

void CMonitorEngine::RemoveTransfers(const std::vector<std::int32_t>& ids, bool detachLog) {
    if (ids.empty()) return;
    // Detaching is quick; the removal waits for each transfer to end, so the caller (a window
    // command, under the engine lock) leaves it to the engine thread.
    if (detachLog) transfers_.SetTransfersLog(ids, 0);
    Lock lock(lock_);
    transfersToRemove_.insert(transfersToRemove_.end(), ids.begin(), ids.end());
}

void CMonitorEngine::RemoveStoppedTransfers() {
    std::vector<std::int32_t> ids;
    {
        Lock lock(lock_);
        ids.swap(transfersToRemove_);
    }
    if (!ids.empty()) transfers_.RemoveTransfers(ids);
}

void CMonitorEngine::DeleteTasks(const std::vector<MonitorTaskPtr>& tasks) {
    std::vector<std::string> versionFolders;
    {
        Lock lock(lock_);
        DeleteTasksLocked(tasks, versionFolders);
    }
    // Up to "Versions Kept" files each: deleted without the engine lock. Each task's run was
    // stopped above, so nothing writes there any more.
    for (const std::string& folder : versionFolders)
        CVersionStore(folder).RemoveAll();
}

void CMonitorEngine::DeleteTasksLocked(const std::vector<MonitorTaskPtr>& tasks,
                                       std::vector<std::string>& versionFolders) {
    std::vector<std::int32_t> ids;
    for (const MonitorTaskPtr& task : tasks) {
        const std::int32_t index = task->GetListIndex();
        if (index < 0 || index >= static_cast<std::int32_t>(tasks_.size()) ||
            tasks_[index].get() != task.get())
            continue;  // not (or no longer) in the list
        { const auto wait = task->LockTask(); }
        task->StopRun(ids);
        if (std::string folder = task->GetVersionFolder(); !folder.empty())
            versionFolders.push_back(std::move(folder));
        if (ItemLogPtr log = task->GetLog()) log->Write(kLevelStatus, "Monitor task deleted.");
        task->ReleaseLog();
        task->SetWakeQueue(nullptr);
        ReanchorKeptEntriesLocked(static_cast<std::size_t>(index));
        tasks_[index] = nullptr;
    }
    wake_.DropDetached();
    ReindexLocked();
    RemoveTransfers(ids, false);
}

void CMonitorEngine::DeleteAllTasks() {
    {
        Lock lock(lock_);
        DeleteAllTasksLocked();
    }
    RemoveStoppedTransfers();
}

void CMonitorEngine::DeleteAllTasksLocked() {
    std::vector<std::int32_t> ids;
    for (const MonitorTaskPtr& task : tasks_) {
        task->StopRun(ids);
        task->ReleaseLog();
        task->SetWakeQueue(nullptr);
    }
    tasks_.clear();
    wake_.Clear();
    for (KeptEntry& entry : keptEntries_)
        entry.after = nullptr;
    RemoveTransfers(ids, false);
}

void CMonitorEngine::StopTasks(const std::vector<MonitorTaskPtr>& tasks) {
    Lock lock(lock_);
    std::vector<std::int32_t> ids;
    for (const MonitorTaskPtr& task : tasks) {
        { const auto wait = task->LockTask(); }
        task->StopRun(ids);
    }
    RemoveTransfers(ids, true);
}

void CMonitorEngine::ResumeTasks(const std::vector<MonitorTaskPtr>& tasks) {
    Lock lock(lock_);
    for (const MonitorTaskPtr& task : tasks) {
        { const auto wait = task->LockTask(); }
        task->Resume(false);
    }
}

void CMonitorEngine::ReanchorKeptEntriesLocked(std::size_t index) {
    MonitorTaskPtr before;
    for (std::size_t i = index; i-- > 0 && !before;)
        before = tasks_[i];
    for (KeptEntry& entry : keptEntries_)
        if (entry.after.get() == tasks_[index].get()) entry.after = before;
}

void CMonitorEngine::ReindexLocked() {
    ++listChanges_;
    std::erase_if(tasks_, [](const MonitorTaskPtr& task) { return !task; });
    for (std::size_t i = 0; i < tasks_.size(); ++i) {
        tasks_[i]->SetListIndex(static_cast<std::int32_t>(i));
        tasks_[i]->SetWakeQueue(&wake_);
    }
}

bool CMonitorEngine::NameExists(std::string_view name) {
    Lock lock(lock_);
    return NameExistsLocked(name);
}

bool CMonitorEngine::NameExistsLocked(std::string_view name) const {
    for (const MonitorTaskPtr& task : tasks_)
        if (EqualsIgnoreAsciiCase(task->GetName(), name)) return true;
    return false;
}

MonitorTaskPtr CMonitorEngine::FindTaskByName(std::string_view name) {
    Lock lock(lock_);
    for (const MonitorTaskPtr& task : tasks_)
        if (EqualsIgnoreAsciiCase(task->GetName(), name)) return task;
    return nullptr;
}

void CMonitorEngine::MakeUniqueName(CMonitorTask& task) {
    Lock lock(lock_);
    MakeUniqueNameLocked(task);
}

bool CMonitorEngine::MakeUniqueNameLocked(CMonitorTask& task) {
    if (!NameExistsLocked(task.GetName())) return true;
    return MakeUniqueAmong(task, TakenNamesLocked());
}

std::unordered_set<std::string> CMonitorEngine::TakenNamesLocked() const {
    std::unordered_set<std::string> taken;
    for (const MonitorTaskPtr& task : tasks_)
        taken.insert(LowerAscii(task->GetName()));
    return taken;
}

bool CMonitorEngine::MakeUniqueAmong(CMonitorTask& task,
                                     const std::unordered_set<std::string>& taken) {
    std::string name = task.GetName();
    if (!taken.contains(LowerAscii(name))) return true;
    std::erase_if(name, [](char c) { return c == '<' || c == '>'; });
    CNamePattern pattern;
    pattern.Parse(name + "(<1-10000>)");
    std::string candidate = name;
    bool free = false;
    while (std::optional<std::string> next = pattern.Next()) {
        candidate = *next;
        free = !taken.contains(LowerAscii(candidate));
        if (free) break;
    }
    task.SetName(candidate);
    return free;
}

int CMonitorEngine::CountActiveTasks() {
    Lock lock(lock_);
    int count = 0;
    for (const MonitorTaskPtr& task : tasks_) {
        const TaskState state = task->GetState();
        count += state == TaskState::Waiting || state == TaskState::Working;
    }
    return count;
}

void CMonitorEngine::SnapshotTasks(std::vector<MonitorTaskPtr>& tasks) {
    Lock lock(lock_);
    tasks = tasks_;
}

CacheCleanupResult CMonitorEngine::CleanupCache() {
    CacheCleanupResult outcome;
    const std::string folder = settings_.String(setting::kCacheFolder);
    if (folder.empty()) return outcome;
    // The folder is walked and its files deleted without the engine lock; each batch of files
    // takes it only to be checked against the tasks listed then, so that a task added during the
    // walk keeps its files and the windows and the engine pass never wait long for the lock.
    std::set<std::string> keep;
    std::set<std::string> keepFolders;  // versions folders: every file in them stays
    std::uint64_t keptFor = 0;          // the list change `keep` was made for
    bool kept = false;
    const auto keepLocked = [&] {
        if (kept && keptFor == listChanges_) return;
        keep.clear();
        keepFolders.clear();
        for (const MonitorTaskPtr& task : tasks_) {
            if (task->GetUri().starts_with("<null")) continue;
            for (const std::string& path :
                 {task->GetObjectPath(), task->GetSamplePath(), task->GetInfoPath()})
                if (!path.empty()) keep.insert(path);
            if (std::string folder = task->GetVersionFolder(); !folder.empty())
                keepFolders.insert(std::move(folder));
        }
        keptFor = listChanges_;
        kept = true;
    };
    const auto count = [&outcome](bool deleted, std::int64_t size) {
        (deleted ? outcome.deleted : outcome.skipped) += 1;
        (deleted ? outcome.deletedBytes : outcome.skippedBytes) += size;
    };
    struct Found {
        std::string path;
        std::int64_t size;
    };
    constexpr std::size_t kBatch = 256;
    std::vector<std::string> pending{folder};
    while (!pending.empty()) {
        const std::string directory = std::move(pending.back());
        pending.pop_back();
        std::vector<std::string> files, directories;
        ListDirectory(directory, "*", &files, &directories);
        for (const std::string& name : directories)
            pending.push_back(JoinPath(directory, name));
        std::vector<Found> found;
        found.reserve(files.size());
        for (const std::string& name : files) {
            std::string path = JoinPath(directory, name);
            const std::int64_t size = std::max<std::int64_t>(GetFileSize(path), 0);
            found.push_back({std::move(path), size});
        }
        for (std::size_t start = 0; start < found.size(); start += kBatch) {
            const std::size_t end = std::min(found.size(), start + kBatch);
            std::vector<bool> keepIt(end - start);
            {
                Lock lock(lock_);
                keepLocked();
                const bool versionsKept = keepFolders.contains(directory);
                for (std::size_t i = start; i < end; ++i)
                    keepIt[i - start] = versionsKept || keep.contains(found[i].path);
            }
            for (std::size_t i = start; i < end; ++i) {
                const std::string& path = found[i].path;
                count(!keepIt[i - start] &&
                          (DeleteFile(path) || GetPathKind(path) == PathKind::Missing),
                      found[i].size);
            }
        }
    }
    RemoveDirectoryTree(folder, false);
    return outcome;
}

}  // namespace tellweir
