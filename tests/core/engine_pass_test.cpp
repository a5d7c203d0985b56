// The monitor engine's pass (starting due tasks, finishing runs, the engine-level actions, log
// trimming) and its thread.
#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "log/status_message.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/task_run_support.h"
#include "tests/support/wait_until.h"
#include "transfer/local_fs.h"

namespace tellweir::testing {
namespace {

using namespace std::chrono_literals;

// Counts the files renamed into a folder under a given name: every save of the queue ends with
// one such rename.
class RenameCounter {
  public:
    RenameCounter(const std::string& folder, std::string name) : name_(std::move(name)) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
    }
    ~RenameCounter() { ::close(fd_); }
    // The renames seen since the last call.
    int Take() {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len && name_ == event->name) ++count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return count;
    }

  private:
    int fd_ = -1;
    std::string name_;
};

TEST_F(EngineTest, EngineActionsOfOnePassAreCarriedOutOnce) {
    ASSERT_TRUE(MakeDirectories(dir_ / "1.1"));
    RenameCounter saves(dir_ / "1.1", "m.xml");
    const std::string actions = "Save queue\r\nDisplay queue\r\nCleanup cache\r\nSave queue";
    MonitorTaskPtr a = NewTask("A"), b = NewTask("B"), stop = NewTask("Stop");
    a->SetEventActions(kEventFirstTime, actions);
    b->SetEventActions(kEventFirstTime, actions);
    stop->SetEventActions(kEventFirstTime, "Stop Monitor Task");
    for (const MonitorTaskPtr& task : {a, b, stop})
        ASSERT_TRUE(engine_.AddTask(*task));
    const std::string stray = cache_.Path() + "/stray.txt";
    PutFile(stray, "stray", 0);

    engine_.RunPass();  // starts all three
    for (const MonitorTaskPtr& task : {a, b, stop})
        EXPECT_EQ(task->GetState(), TaskState::Working);
    EXPECT_EQ(saves.Take(), 0);
    EXPECT_TRUE(IsFile(stray));

    engine_.RunPass();  // all three finish
    EXPECT_EQ(engine_.WaitForSaves(), 0) << "the save is written on the saver thread";
    EXPECT_EQ(saves.Take(), 1);
    EXPECT_EQ(desktop_.Count("display"), 1);
    EXPECT_FALSE(IsFile(stray));
    EXPECT_EQ(a->GetState(), TaskState::Waiting);
    EXPECT_EQ(b->GetState(), TaskState::Waiting);
    EXPECT_EQ(stop->GetState(), TaskState::Idle);
    EXPECT_EQ(stop->Int(task::kStopped), 1);
    EXPECT_TRUE(Contains(stop->GetLog()->GetText(), "S:\tMonitor task stopped.\r\n"));

    // The save came after the stop: the stopped task stays stopped when the queue is loaded.
    CMonitorEngine loaded;
    ASSERT_EQ(loaded.LoadQueue(), 0);
    ASSERT_TRUE(loaded.FindTaskByName("Stop"));
    EXPECT_EQ(loaded.FindTaskByName("Stop")->GetState(), TaskState::Idle);

    // Nothing due and nothing finished: no engine action.
    engine_.RunPass();
    EXPECT_EQ(saves.Take(), 0);
    EXPECT_EQ(desktop_.Count("display"), 1);

    // A display action of a later run alone tells the window once more.
    engine_.ResumeTasks({stop});
    stop->SetEventActions(kEventOk, "Display queue");
    clock_.Set(MakeTime(2004, 3, 3, 14, 6, 0));
    engine_.RunPass();
    engine_.RunPass();
    EXPECT_EQ(stop->GetState(), TaskState::Waiting);
    EXPECT_EQ(desktop_.Count("display"), 2);
}

