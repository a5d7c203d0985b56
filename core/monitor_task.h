// CMonitorTask: one watched resource (a URL, a local file or folder, or a "<null" placeholder)
// with the user's choices, its run state and counters, its event table, and the paths of the
// files it keeps between runs. Shared by the engine thread and the main thread, so it is
// reference-counted (CRefCounted: AddRef, Release) and guards itself with its own lock.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/date_time.h"
#include "base/ref_ptr.h"
#include "core/task_properties.h"
#include "log/item_log.h"
#include "log/transfer_result.h"
#include "port/desktop_port.h"
#include "store/property_set.h"
#include "store/xml_node.h"

namespace tellweir {

class CSampleCheck;
class CWakeQueue;
class ITransferLink;
struct KeptVersion;
struct VersionJob;

enum class TaskState : std::int32_t { New = 0, Idle = 1, Waiting = 2, Working = 3 };

// The part of a task that a dialog of an existing task edits: its event table (Events &
// Actions), or its schedule ("Schedule", the repeat value, unit and days, "NextStartTime").
enum class TaskEditPart : int { Events = 0, Schedule = 1 };

// Receive DescribeEvents' report of one event: with actions (its action text and the names of its
// actions joined by "; "), or without.
using EventWithActionsSink =
    std::function<void(int event, std::string_view actions, std::string_view summary)>;
using EventWithoutActionsSink = std::function<void(int event)>;

// Lock order: the engine lock, then a task's lock, then a log's lock. Every operation below takes
// the task lock itself; actions run outside it.
class CMonitorTask : public CRefCounted, public CPropertySet {
  public:
    using TaskLock = std::unique_lock<std::recursive_mutex>;
    using EventTable = std::map<std::string, std::string>;  // handler name -> action text

    // A new task with one reference: table defaults, state New, "NextStartTime" now.
    static RefPtr<CMonitorTask> Create();

    // The task lock, for the engine's "wait until nobody holds it" and for the run steps.
    TaskLock LockTask() const { return TaskLock(lock_); }

    // Accessors.
    std::string GetName() const { return String(task::kName); }
    void SetName(std::string_view name);
    std::string GetUri() const { return String(task::kUri); }
    std::string GetObjectPath() const { return String(task::kObjectPath); }
    std::string GetSamplePath() const { return String(task::kSamplePath); }
    std::string GetInfoPath() const { return String(task::kInfoPath); }
    TaskState GetState() const;
    [[nodiscard]] TransferResult GetLastResult() const;
    // -2 "<null" URI, -1 local path, else the URI's protocol id (1 HTTP, 2 HTTPS, 3 FTP, ...).
    int GetKind() const;
    // "NextStartTime" while Waiting or Working, else 0 (not set).
    DateTime GetNextStartTimeShown() const;
    DateTime GetFirstStartTime() const { return GetTime(task::kFirstStartTime); }
    DateTime GetLastStartTime() const { return GetTime(task::kLastStartTime); }

    // The versions kept of the resource, in the folder beside the sample (empty for a task
    // without one).
    std::string GetVersionFolder() const;
    std::int32_t GetNewestVersion() const { return Int(task::kNewestVersion); }
    std::int32_t GetViewedVersion() const { return Int(task::kViewedVersion); }
    // A version newer than the newest one viewed: the list shows the task in bold. The first
    // version is what the task first found, not a change.
    bool HasUnseenChanges() const {
        return GetNewestVersion() > std::max(GetViewedVersion(), std::int32_t{1});
    }
    // The user has seen the versions up to `number`: kept here and in the versions folder, and
    // the list told. False when the folder could not be written (the mark still holds here).
    bool SetViewedVersion(std::int32_t number);
    // The version the current run kept and how much changed (version 0: none).
    ChangeNote GetRunChange() const;

    // Date-time properties (0 = not set).
    DateTime GetTime(PropertyId id) const;
    void SetTime(PropertyId id, DateTime time);
    // "NextStartTime" written by any path (SetTime, the property table, a dialog's copy) also
    // moves the task's wake second.
    void SetInt64(PropertyId id, std::int64_t value) override;

    // Position in the engine's list and row of the list window; -1 when none.
    std::int32_t GetListIndex() const;
    void SetListIndex(std::int32_t index);
    std::int32_t GetListRow() const;
    void SetListRow(std::int32_t row);

    // Run state, for the run steps (start, poll, classify).
    void SetState(TaskState state);
    void SetLastResult(TransferResult result);
    [[nodiscard]] TransferResult GetPreviousResult() const;
    void SetPreviousResult(TransferResult result);
    int GetChosenEvent() const;
    // Forgets the chosen event and the pending engine actions: a new run begins.
    void ResetRunEvents();
    // Marks the task as changed for the list window.
    void RenewStamp();

    // The event table, keyed by handler name.
    void SetEventActions(int event, std::string_view text);
    bool GetEventActions(int event, std::string& text) const;
    void RemoveEvent(int event);
    EventTable GetEventTable() const;
    // True when some event that applies to the task's kind has no entry.
    bool HasUnsetEvents() const;

