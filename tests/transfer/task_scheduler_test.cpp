// Tests of CTaskScheduler and CCVoidFuncTask: the due-time and catch-up rules against the local
// calendar, and the scheduler thread driven by an injected clock.
#include "transfer/task_scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/local_time.h"
#include "tests/support/wait_until.h"

namespace tellweir {
namespace {

using namespace std::chrono_literals;
using testing::kZoneWithDst;
using testing::MakeLocalUnixTime;
using testing::ScopedTimeZone;
using testing::WaitUntil;

// Counts its runs and Finish calls; optionally does more in Run.
class CountingTask final : public IScheduledTask {
  public:
    std::int32_t Run(std::int32_t remainingRuns) override {
        lastRemaining = remainingRuns;
        ++runs;
        if (onRun) onRun();
        return 0;
    }
    void Finish() override { ++finishes; }
    std::string GetName() const override { return "CountingTask"; }

    std::atomic<int> runs{0};
    std::atomic<int> finishes{0};
    std::atomic<std::int32_t> lastRemaining{0};
    std::function<void()> onRun;
};

// Local calendar times in a zone with daylight saving, so that day and month steps are checked
// across the changes (Central Europe: clocks go forward on 26 March 2023 at 02:00).
class SchedulerCalendarTest : public ::testing::Test {
  protected:
    // Seconds since 1970 of a local time, at 10:00 unless told otherwise.
    static std::int64_t Local(int year, int month, int day, int hour = 10, int minute = 0) {
        return MakeLocalUnixTime(year, month, day, hour, minute);
    }

