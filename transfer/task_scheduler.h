// CTaskScheduler: one timer thread that runs queued tasks at a start time and then once per
// period (whole seconds, or calendar units). CCVoidFuncTask is the one kind of task it runs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "transfer/sync_event.h"

namespace tellweir {

// A task the scheduler runs. The scheduler calls Run on its own thread without its lock, and
// Finish with its lock held once the entry is done or the scheduler ends; after Finish the
// scheduler never touches the task again. Finish must not call the scheduler.
class IScheduledTask {
  public:
    virtual ~IScheduledTask() = default;
    // `remainingRuns` is the entry's count before this run (-1 = unlimited).
    virtual std::int32_t Run(std::int32_t remainingRuns) = 0;
    virtual void Finish() = 0;
    virtual std::string GetName() const = 0;
};

// Calls a plain function with a fixed 32-bit value. A task that owns itself must be created
// with new and is deleted by Finish; otherwise the creator keeps it alive until Finish.
class CCVoidFuncTask final : public IScheduledTask {
  public:
    using Func = std::int32_t (*)(std::int32_t userData);

    CCVoidFuncTask(Func func, std::int32_t userData, bool ownsItself)
        : func_(func), userData_(userData), ownsItself_(ownsItself) {}

    // The function's result, or 0 without a function; the remaining runs are not used.
    std::int32_t Run(std::int32_t remainingRuns) override;
    void Finish() override;
    std::string GetName() const override { return "CCVoidFuncTask"; }

  private:
    Func func_;
    std::int32_t userData_;
    bool ownsItself_;
};

// Period units of a scheduler entry; any other value counts seconds like kUnitPlainSeconds.
inline constexpr std::int32_t kUnitPlainSeconds = -1;
inline constexpr std::int32_t kUnitSeconds = 0;
inline constexpr std::int32_t kUnitMinutes = 1;
inline constexpr std::int32_t kUnitHours = 2;
inline constexpr std::int32_t kUnitDays = 3;
inline constexpr std::int32_t kUnitWeeks = 4;
inline constexpr std::int32_t kUnitMonths = 5;
inline constexpr std::int32_t kUnitYears = 6;

// Times are seconds since 1970.
struct SchedulerEntry {
    IScheduledTask* task = nullptr;
    std::int64_t start = 0;
    std::int64_t created = 0;
    std::int32_t remainingRuns = -1;  // -1 unlimited; 0 finishes after its next run
    std::int32_t period = 0;          // 0 or less: no repetition
    std::int32_t unit = kUnitPlainSeconds;
    std::int32_t runCount = 0;
    bool done = false;
    bool running = false;
    std::int32_t id = 0;
};

// `start` moved on by `count` units in local calendar time. Days and weeks keep the time of day
// across daylight-saving changes; months and years keep the day of month and the time of day,
// except that a day the target month lacks becomes its last day (31 January + 1 month is the
// last day of February). Seconds, minutes and hours are fixed lengths.
std::int64_t AdvanceByUnits(std::int64_t start, std::int32_t unit, std::int64_t count);

// When the entry is next due: a one-shot entry that already ran is due 1000 s after `now`.
std::int64_t DueTime(const SchedulerEntry& entry, std::int64_t now);

// Seconds from `now` until the entry is due, 0 when it is due or overdue.
std::int64_t SecondsLeft(const SchedulerEntry& entry, std::int64_t now);

// Skips the occurrences of a repeating calendar entry that lie before `now` by raising its run
// count; entries counting plain seconds are left alone.
void CatchUp(SchedulerEntry& entry, std::int64_t now);

class CTaskScheduler {
  public:
    // Returns the current time in seconds since 1970.
    using Clock = std::function<std::int64_t()>;

    // Without a clock the system's time() is used. An injected clock is read by Add and by the
    // scheduler thread; the thread still sleeps in real time between its passes.
    explicit CTaskScheduler(Clock clock = {});
    // Stops the thread; entries still queued get Finish. Never call it from a task.
    ~CTaskScheduler();
    CTaskScheduler(const CTaskScheduler&) = delete;
    CTaskScheduler& operator=(const CTaskScheduler&) = delete;

    // Starts the scheduler thread unless it runs. Returns false when no thread could be created.
    bool Start();
    // Adds an entry and wakes the thread; returns the entry's id, or 0 for a null task. The
    // task must stay alive until its Finish.
    std::int32_t Add(IScheduledTask* task, std::int64_t start, std::int32_t remainingRuns,
                     std::int32_t period, std::int32_t unit);
    // Ends the thread and returns once it has ended; every queued task gets Finish. Called from
    // a task (on the scheduler thread) it only asks the thread to end after that task.
    void Stop();

    bool IsRunning() const;
    // A copy of the entry with that id (its task pointer included), if it is queued.
    std::optional<SchedulerEntry> FindEntry(std::int32_t id) const;
    std::size_t GetEntryCount() const;

  private:
    using Lock = std::unique_lock<std::mutex>;

    void ThreadMain();
    void DropDoneLocked();
    // One scan over the entries; runs those that are due. Returns the smallest wait in seconds,
    // or none when there was nothing to wait for. Sets `stop` when the stop event ended it.
    std::optional<std::int64_t> ScanLocked(Lock& lock, bool& stop);
    // Runs one due entry with the lock released; returns its seconds left afterwards.
    std::int64_t RunEntryLocked(Lock& lock, SchedulerEntry& entry);
    void FinishAllLocked();
    std::int64_t Now() const;

    const Clock clock_;
    mutable std::mutex mutex_;
    bool running_ = false;
    std::condition_variable ended_;  // notified when the thread clears running_
    CSyncEvent stop_{CSyncEvent::Mode::ManualReset};
    CSyncEvent wake_{CSyncEvent::Mode::ManualReset};
    std::map<std::int32_t, SchedulerEntry> entries_;
    bool newEntry_ = false;
    // The current or last scheduler thread; joined by Stop, Start or the destructor.
    std::thread thread_;
};

}  // namespace tellweir
