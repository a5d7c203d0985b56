// Task schedules: repeat units, interval steps with the weekday filter, the due test and the
// next start time with its log lines.
#include "core/task_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "core/monitor_task.h"
#include "log/log_registry.h"
#include "tests/support/core_fakes.h"

namespace tellweir {
namespace {

using testing::FixedClock;
using testing::MakeTime;

TEST(TaskSchedule, UnitNames) {
    const std::pair<const char*, RepeatUnit> cases[] = {
        {"seconds", RepeatUnit::Seconds},  {" Minutes ", RepeatUnit::Minutes},
        {"hours", RepeatUnit::Hours},      {"Hours", RepeatUnit::Hours},
        {"fortnights", RepeatUnit::Hours}, {"", RepeatUnit::Hours},
        {"DAYS", RepeatUnit::Days},        {"weeks", RepeatUnit::Weeks},
        {"months", RepeatUnit::Months},    {"Years", RepeatUnit::Years},
    };
    for (const auto& [name, unit] : cases)
        EXPECT_EQ(ParseRepeatUnit(name), unit) << name;
    EXPECT_EQ(WeekdayDigit(MakeTime(2004, 3, 7, 12)), 1);  // Sunday
    EXPECT_EQ(WeekdayDigit(MakeTime(2004, 3, 8)), 2);      // Monday
    EXPECT_EQ(WeekdayDigit(MakeTime(2004, 3, 6, 23, 59, 59)), 7);
    EXPECT_EQ(WeekdayDigit(MakeTime(1899, 12, 30)), 7);
}

TEST(TaskSchedule, AddIntervalSteps) {
    struct Case {
        const char* what;
        DateTime from;
        std::int32_t count;
        RepeatUnit unit;
        const char* days;
        DateTime expected;
    };
    // 5 March 2004 was a Friday, 8 March a Monday.
    const Case cases[] = {
        {"seconds", MakeTime(2004, 3, 5, 12), 10, RepeatUnit::Seconds, "1234567",
         MakeTime(2004, 3, 5, 12, 0, 10)},
        {"zero counts as one", MakeTime(2004, 3, 5, 12), 0, RepeatUnit::Seconds, "",
         MakeTime(2004, 3, 5, 12, 0, 1)},
        {"negative counts as one", MakeTime(2004, 3, 5, 12), -4, RepeatUnit::Minutes, "",
         MakeTime(2004, 3, 5, 12, 1, 0)},
        {"month end to February", MakeTime(2005, 1, 31, 10), 1, RepeatUnit::Months, "2",
         MakeTime(2005, 2, 28, 10)},
        {"and on from the 28th", MakeTime(2005, 2, 28, 10), 1, RepeatUnit::Months, "",
         MakeTime(2005, 3, 28, 10)},
        {"leap February", MakeTime(2004, 1, 31, 10), 1, RepeatUnit::Months, "",
         MakeTime(2004, 2, 29, 10)},
        {"across the year", MakeTime(2004, 11, 30, 10), 3, RepeatUnit::Months, "",
         MakeTime(2005, 2, 28, 10)},
        {"2000 is a leap year", MakeTime(1999, 12, 29), 2, RepeatUnit::Months, "",
         MakeTime(2000, 2, 29)},
        {"1900 is not", MakeTime(1899, 12, 29), 2, RepeatUnit::Months, "", MakeTime(1900, 2, 28)},
        {"leap day to next year", MakeTime(2004, 2, 29, 6), 1, RepeatUnit::Years, "",
         MakeTime(2005, 2, 28, 6)},
        {"weekend skipped step by step", MakeTime(2004, 3, 5, 23, 45), 30, RepeatUnit::Minutes,
         "23456", MakeTime(2004, 3, 8, 0, 15)},
        {"two hours to next Monday", MakeTime(2004, 3, 8, 23), 2, RepeatUnit::Hours, "2",
         MakeTime(2004, 3, 15, 1)},
        {"six hours ignore weekdays", MakeTime(2004, 3, 8, 23), 6, RepeatUnit::Hours, "2",
         MakeTime(2004, 3, 9, 5)},
        {"an hour of seconds ignores weekdays", MakeTime(2004, 3, 5, 23, 45), 3600,
         RepeatUnit::Seconds, "2", MakeTime(2004, 3, 6, 0, 45)},
        {"days ignore weekdays", MakeTime(2004, 3, 8, 9), 1, RepeatUnit::Days, "2",
         MakeTime(2004, 3, 9, 9)},
        {"weeks", MakeTime(2004, 3, 8, 9), 2, RepeatUnit::Weeks, "", MakeTime(2004, 3, 22, 9)},
        {"no digit: no filter", MakeTime(2004, 3, 5, 23, 45), 30, RepeatUnit::Minutes, "x",
         MakeTime(2004, 3, 6, 0, 15)},
        {"out of range digits: no filter", MakeTime(2004, 3, 5, 23, 45), 30, RepeatUnit::Minutes,
         "09", MakeTime(2004, 3, 6, 0, 15)},
        {"empty: no filter", MakeTime(2004, 3, 5, 23, 45), 30, RepeatUnit::Minutes, "",
         MakeTime(2004, 3, 6, 0, 15)},
    };
    for (const Case& c : cases) {
        const DateTime got = AddInterval(c.from, c.count, c.unit, c.days);
        EXPECT_EQ(got.Format("%Y-%m-%d %H:%M:%S"), c.expected.Format("%Y-%m-%d %H:%M:%S"))
            << c.what;
    }
}

class TaskScheduleTest : public ::testing::Test {
  protected:
    TaskScheduleTest() {
        task_->SetString(task::kUri, "http://site.test/");
        task_->SetInt(task::kLogId, CLogRegistry::Instance().CreateLog());
        log_ = task_->GetLog();
    }
    ~TaskScheduleTest() override { task_->ReleaseLog(); }