  private:
    ScopedTimeZone zone_{kZoneWithDst};
};

TEST_F(SchedulerCalendarTest, AdvanceByUnitsFollowsTheLocalCalendar) {
    struct Case {
        const char* what;
        std::int64_t start;
        std::int32_t unit;
        std::int64_t count;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"seconds", Local(2023, 5, 1), kUnitSeconds, 90, Local(2023, 5, 1, 10, 1) + 30},
        {"plain seconds", Local(2023, 5, 1), kUnitPlainSeconds, 7, Local(2023, 5, 1) + 7},
        {"minutes", Local(2023, 5, 1), kUnitMinutes, 61, Local(2023, 5, 1, 11, 1)},
        {"hours are fixed across DST", Local(2023, 3, 26, 1), kUnitHours, 2,
         Local(2023, 3, 26, 1) + 7200},
        {"a day keeps the time across DST", Local(2023, 3, 25, 12), kUnitDays, 1,
         Local(2023, 3, 26, 12)},
        {"weeks", Local(2023, 3, 20, 12), kUnitWeeks, 2, Local(2023, 4, 3, 12)},
        {"31 Jan + 1 month clamps", Local(2023, 1, 31), kUnitMonths, 1, Local(2023, 2, 28)},
        {"... in a leap year", Local(2024, 1, 31), kUnitMonths, 1, Local(2024, 2, 29)},
        {"clamping does not carry on", Local(2023, 1, 31), kUnitMonths, 2, Local(2023, 3, 31)},
        {"months across a year end", Local(2023, 11, 15, 8, 30), kUnitMonths, 14,
         Local(2025, 1, 15, 8, 30)},
        {"29 Feb + 1 year", Local(2024, 2, 29), kUnitYears, 1, Local(2025, 2, 28)},
        {"29 Feb + 4 years", Local(2024, 2, 29), kUnitYears, 4, Local(2028, 2, 29)},
        {"zero units", Local(2024, 2, 29), kUnitYears, 0, Local(2024, 2, 29)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AdvanceByUnits(c.start, c.unit, c.count), c.expected) << c.what;
    }
}

TEST_F(SchedulerCalendarTest, DueTimeAndSecondsLeft) {
    const std::int64_t now = Local(2023, 6, 1);
    SchedulerEntry entry;
    entry.start = now - 100;
    entry.period = 30;
    entry.unit = kUnitPlainSeconds;
    entry.runCount = 2;
    EXPECT_EQ(DueTime(entry, now), now - 40);
    EXPECT_EQ(SecondsLeft(entry, now), 0);
    entry.runCount = 4;
    EXPECT_EQ(SecondsLeft(entry, now), 20);

    // A one-shot entry that already ran is looked at again 1000 seconds on; before it ran it is
    // due at its start.
    entry.period = 0;
    EXPECT_EQ(DueTime(entry, now), now + 1000);
    entry.runCount = 0;
    entry.start = now + 5;
    EXPECT_EQ(SecondsLeft(entry, now), 5);
}

TEST_F(SchedulerCalendarTest, CatchUpSkipsMissedCalendarOccurrencesOnly) {
    const std::int64_t now = Local(2023, 6, 15, 12);
    SchedulerEntry months;
    months.start = Local(2023, 3, 15, 13);  // three months and an hour back
    months.period = 1;
    months.unit = kUnitMonths;
    CatchUp(months, now);
    EXPECT_EQ(months.runCount, 3);
    EXPECT_EQ(DueTime(months, now), Local(2023, 6, 15, 13));

    // An occurrence exactly at `now` is not in the past.
    SchedulerEntry exact = months;
    exact.runCount = 0;
    exact.start = Local(2023, 3, 15, 12);
    CatchUp(exact, now);
    EXPECT_EQ(exact.runCount, 3);

    SchedulerEntry plain = months;
    plain.runCount = 0;
    plain.unit = kUnitPlainSeconds;
    plain.start = now - 1000;
    CatchUp(plain, now);
    EXPECT_EQ(plain.runCount, 0);

    SchedulerEntry once = months;
    once.runCount = 0;
    once.period = 0;
    CatchUp(once, now);
    EXPECT_EQ(once.runCount, 0);
}

// Starts decades back land on the first occurrence not in the past, for every calendar unit.
TEST_F(SchedulerCalendarTest, CatchUpFromLongAgoFindsTheFirstOccurrenceNotInThePast) {
    const std::int64_t now = Local(2023, 6, 15, 12);
    for (std::int32_t unit = kUnitSeconds; unit <= kUnitYears; ++unit) {
        for (std::int32_t period : {1, 7}) {
            SchedulerEntry entry;
            entry.start = Local(1975, 1, 31, 23, 59) + 17;
            entry.period = period;
            entry.unit = unit;
            CatchUp(entry, now);
            EXPECT_GE(DueTime(entry, now), now) << unit << " " << period;
            SchedulerEntry previous = entry;
            --previous.runCount;
            EXPECT_LT(DueTime(previous, now), now) << unit << " " << period;
        }
    }
}

TEST(CCVoidFuncTaskTest, RunsItsFunctionAndDeletesItselfOnlyWhenOwning) {
    static std::atomic<std::int32_t> seen{0};
    const auto func = [](std::int32_t userData) -> std::int32_t {
        seen = userData;
        return userData * 2;
    };
    CCVoidFuncTask borrowed(func, 21, false);
    EXPECT_EQ(borrowed.Run(-1), 42);
    EXPECT_EQ(seen, 21);
    EXPECT_EQ(borrowed.GetName(), "CCVoidFuncTask");
    borrowed.Finish();  // not owning: still usable
    EXPECT_EQ(borrowed.Run(3), 42);

    EXPECT_EQ(CCVoidFuncTask(nullptr, 5, false).Run(1), 0);

    auto* owning = new CCVoidFuncTask(func, 1, true);
    owning->Finish();  // deleted here; the leak checker would report it otherwise
}

class TaskSchedulerTest : public ::testing::Test {
  protected:
    static constexpr std::int64_t kNow = 1'700'000'000;
    std::atomic<std::int64_t> now_{kNow};
    // Declared before the scheduler, so they outlive the Finish calls of its destructor.
    CountingTask task_;
    CountingTask other_;
    CountingTask third_;
    CTaskScheduler scheduler_{[this] { return now_.load(); }};
};

TEST_F(TaskSchedulerTest, AddOfNoTaskIsRefusedAndEntriesGetIdsAndCreationTimes) {
    EXPECT_EQ(scheduler_.Add(nullptr, kNow, -1, 1, kUnitPlainSeconds), 0);
    EXPECT_EQ(scheduler_.GetEntryCount(), 0u);

    const std::int32_t first = scheduler_.Add(&task_, kNow + 50, 3, 10, kUnitMinutes);
    const std::int32_t second = scheduler_.Add(&other_, kNow + 50, 3, 10, kUnitMinutes);
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    const auto entry = scheduler_.FindEntry(first);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->created, kNow);
    EXPECT_EQ(entry->start, kNow + 50);
    EXPECT_EQ(entry->runCount, 0);
    EXPECT_EQ(entry->task, &task_);
    EXPECT_FALSE(entry->done);
}

