// The scheduler thread, the due-time rules and the calendar arithmetic behind them.
#include "transfer/task_scheduler.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <limits>
#include <system_error>

#include "base/civil_time.h"
#include "base/id_counter.h"
#include "transfer/thread_priority.h"

namespace tellweir {

namespace {

// Stands for "never" when a due time leaves the range the calendar can express.
constexpr std::int64_t kFarFuture = std::numeric_limits<std::int64_t>::max() / 4;

// One-shot entries that already ran are looked at again this much later.
constexpr std::int64_t kOneShotRecheckSeconds = 1000;

// Beyond this many seconds the thread sleeps a fixed 1,000,000,020 ms.
constexpr std::int64_t kLongestWaitSeconds = 1'000'000;

// The longest one unit can last, daylight-saving shifts included: dividing by it gives a run
// count that is never past the first occurrence not in the past.
constexpr std::int64_t kLongestUnitSeconds[] = {
    1, 60, 3600, 27 * 3600, 7 * 27 * 3600, 32 * 86400, 367 * 86400,
};

bool IsCalendarUnit(std::int32_t unit) {
    return unit >= kUnitSeconds && unit <= kUnitYears;
}

std::int64_t AddSeconds(std::int64_t start, std::int64_t count, std::int64_t unitSeconds) {
    std::int64_t delta = 0;
    std::int64_t due = 0;
    if (__builtin_mul_overflow(count, unitSeconds, &delta) ||
        __builtin_add_overflow(start, delta, &due)) {
        return count < 0 ? -kFarFuture : kFarFuture;
    }
    return std::clamp(due, -kFarFuture, kFarFuture);
}

bool ToLocalTm(std::int64_t t, std::tm& out) {
    const auto value = static_cast<std::time_t>(t);
    return localtime_r(&value, &out) != nullptr;
}

// mktime with the daylight-saving flag left to the system, so the wall-clock time is kept.
std::int64_t FromLocalTm(std::tm& local) {
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    return t == static_cast<std::time_t>(-1) ? kFarFuture : static_cast<std::int64_t>(t);
}

// Beyond this many days or months from 1970 the calendar is not consulted.
constexpr std::int64_t kCalendarLimit = 10'000'000;

std::int64_t AddDays(std::int64_t start, std::int64_t days) {
    std::tm local{};
    if (days > kCalendarLimit || days < -kCalendarLimit || !ToLocalTm(start, local)) {
        return days < 0 ? -kFarFuture : kFarFuture;
    }
    local.tm_mday += static_cast<int>(days);
    return FromLocalTm(local);
}

std::int64_t AddMonths(std::int64_t start, std::int64_t months) {
    std::tm local{};
    if (months > kCalendarLimit || months < -kCalendarLimit || !ToLocalTm(start, local)) {
        return months < 0 ? -kFarFuture : kFarFuture;
    }
    const std::int64_t total = std::int64_t{local.tm_year} * 12 + local.tm_mon + months;
    std::int64_t year = total / 12;
    std::int64_t month0 = total % 12;
    if (month0 < 0) {
        month0 += 12;
        year -= 1;
    }
    local.tm_year = static_cast<int>(year);
    local.tm_mon = static_cast<int>(month0);
    local.tm_mday = std::min(local.tm_mday, DaysInMonth(year + 1900, local.tm_mon + 1));
    return FromLocalTm(local);
}

}  // namespace

std::int32_t CCVoidFuncTask::Run(std::int32_t /*remainingRuns*/) {
    return func_ != nullptr ? func_(userData_) : 0;
}

void CCVoidFuncTask::Finish() {
    if (ownsItself_) delete this;
}

std::int64_t AdvanceByUnits(std::int64_t start, std::int32_t unit, std::int64_t count) {
    switch (unit) {
        case kUnitSeconds:
            return AddSeconds(start, count, 1);
        case kUnitMinutes:
            return AddSeconds(start, count, 60);
        case kUnitHours:
            return AddSeconds(start, count, 3600);
        case kUnitDays:
            return AddDays(start, count);
        case kUnitWeeks:
            return count > kCalendarLimit ? kFarFuture : AddDays(start, count * 7);
        case kUnitMonths:
            return AddMonths(start, count);
        case kUnitYears:
            return count > kCalendarLimit ? kFarFuture : AddMonths(start, count * 12);
        default:
            return AddSeconds(start, count, 1);
    }
}

std::int64_t DueTime(const SchedulerEntry& entry, std::int64_t now) {
    if (entry.period <= 0 && entry.runCount > 0) return now + kOneShotRecheckSeconds;
    const std::int64_t units = std::int64_t{entry.period} * entry.runCount;
    return AdvanceByUnits(entry.start, entry.unit, units);
}

std::int64_t SecondsLeft(const SchedulerEntry& entry, std::int64_t now) {
    return std::max<std::int64_t>(DueTime(entry, now) - now, 0);
}

void CatchUp(SchedulerEntry& entry, std::int64_t now) {
    if (entry.period <= 0 || !IsCalendarUnit(entry.unit)) return;
    if (DueTime(entry, now) >= now) return;
    // Jump close to the answer first, so a start decades back costs few calendar steps.
    constexpr std::int64_t kMaxRunCount = std::numeric_limits<std::int32_t>::max();
    const std::int64_t step = std::int64_t{entry.period} * kLongestUnitSeconds[entry.unit];
    const std::int64_t estimate = std::min((now - entry.start) / step, kMaxRunCount);
    entry.runCount = std::max(entry.runCount, static_cast<std::int32_t>(estimate));
    while (DueTime(entry, now) < now && entry.runCount < kMaxRunCount)
        ++entry.runCount;
}

CTaskScheduler::CTaskScheduler(Clock clock) : clock_(std::move(clock)) {}

CTaskScheduler::~CTaskScheduler() {
    Stop();
    std::lock_guard lock(mutex_);
    FinishAllLocked();
}

std::int64_t CTaskScheduler::Now() const {
    return clock_ ? clock_() : static_cast<std::int64_t>(std::time(nullptr));
}

bool CTaskScheduler::Start() {
    std::thread ended;
    bool started = true;
    {
        std::lock_guard lock(mutex_);
        if (running_) return true;
        // A thread that a task stopped from inside has ended but was not joined yet.
        ended = std::move(thread_);
        stop_.Reset();
        try {
            thread_ = std::thread(&CTaskScheduler::ThreadMain, this);
            running_ = true;
        } catch (const std::system_error&) {
            started = false;
        }
    }
    if (ended.joinable()) ended.join();
    return started;
}

std::int32_t CTaskScheduler::Add(IScheduledTask* task, std::int64_t start,
                                 std::int32_t remainingRuns, std::int32_t period,
                                 std::int32_t unit) {
    if (task == nullptr) return 0;
    std::lock_guard lock(mutex_);
    SchedulerEntry entry;
    entry.task = task;
    entry.start = start;
    entry.created = Now();
    entry.remainingRuns = remainingRuns;
    entry.period = period;
    entry.unit = unit;
    entry.id = SchedulerTaskIds().Next();
    CatchUp(entry, entry.created);
    entries_.emplace(entry.id, entry);
    newEntry_ = true;
    wake_.Set();
    return entry.id;
}

void CTaskScheduler::Stop() {
    std::thread thread;
    {
        std::unique_lock lock(mutex_);
        if (thread_.get_id() == std::this_thread::get_id()) {
            stop_.Set();
            return;
        }
        if (running_) stop_.Set();
        thread = std::move(thread_);
    }
    if (thread.joinable()) thread.join();
    // A concurrent Stop may have taken the thread to join; wait until it has left all the same.
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [this] { return !running_; });
}