// The pass looks only at the working tasks and those whose start time has come, so every way a
// task's start time or state changes must bring it back into view, and nothing else.
TEST_F(EngineTest, PassFindsEveryTaskWhoseTimeHasCome) {
    const DateTime now = MakeTime(2004, 3, 3, 14, 5, 9);
    const DateTime hourLater = MakeTime(2004, 3, 3, 15, 5, 9);
    const auto addDueAt = [&](std::string_view name, DateTime at) {
        MonitorTaskPtr task = NewTask(name);
        task->SetInt(task::kSchedule, task::kSchedulePeriodic);
        task->SetInt(task::kScheduleRepeatValue, 1);
        task->SetString(task::kScheduleRepeatUnit, "hours");
        task->SetTime(task::kNextStartTime, at);
        EXPECT_TRUE(engine_.AddTask(*task)) << name;
        return task;
    };
    const MonitorTaskPtr moved = addDueAt("Moved", hourLater);
    const MonitorTaskPtr reached = addDueAt("Reached", hourLater);
    const MonitorTaskPtr deleted = addDueAt("Deleted", hourLater);
    const MonitorTaskPtr stopped = addDueAt("Stopped", hourLater);
    const MonitorTaskPtr periodic = addDueAt("Periodic", now);

    engine_.RunPass();
    EXPECT_EQ(periodic->GetState(), TaskState::Working);
    for (const MonitorTaskPtr& task : {moved, reached, deleted, stopped})
        EXPECT_EQ(task->GetState(), TaskState::Waiting) << task->GetName();

    moved->SetTime(task::kNextStartTime, now);  // the start time edited
    engine_.RunPass();                          // the periodic run ends
    EXPECT_EQ(moved->GetState(), TaskState::Working);
    EXPECT_EQ(periodic->GetState(), TaskState::Waiting);
    EXPECT_EQ(periodic->Int(task::kCount), 1);
    EXPECT_EQ(reached->GetState(), TaskState::Waiting);

    engine_.DeleteTasks({deleted});
    engine_.StopTasks({stopped});
    clock_.Set(hourLater);
    engine_.RunPass();
    EXPECT_EQ(reached->GetState(), TaskState::Working) << "the clock reached its time";
    EXPECT_EQ(periodic->GetState(), TaskState::Working) << "rescheduled an hour on";
    EXPECT_EQ(deleted->Int(task::kCount), 0);
    EXPECT_EQ(stopped->GetState(), TaskState::Idle);
    EXPECT_EQ(stopped->Int(task::kCount), 0);

    engine_.ResumeTasks({stopped});
    engine_.RunPass();
    EXPECT_EQ(stopped->GetState(), TaskState::Working) << "resumed past its start time";
}

// Edits reach a listed task as a copy assigned back, or through its property interface (the
// property table, a dialog); either way a new state or start time brings it into view.
TEST_F(EngineTest, EditedTaskIsStartedByItsNewSchedule) {
    const DateTime now = MakeTime(2004, 3, 3, 14, 5, 9);
    const DateTime hourLater = MakeTime(2004, 3, 3, 15, 5, 9);
    const auto add = [&](std::string_view name, DateTime at) {
        MonitorTaskPtr task = NewTask(name);
        task->SetTime(task::kNextStartTime, at);
        EXPECT_TRUE(engine_.AddTask(*task)) << name;
        return task;
    };
    const MonitorTaskPtr resumed = add("Resumed by its copy", now);
    const MonitorTaskPtr moved = add("Moved by its copy", hourLater);
    const MonitorTaskPtr table = add("Moved through its properties", hourLater);
    const MonitorTaskPtr stopped = add("Stopped by its copy", now);
    engine_.StopTasks({resumed});

    MonitorTaskPtr copy = resumed->Clone();
    ASSERT_TRUE(copy->Resume(false));
    resumed->Assign(*copy);
    copy = moved->Clone();
    copy->SetTime(task::kNextStartTime, now);
    moved->Assign(*copy);
    CPropertySet& properties = *table;
    properties.SetInt64(task::kNextStartTime, now.ToBits());
    copy = stopped->Clone();
    std::vector<std::int32_t> ids;
    ASSERT_TRUE(copy->StopRun(ids));
    stopped->Assign(*copy);

    engine_.RunPass();
    for (const MonitorTaskPtr& task : {resumed, moved, table})
        EXPECT_EQ(task->GetState(), TaskState::Working) << task->GetName();
    EXPECT_EQ(stopped->GetState(), TaskState::Idle);
    engine_.RunPass();
    for (const MonitorTaskPtr& task : {resumed, moved, table})
        EXPECT_EQ(task->Int(task::kCount), 1) << task->GetName();
    EXPECT_EQ(stopped->Int(task::kCount), 0);
}