    // The task's item log with a reference, or null when it has none.
    ItemLogPtr GetLog() const;
    // Deletes the task's log from the log registry; the task writes no more lines after it.
    void ReleaseLog();

    // Lifecycle.
    // `takenSamples`, when given, are the sample paths of the other tasks: a new task whose
    // cache base path is one of them (same URI, same second) gets "_2", "_3"... so that it
    // never shares, or deletes, another task's files.
    bool Prepare(bool create, const std::unordered_set<std::string>* takenSamples = nullptr);
    void Save(CXmlNode& element) const;
    bool Restore(CXmlNode& element);
    bool Resume(bool initial);
    bool StopRun(std::vector<std::int32_t>& transferIds);
    void StopAndCancel(ITransferLink& transfers);
    // Copies everything but the run's transfer and log: for a copy that nothing runs.
    void Assign(const CMonitorTask& source);
    // Applies what a dialog changed in `part`: each value of the part that differs between
    // `opened` (a Clone taken when the dialog opened) and `edited` (the dialog's copy) is set
    // here; the state, counters, run times and results stay this task's, as do values the dialog
    // left alone (a running task moved them on meanwhile). A changed "NextStartTime" reaches
    // the engine's wake queue.
    void ApplyEdit(TaskEditPart part, const CMonitorTask& opened, const CMonitorTask& edited);
    RefPtr<CMonitorTask> Clone() const;

    void AddBytesDownloaded(std::int64_t amount);
    void AddBytesSent(std::int64_t amount);
    void AddBytesRecv(std::int64_t amount);

    // Events and actions.
    void HandleEvent(int event);
    // Prompts, lit icons and shell opens go to the windows through `desktop`.
    void RunActions(IDesktopPort& desktop);
    void TakeEngineActions(std::vector<int>& codes);
    void ApplyDefaultEvents();
    void DescribeEvents(const EventWithActionsSink& withActions,
                        const EventWithoutActionsSink& withoutActions) const;

    // Schedule.
    bool IsDue() const;
    void ScheduleNext();
    // The local second of the next start while waiting, CWakeQueue::kEveryPass while working,
    // CWakeQueue::kNever otherwise; kept up to date by every change of state or start time.
    std::int64_t WakeSecond() const { return wakeSecond_.load(std::memory_order_acquire); }
    // The engine's queue this task tells of those changes (null: none); attaching tells it.
    void SetWakeQueue(CWakeQueue* queue);
    CWakeQueue* GetWakeQueue() const;

    // One run: start, poll until it has ended, classify the outcome into events. Defined with
    // the run itself; the engine thread calls them in this order.
    void StartRun(ITransferLink& transfers);
    bool PollRun(ITransferLink& transfers);
    void ClassifyOutcome();
    void CompareWithKept();
    void HandleLocalFolder();
    // A local path that is neither a regular file nor a folder (a FIFO, a socket, a device).
    void HandleSpecialFile();

  protected:
    CMonitorTask();
    ~CMonitorTask() override;

  private:
    template <class... Args>
    void WriteLog(int level, std::string_view format, const Args&... args) const {
        if (ItemLogPtr log = GetLog()) log->WriteFormat(level, format, args...);
    }
    // Writes the blank separator line that ends a group of lines.
    void WriteSeparator() const;
    static int KindOfUri(std::string_view uri);
    // The schedule step of a periodic task, starting from "NextStartTime".
    void ScheduleNextPeriodic();
    // Begins the whole-content check of a run whose object is there; true when nothing is left
    // to wait for.
    bool BeginSampleCheck();
    // Stops and forgets the content check of a run, if one is under way.
    void CancelSampleCheck();
    // What the run needs to keep a version off the engine thread; null when the task keeps
    // none (no sample path, or the run was stopped).
    std::unique_ptr<VersionJob> MakeVersionJob(bool information) const;
    // Asks the run's content check to keep a version when the task keeps them.
    void AttachVersionJob(CSampleCheck& check) const;
    // Keeps the file-information record `found` (INFO table values) as a version with `event`.
    void KeepInformation(const CPropertySet& found, std::string_view event);
    // Writes what keeping a version found into the log and the run's properties.
    void NoteVersion(const KeptVersion& kept);
    // Recomputes the wake second and tells the wake queue when it changed.
    void UpdateWake();

    mutable std::recursive_mutex lock_;
    std::int32_t listIndex_ = -1;
    std::int32_t listRow_ = -1;
    TaskState state_ = TaskState::New;
    TransferResult lastResult_ = 0;
    TransferResult previousResult_ = 0;
    int chosenEvent_ = -1;
    EventTable events_;
    std::vector<int> pendingEngineActions_;
    // The run's whole-content check, from the poll that began it to the comparison that reports
    // it; a large content is checked on the check's own thread meanwhile.
    std::unique_ptr<CSampleCheck> sampleCheck_;
    // Damaged version files already told in the log, so that each is told once.
    std::unordered_set<std::string> damageTold_;
    CWakeQueue* wakeQueue_ = nullptr;
    std::atomic<std::int64_t> wakeSecond_;
};

using MonitorTaskPtr = RefPtr<CMonitorTask>;

}  // namespace tellweir
