// The item logs of remote task runs: a run's transfer writes into the task's own log, and the runs
// of a task leave no log behind in the registry however many there are.
#include <gtest/gtest.h>

#include "core/monitor_task.h"
#include "log/log_registry.h"
#include "tests/support/core_fakes.h"
#include "tests/support/manager_fixture.h"
#include "tests/support/task_run_support.h"

namespace tellweir::testing {
namespace {

class RunLogTest : public ManagerTest {
  protected:
    // The manager keeps its logs in the process registry, with the tasks', as in the program.
    RunLogTest() {
        TransferManagerOptions options;
        options.settings = &settings_;
        options.desktop = &desktop_;
        link_.Attach(&CTransferManager::Create(options));
    }

    void RunOnce(CMonitorTask& task) {
        task.StartRun(link_);
        const std::int32_t id = task.Int(task::kTransferId);
        ASSERT_NE(id, 0);
        WaitEnd(id);
        ASSERT_TRUE(task.PollRun(link_));
    }

    FixedClock clock_{MakeTime(2004, 3, 3, 14, 5, 9)};
    ScopedCacheFolder cache_;
    CManagerLink link_;
    PreparedTasks tasks_;
};

TEST_F(RunLogTest, RunsLeaveTheLiveLogCountFlatAndTheirLinesInTheTaskLog) {
    MonitorTaskPtr task = tasks_.New("Page", "http://site.test/page", 0);
    CLogRegistry& logs = CLogRegistry::Instance();
    RunOnce(*task);  // the first run opens the session, which keeps a log while it is pooled
    const std::size_t live = logs.Count();
    for (int i = 0; i < 1000; ++i) {
        task->GetLog()->Clear();
        ASSERT_NO_FATAL_FAILURE(RunOnce(*task));
    }
    EXPECT_EQ(logs.Count(), live);
    const std::string text = TaskLogText(*task);
    EXPECT_TRUE(Contains(text, "S:\tTotal bytes received: ")) << "the transfer's line\n" << text;
    EXPECT_TRUE(Contains(text, "S:\tDownloaded: ")) << "the run's line\n" << text;
}

}  // namespace
}  // namespace tellweir::testing