// Entries counting plain seconds make up every missed run; the count of remaining runs ends
// an entry, which is then dropped with Finish.
TEST_F(TaskSchedulerTest, RunsMissedPlainSecondsAndEndsAfterTheRemainingRuns) {
    struct Case {
        std::int32_t remainingRuns;
        int expectedRuns;
        bool dropped;
    };
    for (const Case c :
         {Case{0, 1, true}, Case{1, 1, true}, Case{3, 3, true}, Case{-1, 4, false}}) {
        CountingTask task;
        CTaskScheduler scheduler([this] { return now_.load(); });
        // Due at now - 3, - 2, - 1 and now: four runs are owed.
        const std::int32_t id =
            scheduler.Add(&task, kNow - 3, c.remainingRuns, 1, kUnitPlainSeconds);
        ASSERT_TRUE(scheduler.Start());
        ASSERT_TRUE(WaitUntil([&] {
            return task.runs == c.expectedRuns && (!c.dropped || task.finishes == 1);
        })) << c.remainingRuns;
        EXPECT_EQ(scheduler.FindEntry(id).has_value(), !c.dropped);
        scheduler.Stop();
        EXPECT_EQ(task.runs, c.expectedRuns) << c.remainingRuns;
        EXPECT_EQ(task.finishes, 1) << c.remainingRuns;
        EXPECT_EQ(scheduler.GetEntryCount(), 0u);
    }
}

TEST_F(TaskSchedulerTest, MonthlyEntryStartedInThePastRunsOnceAtItsCaughtUpTime) {
    // Due exactly now after catching up three months; the next run is a month away.
    std::time_t nowT = kNow;
    std::tm local{};
    localtime_r(&nowT, &local);
    local.tm_mon -= 3;
    local.tm_isdst = -1;
    const std::int64_t start = std::mktime(&local);
    ASSERT_EQ(AdvanceByUnits(start, kUnitMonths, 3), kNow) << "day of month missing 3 months back";

    const std::int32_t id = scheduler_.Add(&task_, start, -1, 1, kUnitMonths);
    EXPECT_EQ(scheduler_.FindEntry(id)->runCount, 3);
    ASSERT_TRUE(scheduler_.Start());
    ASSERT_TRUE(WaitUntil([&] { return task_.runs == 1; }));
    EXPECT_EQ(task_.lastRemaining, -1);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(task_.runs, 1);
    const auto entry = scheduler_.FindEntry(id);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->runCount, 4);
    EXPECT_FALSE(entry->running);
    EXPECT_GT(SecondsLeft(*entry, kNow), 27 * 86400);
}