// The engine lets go of a deleted task at once, not when its start time would have come.
TEST_F(EngineTest, DeletedTasksAreLetGoAtOnce) {
    MonitorTaskPtr waiting = NewTask("Waiting"), working = NewTask("Working");
    waiting->SetTime(task::kNextStartTime, MakeTime(2004, 3, 3, 15, 5, 9));
    ASSERT_TRUE(engine_.AddTask(*waiting));
    ASSERT_TRUE(engine_.AddTask(*working));
    engine_.RunPass();
    ASSERT_EQ(working->GetState(), TaskState::Working);
    waiting->SetTime(task::kNextStartTime, MakeTime(2004, 3, 3, 16, 5, 9));  // moved on once

    engine_.DeleteTasks({waiting, working});
    for (CMonitorTask* task : {waiting.get(), working.get()}) {
        task->AddRef();
        EXPECT_EQ(task->Release(), 1) << task->GetName() << ": only this test holds it";
    }
}

// Tasks due in the same pass run in list order, whatever order their start times came in, and
// so do the tasks of a loaded queue.
TEST_F(EngineTest, DueTasksRunInListOrder) {
    const auto add = [&](std::string_view name, int minutesAgo) {
        MonitorTaskPtr task = NewTask(name);
        task->SetTime(task::kNextStartTime, MakeTime(2004, 3, 3, 14, 5 - minutesAgo, 9));
        task->SetEventActions(kEventFirstTime, "Prompt " + std::string(name));
        EXPECT_TRUE(engine_.AddTask(*task)) << name;
        return task;
    };
    const MonitorTaskPtr gone = add("Gone", 4);
    add("A", 1);
    add("B", 2);
    add("C", 3);
    engine_.DeleteTasks({gone});  // the others move up the list
    ASSERT_EQ(engine_.SaveQueue(), 0);
    const std::vector<std::string> inOrder = {"prompt A: A", "prompt B: B", "prompt C: C"};

    engine_.RunPass();
    engine_.RunPass();
    EXPECT_EQ(desktop_.Calls(), inOrder);

    RecordingDesktop loadedDesktop;
    CMonitorEngine loaded{{.transfers = &link_, .desktop = &loadedDesktop}};
    ASSERT_EQ(loaded.LoadQueue(), 0);
    loaded.RunPass();
    loaded.RunPass();
    EXPECT_EQ(loadedDesktop.Calls(), inOrder);
}

TEST_F(EngineTest, PassTrimsLogsThatReachedTheLimit) {
    engine_.AnnounceStart();
    const ItemLogPtr engineLog = engine_.GetEngineLog();
    ASSERT_TRUE(engineLog);
    EXPECT_TRUE(engineLog->GetText().starts_with("S:\tMonitor engine started: ["));
    for (int i = 2; i <= 2000; ++i)
        engineLog->WriteFormat(kLevelStatus, "line %d", i);
    MonitorTaskPtr task = Added("Null");
    engine_.RunPass();  // starts the task
    const ItemLogPtr taskLog = task->GetLog();
    while (taskLog->GetStats().lineCount < 2000)
        taskLog->Write(kLevelStatus, "filler");

    engine_.RunPass();
    EXPECT_EQ(engineLog->GetStats().lineCount, 1000u);
    EXPECT_TRUE(engineLog->GetText().starts_with("S:\tline 1001\r\n"));
    // Cut to 1000 when polled, then the end of the run adds its lines.
    EXPECT_GT(taskLog->GetStats().lineCount, 1000u);
    EXPECT_LT(taskLog->GetStats().lineCount, 1100u);
}

TEST_F(EngineTest, StopWithoutThreadReturnsAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine_.Stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_FALSE(engine_.IsRunning());
    EXPECT_TRUE(engine_.IsStopRequested());
}

TEST_F(EngineTest, ThreadRunsPassesUntilStopped) {
    MonitorTaskPtr task = Added("Null");
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(engine_.Start());
        EXPECT_FALSE(engine_.Start()) << "one thread at most";
        EXPECT_TRUE(engine_.IsRunning());
        EXPECT_FALSE(engine_.IsStopRequested());
        // The thread runs the due task to its end; bounded wait.
        WaitUntil(
            [&] {
                return task->Int(task::kCount) >= round && task->GetState() == TaskState::Waiting;
            },
            10s, 10ms);
        EXPECT_EQ(task->Int(task::kCount), round);
        EXPECT_EQ(task->GetState(), TaskState::Waiting);

        EXPECT_EQ(engine_.Stop(), 0);
        EXPECT_FALSE(engine_.IsRunning());
        EXPECT_TRUE(engine_.IsStopRequested());
        EXPECT_EQ(desktop_.Count("engine started"), round);
        EXPECT_EQ(desktop_.Count("engine ended"), round);
        clock_.Set(MakeTime(2004, 3, 3, 14, 5 + round, 30));  // due again
    }
}

}  // namespace
}  // namespace tellweir::testing
