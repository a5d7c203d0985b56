// Runs of monitor tasks on URLs through a real transfer manager with scripted sessions: the
// transfer a run starts, what polling takes from it, the events of its result and the comparison
// with the INFO and sample files.
#include <gtest/gtest.h>

#include "core/monitor_task.h"
#include "tests/support/core_fakes.h"
#include "tests/support/manager_fixture.h"
#include "tests/support/task_run_support.h"
#include "transfer/local_fs.h"

namespace tellweir::testing {
namespace {

using Events = std::vector<std::string>;

const DateTime kNow = MakeTime(2004, 3, 3, 14, 5, 9);

class RemoteRunTest : public ManagerTest {
  protected:
    RemoteRunTest() : link_(&Manager()) {}
    MonitorTaskPtr NewTask(const std::string& uri, int download) {
        return tasks_.New("Page", uri, download);
    }

    // Starts a run, waits (bounded) for its transfer to end, polls and classifies; the log lines
    // of this run.
    std::string Run(CMonitorTask& task) {
        task.GetLog()->Clear();
        task.StartRun(link_);
        const std::int32_t id = task.Int(task::kTransferId);
        EXPECT_NE(id, 0);
        WaitEnd(id);
        EXPECT_TRUE(task.PollRun(link_));
        EXPECT_EQ(task.Int(task::kTransferId), 0);
        TransferStatus status;
        EXPECT_EQ(Manager().GetStatus(id, status), kManagerUnknownId) << "the transfer is removed";
        task.ClassifyOutcome();
        return TaskLogText(task);
    }

