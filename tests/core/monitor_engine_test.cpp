// The monitor engine's task list: adding tasks with unique names, finding and counting them,
// deleting, stopping and resuming them.
#include <gtest/gtest.h>

#include "log/log_registry.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/local_time.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {
namespace {

using Names = std::vector<std::string>;

TEST_F(EngineTest, MakeUniqueNameNumbersTakenNames) {
    struct Case {
        Names existing;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {{"Page"}, "Page", "Page(1)"},
        {{"Page", "Page(1)"}, "Page", "Page(2)"},
        {{"Page", "Page(2)"}, "Page", "Page(1)"},
        {{"<Page>"}, "<Page>", "Page(1)"},
        {{"Page"}, "page", "page(1)"},     // names compare without regard to case
        {{"Page"}, "<Other>", "<Other>"},  // a free name keeps its brackets
        {{}, "Page", "Page"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMonitorEngine engine;
        for (const std::string& name : c.existing) {
            MonitorTaskPtr task = NewTask(name);
            ASSERT_TRUE(engine.AddTask(*task));
        }
        MonitorTaskPtr task = NewTask(c.name);
        engine.MakeUniqueName(*task);
        EXPECT_EQ(task->GetName(), c.expected);
        EXPECT_TRUE(engine.AddTask(*task));
        EXPECT_EQ(task->GetName(), c.expected);
    }
}

TEST_F(EngineTest, AddTaskAcceptsNamedUsableTasksOnly) {
    struct Case {
        const char* name;
        const char* uri;
        bool accepted;
    };
    const Case cases[] = {
        {"", "<null>", false},
        {"Bad", "gopher://site.test/", false},
        {"Bad", "www.site.test", false},
        {"Null", "<null>", true},
        {"Local", "/data/report.txt", true},
        {"Remote", "ftp://site.test/f", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        const std::size_t before = Tasks().size();
        MonitorTaskPtr task = NewTask(c.name, c.uri);
        EXPECT_EQ(engine_.AddTask(*task), c.accepted);
        EXPECT_EQ(Tasks().size(), before + (c.accepted ? 1 : 0));
        EXPECT_EQ(task->GetState(), c.accepted ? TaskState::Waiting : TaskState::New);
        EXPECT_EQ(bool(task->GetLog()), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(engine_.FindTaskByName(c.name).get(), task.get());
        }
    }
    EXPECT_TRUE(IndexesAreContiguous());
    EXPECT_EQ(engine_.CountActiveTasks(), 3);
    EXPECT_EQ(engine_.FindTaskByName("REMOTE").get(), Tasks()[2].get());
    EXPECT_FALSE(engine_.FindTaskByName("Missing"));
    EXPECT_TRUE(engine_.NameExists("local"));

    // A manual task is added but stays inactive until the user resumes it.
    MonitorTaskPtr manual = NewTask("Manual");
    manual->SetInt(task::kSchedule, task::kScheduleManual);
    EXPECT_TRUE(engine_.AddTask(*manual));
    EXPECT_EQ(manual->GetState(), TaskState::New);
    EXPECT_EQ(engine_.CountActiveTasks(), 3);
}

TEST_F(EngineTest, DeleteTasksLogsEachAndReindexes) {
    const MonitorTaskPtr a = Added("A"), b = Added("B"), c = Added("C"), d = Added("D");
    a->SetInt(task::kTransferId, 7);
    c->SetInt(task::kTransferId, 9);
    const ItemLogPtr logA = a->GetLog(), logC = c->GetLog();
    const std::int32_t logIdA = a->Int(task::kLogId);

    engine_.DeleteTasks({c, a});
    for (const ItemLogPtr& log : {logA, logC})
        EXPECT_TRUE(
            log->GetText().ends_with("S:\tMonitor task stopped.\r\nS:\tMonitor task deleted.\r\n"))
            << log->GetText();
    EXPECT_FALSE(a->GetLog());
    EXPECT_EQ(CLogRegistry::Instance().DeleteLog(logIdA), 0) << "the log left the registry";
    EXPECT_EQ(TaskNames(), (Names{"B", "D"}));
    EXPECT_TRUE(IndexesAreContiguous());
    EXPECT_EQ(a->GetState(), TaskState::Idle);
    // The removal waits for each transfer to end: the engine thread does it, not the caller.
    EXPECT_TRUE(link_.calls.empty());
    engine_.RunPass();
    // The transfers are removed without detaching their log first.
    EXPECT_EQ(link_.calls, std::vector<std::string>{"remove: 9 7"});

    // A task no longer in the list is left alone.
    link_.calls.clear();
    engine_.DeleteTasks({a});
    EXPECT_EQ(TaskNames(), (Names{"B", "D"}));
    EXPECT_TRUE(link_.calls.empty());

    const ItemLogPtr logB = b->GetLog();
    engine_.DeleteAllTasks();
    EXPECT_TRUE(Tasks().empty());
    EXPECT_FALSE(b->GetLog());
    EXPECT_EQ(logB->GetText().find("deleted"), std::string::npos) << "deleting all writes no line";
}

TEST_F(EngineTest, StopAndResumeTasks) {
    const MonitorTaskPtr a = Added("A"), b = Added("B");
    a->SetInt(task::kTransferId, 5);
    engine_.StopTasks({a, b});
    EXPECT_EQ(link_.calls, std::vector<std::string>{"log 0: 5"}) << "removed by the engine thread";
    engine_.RunPass();
    EXPECT_EQ(link_.calls, (std::vector<std::string>{"log 0: 5", "remove: 5"}));
    for (const MonitorTaskPtr& task : {a, b}) {
        EXPECT_EQ(task->GetState(), TaskState::Idle);
        EXPECT_EQ(task->Int(task::kStopped), 1);
        EXPECT_TRUE(task->GetLog()->GetText().ends_with("S:\tMonitor task stopped.\r\n"));
    }
    EXPECT_EQ(engine_.CountActiveTasks(), 0);

    engine_.ResumeTasks({a});
    EXPECT_EQ(a->GetState(), TaskState::Waiting);
    EXPECT_EQ(b->GetState(), TaskState::Idle);
    EXPECT_EQ(engine_.CountActiveTasks(), 1);
    EXPECT_EQ(TaskNames(), (Names{"A", "B"})) << "stopping keeps tasks in the list";
}

TEST_F(EngineTest, StoppedWorkingTaskIsNeitherPolledNorClassified) {
    const MonitorTaskPtr task = Added("Null");
    engine_.RunPass();
    ASSERT_EQ(task->GetState(), TaskState::Working);
    engine_.StopTasks({task});
    task->GetLog()->Clear();
    engine_.RunPass();
    engine_.RunPass();
    EXPECT_EQ(task->GetState(), TaskState::Idle);
    EXPECT_EQ(task->GetLog()->GetText(), "") << "no event raised, not rescheduled";
    EXPECT_EQ(task->Int(task::kCount), 1);
}

// OK in Events & Actions or Schedule of a task that runs every second while the dialog is open:
// the dialog's changes reach the task, and its run (count, run times, next start) goes on
// from where it is, not from where it was when the dialog opened.
TEST_F(EngineTest, DialogOkOnARunningTaskAppliesOnlyItsPart) {
    const auto at = [](int second) { return MakeTime(2004, 3, 3, 14, 5, second); };
    const MonitorTaskPtr task = NewTask("Every second");
    task->SetInt(task::kScheduleRepeatValue, 1);
    task->SetString(task::kScheduleRepeatUnit, "seconds");
    ASSERT_TRUE(engine_.AddTask(*task));
    engine_.Start();
    const auto ranTimes = [&](int count) {
        return WaitUntil(
            [&] {
                return task->Int(task::kCount) == count && task->GetState() == TaskState::Waiting;
            },
            std::chrono::seconds(10));
    };
    ASSERT_TRUE(ranTimes(1));

    // Events & Actions opens, the task runs three more times, OK.
    MonitorTaskPtr opened = task->Clone();
    MonitorTaskPtr edited = opened->Clone();
    edited->SetEventActions(kEventOk, "Beep Freq=200 Duration=10");
    for (int count = 2; count <= 4; ++count) {
        clock_.Set(at(8 + count));
        ASSERT_TRUE(ranTimes(count));
    }
    task->ApplyEdit(TaskEditPart::Events, *opened, *edited);
    EXPECT_EQ(task->Int(task::kCount), 4);
    EXPECT_EQ(task->GetLastStartTime(), at(12));
    EXPECT_EQ(task->GetTime(task::kNextStartTime), at(13));
    EXPECT_EQ(task->GetState(), TaskState::Waiting);
    std::string actions;
    EXPECT_TRUE(task->GetEventActions(kEventOk, actions));
    EXPECT_EQ(actions, "Beep Freq=200 Duration=10");
    clock_.Set(at(13));
    ASSERT_TRUE(ranTimes(5)) << "still on the engine's wake queue";

    // Schedule opens; the user picks a start at :30 and a repeat of 5 seconds; the task runs
    // once more before OK.
    opened = task->Clone();
    edited = opened->Clone();
    edited->SetInt(task::kScheduleRepeatValue, 5);
    edited->SetTime(task::kNextStartTime, at(30));
    clock_.Set(at(14));
    ASSERT_TRUE(ranTimes(6));
    task->ApplyEdit(TaskEditPart::Schedule, *opened, *edited);
    EXPECT_EQ(task->Int(task::kCount), 6);
    EXPECT_EQ(task->GetLastStartTime(), at(14));
    EXPECT_EQ(task->GetTime(task::kNextStartTime), at(30));
    EXPECT_EQ(task->GetEventTable(), opened->GetEventTable());
    EXPECT_TRUE(task->GetLog()->GetText().find("Next start time changed: ") != std::string::npos);
    clock_.Set(at(30));
    ASSERT_TRUE(ranTimes(7));
    EXPECT_EQ(task->GetTime(task::kNextStartTime), at(35)) << "every 5 seconds now";

    // A schedule dialog left as it was changes nothing, not even a start time it showed.
    opened = task->Clone();
    edited = opened->Clone();
    clock_.Set(at(35));
    ASSERT_TRUE(ranTimes(8));
    task->ApplyEdit(TaskEditPart::Schedule, *opened, *edited);
    EXPECT_EQ(task->GetTime(task::kNextStartTime), at(40));
    EXPECT_EQ(task->Int(task::kCount), 8);
    engine_.Stop();
}

}  // namespace
}  // namespace tellweir::testing