    // Makes the task active with `next` as its stored start time.
    void Activate(DateTime next) {
        task_->SetTime(task::kNextStartTime, next);
        task_->Resume(true);
        log_->Clear();
    }

    FixedClock clock_{MakeTime(2004, 3, 3, 12, 0, 3)};
    MonitorTaskPtr task_ = CMonitorTask::Create();
    ItemLogPtr log_;
};

TEST_F(TaskScheduleTest, PeriodicTaskKeepsItsPhase) {
    Activate(MakeTime(2004, 3, 3, 12, 0, 0));
    EXPECT_TRUE(task_->IsDue());
    task_->SetState(TaskState::Working);
    task_->ScheduleNext();
    const DateTime next = MakeTime(2004, 3, 3, 12, 0, 10);
    EXPECT_EQ(task_->GetState(), TaskState::Waiting);
    EXPECT_EQ(task_->GetTime(task::kNextStartTime), next);
    EXPECT_EQ(log_->GetText(), Format("S:\tNext start time: %s.\r\n\t\r\n", FormatTaskTime(next)));
    EXPECT_FALSE(task_->IsDue());
    clock_.Set(next);
    EXPECT_TRUE(task_->IsDue());
}

TEST_F(TaskScheduleTest, MissedRunsAreSkippedAndCounted) {
    std::vector<std::int32_t> ids;
    Activate(MakeTime(2004, 3, 3, 12, 0, 10));
    task_->StopRun(ids);
    clock_.Set(MakeTime(2004, 3, 3, 12, 1, 5));
    task_->Resume(false);
    EXPECT_TRUE(task_->IsDue());
    clock_.Set(MakeTime(2004, 3, 3, 12, 1, 6));
    log_->Clear();
    task_->ScheduleNext();
    EXPECT_EQ(log_->GetText(), Format("S:\tRecalculated 5 times for next start time: %s.\r\n"
                                      "S:\tNext start time: %s.\r\n\t\r\n",
                                      FormatTaskTime(MakeTime(2004, 3, 3, 12, 0, 20)),
                                      FormatTaskTime(MakeTime(2004, 3, 3, 12, 1, 10))));
}

TEST_F(TaskScheduleTest, LongPausesAreSkippedWithoutIteratingEachStep) {
    task_->SetInt(task::kScheduleRepeatValue, 1);
    Activate(MakeTime(1994, 3, 3, 12, 0, 0));
    const auto start = std::chrono::steady_clock::now();
    task_->ScheduleNext();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(task_->GetTime(task::kNextStartTime), MakeTime(2004, 3, 3, 12, 0, 3));
    const std::int64_t steps = std::llround(
        (MakeTime(2004, 3, 3, 12, 0, 3).days - MakeTime(1994, 3, 3, 12, 0, 1).days) * 86400);
    EXPECT_NE(log_->GetText().find(Format("Recalculated %d times", steps)), std::string::npos);

    // With the weekday filter each step is taken, and the result lands on an allowed day.
    task_->SetInt(task::kScheduleRepeatValue, 30);
    task_->SetString(task::kScheduleRepeatUnit, "minutes");
    task_->SetString(task::kScheduleWeekDays, "2");
    task_->SetTime(task::kNextStartTime, MakeTime(2004, 1, 5, 0, 0, 0));  // a Monday
    task_->ScheduleNext();
    EXPECT_EQ(task_->GetTime(task::kNextStartTime), MakeTime(2004, 3, 8, 0, 0, 0));
}

// Skipping missed runs in one go must give what stepping one interval at a time gives.
TEST_F(TaskScheduleTest, SkippingMatchesSteppingOneByOne) {
    struct Case {
        std::int32_t count;
        const char* unit;
        const char* days;
        DateTime next;
        DateTime now;
    };
    const Case cases[] = {
        {7, "minutes", "246", MakeTime(2004, 2, 1, 0, 3), MakeTime(2004, 3, 3, 12, 0, 3)},
        {59, "seconds", "17", MakeTime(2004, 2, 20, 23, 59, 58), MakeTime(2004, 3, 3, 12)},
        {5, "hours", "4", MakeTime(2004, 1, 1, 1), MakeTime(2004, 3, 3, 12, 0, 3)},
        {3, "hours", "1234567", MakeTime(2004, 1, 1, 1), MakeTime(2004, 3, 3, 12, 0, 3)},
        {2, "days", "2", MakeTime(2004, 1, 1, 1), MakeTime(2004, 3, 3, 12, 0, 3)},
        {1, "months", "", MakeTime(2001, 1, 31, 1), MakeTime(2004, 3, 3, 12, 0, 3)},
        {20, "minutes", "5", MakeTime(2004, 3, 4, 0, 0, 0), MakeTime(2004, 3, 4, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        task_->SetInt(task::kScheduleRepeatValue, c.count);
        task_->SetString(task::kScheduleRepeatUnit, c.unit);
        task_->SetString(task::kScheduleWeekDays, c.days);
        task_->SetTime(task::kNextStartTime, c.next);
        task_->SetState(TaskState::Working);
        clock_.Set(c.now);
        log_->Clear();
        task_->ScheduleNext();

        const RepeatUnit unit = ParseRepeatUnit(c.unit);
        DateTime expected = AddInterval(c.next, c.count, unit, c.days);
        int repeats = 0;
        while (expected < c.now) {
            expected = AddInterval(expected, c.count, unit, c.days);
            ++repeats;
        }
        EXPECT_EQ(task_->GetTime(task::kNextStartTime).Format("%Y-%m-%d %H:%M:%S"),
                  expected.Format("%Y-%m-%d %H:%M:%S"))
            << c.count << " " << c.unit;
        const bool logged =
            log_->GetText().find(Format("Recalculated %d times", repeats)) != std::string::npos;
        EXPECT_EQ(logged, repeats > 0) << c.count << " " << c.unit << " " << log_->GetText();
    }
}

TEST_F(TaskScheduleTest, RepeatValueBelowOneCountsAsOne) {
    task_->SetInt(task::kScheduleRepeatValue, 0);
    Activate(MakeTime(2004, 3, 3, 12, 0, 3));
    task_->ScheduleNext();
    EXPECT_EQ(task_->GetTime(task::kNextStartTime), MakeTime(2004, 3, 3, 12, 0, 4));
}

TEST_F(TaskScheduleTest, NonRepeatingTasksEndIdleAndStopped) {
    for (int schedule : {task::kScheduleOnce, task::kScheduleManual}) {
        task_->SetInt(task::kSchedule, schedule);
        task_->SetState(TaskState::Working);
        log_->Clear();
        task_->ScheduleNext();
        EXPECT_EQ(task_->GetState(), TaskState::Idle);
        EXPECT_EQ(task_->Int(task::kStopped), 1);
        EXPECT_EQ(log_->GetText(), "");
        EXPECT_FALSE(task_->IsDue());
    }
    // Only an active task is rescheduled.
    task_->SetInt(task::kSchedule, task::kSchedulePeriodic);
    task_->ScheduleNext();
    EXPECT_EQ(task_->GetState(), TaskState::Idle);
}

TEST_F(TaskScheduleTest, UnsetOrHiddenStartTimeIsNeverDue) {
    EXPECT_FALSE(task_->IsDue());  // New: the start time is not shown
    task_->SetTime(task::kNextStartTime, DateTime{});
    task_->Resume(true);
    EXPECT_EQ(task_->GetState(), TaskState::Waiting);
    EXPECT_FALSE(task_->IsDue());
    task_->SetTime(task::kNextStartTime, MakeTime(2004, 3, 3, 12, 0, 4));
    EXPECT_FALSE(task_->IsDue());
}

}  // namespace
}  // namespace tellweir