    FixedClock clock_{kNow};
    ScopedCacheFolder cache_;
    CManagerLink link_;
    PreparedTasks tasks_;
};

TEST_F(RemoteRunTest, FileInformationRunsCompareWithThePreviousRun) {
    MonitorTaskPtr task = NewTask("http://site.test/page", 0);
    struct Step {
        const char* what;
        std::string etag, contentType, content;
        Events events;
    };
    const Step steps[] = {
        {"first run", "\"v1\"", "text/html", "0123456789", {"OK", "First Time"}},
        {"unchanged", "\"v1\"", "text/html", "0123456789", {"OK"}},
        {"e-tag changed",
         "\"v2\"",
         "text/html",
         "0123456789",
         {"OK", "E-Tag Changed", "Content Changed"}},
        {"content type changed",
         "\"v2\"",
         "text/plain",
         "0123456789",
         {"OK", "Content Type Changed", "Content Changed"}},
        {"size changed",
         "\"v2\"",
         "text/plain",
         "0123456789AB",
         {"OK", "Size Changed", "Content Changed"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        {
            std::lock_guard guard(script_.lock);
            script_.etag = step.etag;
            script_.contentType = step.contentType;
            script_.content = step.content;
        }
        const std::string log = Run(*task);
        EXPECT_EQ(RaisedEvents(log), step.events) << log;
        EXPECT_TRUE(Contains(
            log, Format("S:\tTransfer started: %s (GET FILE INFO).\r\n", FormatTaskTime(kNow))));
        EXPECT_TRUE(Contains(log, Format("S:\tDownloaded: %s.\r\n", FormatTaskTime(kNow))));
        EXPECT_TRUE(Contains(log, Format("S:\tNew INFO file created: \"%s\" for "
                                         "\"http://site.test/page\".\r\n",
                                         task->GetInfoPath())));
    }
    EXPECT_EQ(ReadAll(task->GetInfoPath()),
              "URL=\"http://site.test/page\" ETag=\"&quot;v2&quot;\" ContentType=\"text/plain\" "
              "Size=\"12\"");
    EXPECT_EQ(task->String(task::kETag), "\"v2\"");
    EXPECT_EQ(task->Int64(task::kSize), 12);
    EXPECT_EQ(task->Int(task::kCount), 5);
    EXPECT_EQ(task->Int(task::kErrors), 0);
    EXPECT_EQ(script_.infoCalls, 5);
}

TEST_F(RemoteRunTest, ErrorResultsRaiseTheirFamilyAndRecoveryRaisesUp) {
    MonitorTaskPtr task = NewTask("http://site.test/page", 0);
    struct Step {
        const char* what;
        TransferResult connect;
        bool exists;
        TransferResult result;
        Events events;
    };
    const Step steps[] = {
        {"client error", result::kHttp4xx, true, 1011, {"Error", "HTTP Error", "HTTP 4xx Error"}},
        {"not found", 0, false, 1001, {"Error", "Not Exists"}},
        {"back in service", 0, true, 0, {"UP", "OK", "First Time"}},
        {"still fine", 0, true, 0, {"OK"}},
        {"refused", 10061, true, 10061, {"Error", "Network Error"}},
    };
    int errors = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        {
            std::lock_guard guard(script_.lock);
            if (step.connect) script_.connectResults.push_back(step.connect);
            script_.exists = step.exists;
        }
        const std::string log = Run(*task);
        EXPECT_EQ(RaisedEvents(log), step.events) << log;
        EXPECT_EQ(task->GetLastResult(), step.result);
        errors += step.result != 0;
        EXPECT_EQ(task->Int(task::kErrors), errors);
        EXPECT_EQ(Contains(log, "New INFO file created"), step.result == 0)
            << "only a successful run is compared";
    }
}

TEST_F(RemoteRunTest, TransferRemovedUnderTheRunEndsItWithResult3) {
    MonitorTaskPtr task = NewTask("http://site.test/page", 0);
    script_.hold = true;
    task->StartRun(link_);
    const std::int32_t id = task->Int(task::kTransferId);
    ASSERT_TRUE(script_.WaitForRunning(1));
    EXPECT_FALSE(task->PollRun(link_)) << "still running";
    EXPECT_EQ(task->GetState(), TaskState::Working);
    ASSERT_EQ(Manager().RemoveTransfer(id), kManagerOk);

    task->GetLog()->Clear();
    EXPECT_TRUE(task->PollRun(link_));
    EXPECT_EQ(task->GetLastResult(), result::kStopped);
    EXPECT_EQ(task->Int(task::kTransferId), 0);
    task->ClassifyOutcome();
    const std::string log = TaskLogText(*task);
    EXPECT_TRUE(Contains(log, Format("S:\tDownload stopped: %s.\r\n", FormatTaskTime(kNow))));
    EXPECT_EQ(RaisedEvents(log), Events{"Error"});
    EXPECT_EQ(task->Int(task::kErrors), 1);
    EXPECT_FALSE(IsFile(task->GetInfoPath()));
}

TEST_F(RemoteRunTest, DownloadRunsCompareTheContentWithTheSample) {
    MonitorTaskPtr task = NewTask("http://site.test/file.bin", 1);
    struct Step {
        const char* what;
        std::string content;
        Events events;
        const char* line;
    };
    const Step steps[] = {
        {"first run makes the sample", "0123456789", {"OK"}, "S:\tSample file created: "},
        {"same content", "0123456789", {"OK"}, "files are identical."},
        {"one byte different", "0123X56789", {"OK", "Content Changed"}, "files are NOT identical."},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        {
            std::lock_guard guard(script_.lock);
            script_.content = step.content;
        }
        const std::string log = Run(*task);
        EXPECT_EQ(RaisedEvents(log), step.events) << log;
        EXPECT_TRUE(Contains(log, "(DOWNLOAD).")) << log;
        EXPECT_TRUE(Contains(log, step.line)) << log;
        EXPECT_EQ(ReadAll(task->GetObjectPath()), step.content);
        EXPECT_EQ(ReadAll(task->GetSamplePath()), step.content);
    }
    EXPECT_EQ(task->Int64(task::kRunBytesDone), 10);
    EXPECT_GE(task->Int64(task::kBytesDownloaded), 30);
}

}  // namespace
}  // namespace tellweir::testing
