// The schedule part of a --list line: weekdays in any stored order read the same, every day
// needs no words, and one unit is singular.
#include <gtest/gtest.h>

#include "app/engine_commands.h"
#include "core/monitor_task.h"
#include "core/task_properties.h"

namespace tellweir {
namespace {

TEST(TaskListLine, ScheduleText) {
    const struct {
        int value;
        const char* unit;
        const char* days;
        const char* shown;
    } cases[] = {
        {5, "seconds", "1234567", "every 5 seconds"},
        // The order the schedule page once wrote, Monday first: still every day.
        {5, "seconds", "2345671", "every 5 seconds"},
        {5, "seconds", "", "every 5 seconds"},
        {5, "seconds", "x", "every 5 seconds"},
        {1, "minutes", "1234567", "every 1 minute"},
        {1, " hours ", "1234567", "every 1 hour"},
        {0, "days", "1234567", "every 1 day"},
        {2, "minutes", "65432", "every 2 minutes on days 23456"},
        {10, "minutes", "7117", "every 10 minutes on days 17"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        const MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName("t");
        task->SetString(task::kUri, "/tmp/t");
        task->SetInt(task::kSchedule, task::kSchedulePeriodic);
        task->SetInt(task::kScheduleRepeatValue, c.value);
        task->SetString(task::kScheduleRepeatUnit, c.unit);
        task->SetString(task::kScheduleWeekDays, c.days);
        EXPECT_EQ(TaskListLine(*task), std::string("t\tnew\t") + c.shown + "\t/tmp/t\n");
    }
}

}  // namespace
}  // namespace tellweir