// The thread sleeps until the next due time; moving the injected clock alone does not wake it,
// a new entry does, and the new entry may be added from inside a running task.
TEST_F(TaskSchedulerTest, NewEntriesWakeTheThreadEvenFromInsideATask) {
    CountingTask& later = task_;
    CountingTask& inner = other_;
    CountingTask& outer = third_;
    outer.onRun = [&] { scheduler_.Add(&inner, kNow, 1, 0, kUnitPlainSeconds); };
    ASSERT_TRUE(scheduler_.Start());
    scheduler_.Add(&later, kNow + 3600, 1, 0, kUnitPlainSeconds);
    scheduler_.Add(&outer, kNow, 1, 0, kUnitPlainSeconds);
    ASSERT_TRUE(WaitUntil([&] { return inner.finishes == 1 && outer.finishes == 1; }));
    EXPECT_EQ(inner.runs, 1);
    EXPECT_EQ(later.runs, 0);
    scheduler_.Stop();
    EXPECT_EQ(later.finishes, 1);
    EXPECT_EQ(later.runs, 0);
}

TEST_F(TaskSchedulerTest, StopEndsTheThreadAndStartRunsItAgain) {
    EXPECT_FALSE(scheduler_.IsRunning());
    scheduler_.Stop();  // not running: nothing to do
    ASSERT_TRUE(scheduler_.Start());
    ASSERT_TRUE(scheduler_.Start());  // already running
    EXPECT_TRUE(scheduler_.IsRunning());
    scheduler_.Stop();  // the thread waits without limit on an empty map
    EXPECT_FALSE(scheduler_.IsRunning());

    // Entries added while stopped wait for the next Start.
    scheduler_.Add(&task_, kNow, 1, 0, kUnitPlainSeconds);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(task_.runs, 0);
    ASSERT_TRUE(scheduler_.Start());
    ASSERT_TRUE(WaitUntil([&] { return task_.finishes == 1; }));
    EXPECT_EQ(task_.runs, 1);
}

TEST_F(TaskSchedulerTest, ATaskMayStopTheSchedulerFromItsOwnThread) {
    CountingTask& stopper = task_;
    CountingTask& other = other_;
    stopper.onRun = [&] { scheduler_.Stop(); };
    scheduler_.Add(&stopper, kNow, -1, 1, kUnitPlainSeconds);
    scheduler_.Add(&other, kNow + 1000, -1, 1, kUnitPlainSeconds);
    ASSERT_TRUE(scheduler_.Start());
    ASSERT_TRUE(WaitUntil([&] { return !scheduler_.IsRunning(); }));
    EXPECT_EQ(stopper.runs, 1);
    EXPECT_EQ(stopper.finishes, 1);
    EXPECT_EQ(other.finishes, 1);
    // The ended thread is joined by the next Start.
    ASSERT_TRUE(scheduler_.Start());
    scheduler_.Stop();
}

TEST_F(TaskSchedulerTest, DestructionFinishesEntriesThatNeverRan) {
    CountingTask task;
    {
        CTaskScheduler scheduler([this] { return now_.load(); });
        scheduler.Add(&task, kNow, -1, 1, kUnitPlainSeconds);
    }
    EXPECT_EQ(task.runs, 0);
    EXPECT_EQ(task.finishes, 1);
}

// The real clock: an entry due in a second, then every second.
TEST(TaskSchedulerRealTimeTest, OneSecondEntryRunsEverySecond) {
    static std::atomic<int> runs{0};
    runs = 0;
    CTaskScheduler scheduler;
    ASSERT_TRUE(scheduler.Start());
    auto* task = new CCVoidFuncTask([](std::int32_t) { return ++runs; }, 0, true);
    const auto added = std::chrono::steady_clock::now();
    scheduler.Add(task, std::time(nullptr) + 1, -1, 1, kUnitPlainSeconds);
    ASSERT_TRUE(WaitUntil([] { return runs >= 2; }, 3500ms));
    EXPECT_GE(std::chrono::steady_clock::now() - added, 900ms);
    scheduler.Stop();  // Finish deletes the owning task
}

}  // namespace
}  // namespace tellweir