bool CTaskScheduler::IsRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

std::optional<SchedulerEntry> CTaskScheduler::FindEntry(std::int32_t id) const {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(id);
    if (it == entries_.end()) return std::nullopt;
    return it->second;
}

std::size_t CTaskScheduler::GetEntryCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void CTaskScheduler::ThreadMain() {
    SetLowestThreadPriority();
    Lock lock(mutex_);
    for (;;) {
        DropDoneLocked();
        bool stop = false;
        const std::optional<std::int64_t> smallest = ScanLocked(lock, stop);
        if (stop) break;
        if (newEntry_) continue;
        std::chrono::milliseconds wait = CSyncEvent::kInfinite;
        if (!entries_.empty()) {
            const std::int64_t seconds = smallest.value_or(kLongestWaitSeconds);
            wait = std::chrono::milliseconds(std::min(seconds, kLongestWaitSeconds) * 1000 + 20);
        }
        lock.unlock();
        const int fired = WaitAny(stop_, wake_, wait);
        lock.lock();
        if (fired == 0) break;
        if (fired == 1) wake_.Reset();
    }
    FinishAllLocked();
    running_ = false;
    ended_.notify_all();
}

void CTaskScheduler::DropDoneLocked() {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second.done) {
            it->second.task->Finish();
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<std::int64_t> CTaskScheduler::ScanLocked(Lock& lock, bool& stop) {
    newEntry_ = false;
    std::optional<std::int64_t> smallest;
    // Entries stay in place while the lock is released for a run: only this thread erases, and
    // insertions into the map move no element.
    for (auto& [id, entry] : entries_) {
        if (entry.done) continue;
        if (stop_.IsSet()) {
            stop = true;
            break;
        }
        std::int64_t left = SecondsLeft(entry, Now());
        if (left == 0) left = RunEntryLocked(lock, entry);
        smallest = std::min(smallest.value_or(left), left);
        if (newEntry_) break;
    }
    return smallest;
}

std::int64_t CTaskScheduler::RunEntryLocked(Lock& lock, SchedulerEntry& entry) {
    entry.running = true;
    ++entry.runCount;
    IScheduledTask* task = entry.task;
    const std::int32_t remainingRuns = entry.remainingRuns;
    lock.unlock();
    task->Run(remainingRuns);
    lock.lock();
    entry.running = false;
    if (entry.remainingRuns > 0) --entry.remainingRuns;
    if (entry.remainingRuns == 0) {
        // Left at 0 seconds, so the next pass comes at once and drops it with Finish.
        entry.done = true;
        return 0;
    }
    return SecondsLeft(entry, Now());
}

void CTaskScheduler::FinishAllLocked() {
    for (auto& [id, entry] : entries_)
        entry.task->Finish();
    entries_.clear();
}

}  // namespace tellweir
