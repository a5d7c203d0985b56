// Monitor tasks: creation defaults, kinds, cache paths, preparing, resuming, stopping, copying
// and the task's log.
#include "core/monitor_task.h"

#include <gtest/gtest.h>

#include "core/event_table.h"
#include "core/task_cache_path.h"
#include "log/log_registry.h"
#include "tests/support/core_fakes.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

using testing::FixedClock;
using testing::MakeTime;
using testing::RecordingTransferLink;
using testing::ScopedCacheFolder;
using testing::TempDir;

const DateTime kNow = MakeTime(2004, 3, 3, 14, 5, 9);

MonitorTaskPtr MakeTask(std::string_view name, std::string_view uri) {
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetName(name);
    task->SetString(task::kUri, uri);
    return task;
}

std::string LogText(const CMonitorTask& task) {
    ItemLogPtr log = task.GetLog();
    return log ? log->GetText() : std::string();
}

class MonitorTaskTest : public ::testing::Test {
  protected:
    FixedClock clock_{kNow};
    ScopedCacheFolder cache_;
    TempDir files_{"core-task"};
};

TEST_F(MonitorTaskTest, NewTaskHasTableDefaults) {
    MonitorTaskPtr task = CMonitorTask::Create();
    EXPECT_EQ(task->Int(task::kSchedule), 1);
    EXPECT_EQ(task->Int(task::kScheduleRepeatValue), 10);
    EXPECT_EQ(task->String(task::kScheduleRepeatUnit), "seconds");
    EXPECT_EQ(task->String(task::kScheduleWeekDays), "1234567");
    EXPECT_EQ(task->Int(task::kDownload), 0);
    EXPECT_EQ(task->GetTime(task::kNextStartTime), kNow);
    EXPECT_EQ(task->GetTime(task::kCreateTime), DateTime{});
    EXPECT_EQ(task->GetState(), TaskState::New);
    EXPECT_EQ(task->GetListIndex(), -1);
    EXPECT_EQ(task->GetListRow(), -1);
    EXPECT_EQ(task->GetLastResult(), 0);
    EXPECT_EQ(task->GetChosenEvent(), -1);
    EXPECT_TRUE(task->GetEventTable().empty());
    EXPECT_FALSE(task->GetLog());
    // Shown only while the task is active.
    EXPECT_EQ(task->GetNextStartTimeShown(), DateTime{});
    EXPECT_EQ(FormatTaskTime(task->GetFirstStartTime()), "not set");
}

TEST_F(MonitorTaskTest, KindComesFromTheUri) {
    const std::pair<const char*, int> cases[] = {
        {"<null>", kKindNull},
        {"<null:test", kKindNull},
        {"/home/u/a.txt", kKindLocal},
        {"~/a.txt", kKindLocal},
        {"C:\\data\\a.txt", kKindLocal},
        {"file:///a.txt", kKindLocal},
        {"http://site.test/", 1},
        {"https://site.test/", 2},
        {"ftp://site.test/f", 3},
        {"ftps://site.test/f", 4},
        {"www.site.test", 0},
        {"HTTP://site.test/", 0},
        {"", 0},
    };
    for (const auto& [uri, kind] : cases)
        EXPECT_EQ(MakeTask("t", uri)->GetKind(), kind) << uri;
}

TEST(TaskCachePath, HashAndBasePaths) {
    EXPECT_EQ(CacheNameHash("abc"), 0x0001A9A6u);
    EXPECT_EQ(CacheNameHash(""), 0u);
    EXPECT_EQ(CacheNameHash("\xff"), 0xFFFFFFFFu);  // bytes count as signed

    const DateTime created = MakeTime(2004, 3, 3, 14, 5, 9);
    const std::string local = "/data/report.txt";
    EXPECT_EQ(CacheBasePath("/cache/", local, created),
              Format("/cache/locals/2004_03_03_14_05_09_%.8X%.8X_report.txt", CacheNameHash(local),
                     CacheNameHash("report.txt")));

    struct Case {
        const char* uri;
        const char* site;
        const char* name;
    };
    const Case remotes[] = {
        {"http://site.test/a/b.html", "HTTP/site.test-80", "%2Fa%2Fb.html"},
        {"http://User:pw@Site.test:8080/a/b?x=1", "HTTP/user@site.test-8080", "%2Fa%2Fb%3F-params"},
        {"https://site.test", "HTTPS/site.test-443", "[default]"},
        {"ftp://site.test/dir/", "FTP/site.test-21", "%2Fdir%2F[default]"},
    };
    for (const Case& c : remotes) {
        EXPECT_EQ(CacheBasePath("/cache", c.uri, created),
                  Format("/cache/remotes/%s/2004_03_03_14_05_09_%.8X%.8X_%s", c.site,
                         CacheNameHash(c.uri), CacheNameHash(c.name), c.name))
            << c.uri;
    }
    EXPECT_EQ(CacheBasePath("", local, created), "");
    EXPECT_EQ(CacheBasePath("/cache", "gopher://site.test/", created), "");
}

TEST_F(MonitorTaskTest, PrepareCreatesPathsAndLogAndStartsAfresh) {
    const std::string uri = files_ / "watched.txt";
    const std::string base = CacheBasePath(cache_.Path(), uri, kNow);
    MakeDirectories(cache_.Path() + "/locals");
    files_.WriteFile("sample", "old");
    ASSERT_TRUE(CopyFile(files_ / "sample", base));
    ASSERT_TRUE(CopyFile(files_ / "sample", base + ".info"));

    MonitorTaskPtr task = MakeTask("Report", uri);
    ASSERT_TRUE(task->Prepare(true));
    EXPECT_EQ(task->GetTime(task::kCreateTime), kNow);
    EXPECT_EQ(task->GetSamplePath(), base);
    EXPECT_EQ(task->GetInfoPath(), base + ".info");
    EXPECT_EQ(task->GetObjectPath(), uri);
    EXPECT_FALSE(IsFile(base));
    EXPECT_FALSE(IsFile(base + ".info"));
    EXPECT_EQ(LogText(*task), Format("S:\tMonitor task name: \"Report\", path: \"%s\".\r\n"
                                     "S:\tTask created: %s.\r\n",
                                     uri, FormatTaskTime(kNow)));
    task->ReleaseLog();
}

TEST_F(MonitorTaskTest, PrepareOfRemoteNullAndInvalidUris) {
    MonitorTaskPtr remote = MakeTask("Page", "http://site.test/a.html");
    remote->SetString(task::kSamplePath, "/kept/sample");
    ASSERT_TRUE(remote->Prepare(false));
    EXPECT_EQ(remote->GetSamplePath(), "/kept/sample");
    EXPECT_EQ(remote->GetInfoPath(),
              CacheBasePath(cache_.Path(), "http://site.test/a.html", DateTime{}) + ".info");
    EXPECT_EQ(remote->GetObjectPath().rfind(cache_.Path() + "/Downloads/", 0), 0u);
    EXPECT_NE(LogText(*remote).find(Format("Task restored: %s.", FormatTaskTime(kNow))),
              std::string::npos);
    remote->ReleaseLog();

    MonitorTaskPtr null = MakeTask("Null", "<null>");
    null->SetString(task::kSamplePath, "/stale");
    ASSERT_TRUE(null->Prepare(true));
    EXPECT_EQ(null->GetSamplePath(), "");
    EXPECT_EQ(null->GetInfoPath(), "");
    EXPECT_EQ(null->GetObjectPath(), "");
    null->ReleaseLog();

    for (const char* uri : {"gopher://site.test/", "", "HTTP://site.test/"}) {
        MonitorTaskPtr bad = MakeTask("Bad", uri);
        EXPECT_FALSE(bad->Prepare(true)) << uri;
        EXPECT_FALSE(bad->GetLog()) << uri;
    }
}

TEST_F(MonitorTaskTest, EmptyCacheFolderLeavesSamplePathEmpty) {
    ScopedCacheFolder noCache(false);
    MonitorTaskPtr task = MakeTask("Page", "http://site.test/a.html");
    ASSERT_TRUE(task->Prepare(true));
    EXPECT_EQ(task->GetSamplePath(), "");
    EXPECT_EQ(task->GetInfoPath(), ".info");
    EXPECT_EQ(task->GetObjectPath(), "");
    task->ReleaseLog();
}

TEST_F(MonitorTaskTest, ResumeDependsOnStateAndSchedule) {
    MonitorTaskPtr task = MakeTask("Page", "http://site.test/");
    ASSERT_TRUE(task->Prepare(true));
    task->SetInt(task::kStopped, 1);
    const std::uint32_t stamp = task->GetStamp();
    EXPECT_TRUE(task->Resume(true));
    EXPECT_NE(task->GetStamp(), stamp);
    EXPECT_EQ(task->GetState(), TaskState::Waiting);
    EXPECT_EQ(task->Int(task::kStopped), 0);
    EXPECT_EQ(task->GetNextStartTimeShown(), kNow);
    EXPECT_FALSE(task->Resume(false));  // already active
    const std::string log = LogText(*task);
    EXPECT_EQ(log.substr(log.find("S:\tTask resumed")),
              Format("S:\tTask resumed. Next start time: %s.\r\n\t\r\n", FormatTaskTime(kNow)));
    task->ReleaseLog();

    MonitorTaskPtr manual = MakeTask("Manual", "http://site.test/");
    manual->SetInt(task::kSchedule, task::kScheduleManual);
    manual->SetTime(task::kNextStartTime, MakeTime(2000, 1, 1));
    EXPECT_FALSE(manual->Resume(true));
    EXPECT_EQ(manual->GetState(), TaskState::New);
    const DateTime later = MakeTime(2004, 3, 4, 9, 0, 0);
    clock_.Set(later);
    EXPECT_TRUE(manual->Resume(false));
    EXPECT_EQ(manual->GetNextStartTimeShown(), later);
}

TEST_F(MonitorTaskTest, StopRunHandsOverTheTransferAndStopsActiveTasks) {
    MonitorTaskPtr task = MakeTask("Page", "http://site.test/");
    ASSERT_TRUE(task->Prepare(true));
    task->Resume(true);
    task->SetInt(task::kTransferId, 107);
    std::vector<std::int32_t> ids;
    EXPECT_TRUE(task->StopRun(ids));
    EXPECT_EQ(ids, std::vector<std::int32_t>{107});
    EXPECT_EQ(task->Int(task::kTransferId), 0);
    EXPECT_EQ(task->GetState(), TaskState::Idle);
    EXPECT_EQ(task->Int(task::kStopped), 1);
    EXPECT_TRUE(LogText(*task).ends_with("S:\tMonitor task stopped.\r\n"));

    // Idle with a transfer: the id still comes back, but nothing is written.
    const std::string before = LogText(*task);
    task->SetInt(task::kTransferId, 108);
    EXPECT_FALSE(task->StopRun(ids));
    EXPECT_EQ(ids, (std::vector<std::int32_t>{107, 108}));
    EXPECT_EQ(LogText(*task), before);
    task->ReleaseLog();
}

TEST_F(MonitorTaskTest, StopAndCancelDetachesLogThenRemovesTransfers) {
    RecordingTransferLink link;
    MonitorTaskPtr task = MakeTask("Page", "http://site.test/");
    task->Resume(true);
    task->StopAndCancel(link);  // no transfer: the manager is not bothered
    EXPECT_TRUE(link.calls.empty());
    task->Resume(false);
    task->SetInt(task::kTransferId, 107);
    task->StopAndCancel(link);
    EXPECT_EQ(link.calls, (std::vector<std::string>{"log 0: 107", "remove: 107"}));
    EXPECT_EQ(task->GetState(), TaskState::Idle);
}

TEST_F(MonitorTaskTest, AssignCopiesPropertiesStateAndApplicableEvents) {
    MonitorTaskPtr target = MakeTask("Page", "http://site.test/");
    ASSERT_TRUE(target->Prepare(true));
    target->Resume(true);
    target->SetInt(task::kDownload, 1);
    target->SetInt(task::kTransferId, 107);
    target->SetString(task::kObjectPath, "/own/object");
    target->SetEventActions(kEventError, "Beep");

    MonitorTaskPtr edited = target->Clone();
    EXPECT_FALSE(edited->GetLog());
    EXPECT_EQ(edited->Int(task::kTransferId), 0);
    EXPECT_EQ(edited->GetName(), "Page");
    EXPECT_EQ(edited->GetState(), TaskState::Waiting);
    edited->SetName("Page 2");
    edited->SetInt(task::kDownload, 0);  // an edit back to the default must reach the target
    edited->Remove(task::kObjectPath);
    const DateTime next = MakeTime(2004, 3, 5, 8, 0, 0);
    edited->SetTime(task::kNextStartTime, next);
    edited->SetEventActions(kEventOk, "Prompt ok");
    edited->SetEventActions(kEventLocalFileExists, "Beep");  // not an HTTP event
    edited->SetLastResult(1011);

    target->Assign(*edited);
    EXPECT_EQ(target->GetName(), "Page 2");
    EXPECT_EQ(target->Int(task::kDownload), 0);
    EXPECT_EQ(target->Int(task::kTransferId), 107);
    EXPECT_EQ(target->GetObjectPath(), "/own/object");  // not a table property: kept
    EXPECT_EQ(target->GetLastResult(), 1011);
    EXPECT_EQ(target->GetEventTable(),
              (CMonitorTask::EventTable{{"OnError", "Beep"}, {"OnOK", "Prompt ok"}}));
    EXPECT_TRUE(LogText(*target).ends_with(
        Format("S:\tNext start time changed: %s.\r\n", FormatTaskTime(next))));

    // No change of the shown time, no line.
    const std::string before = LogText(*target);
    target->Assign(*edited);
    EXPECT_EQ(LogText(*target), before);
    target->ReleaseLog();
}

TEST_F(MonitorTaskTest, ReleasedLogIsGoneForGood) {
    MonitorTaskPtr task = MakeTask("Page", "http://site.test/");
    ASSERT_TRUE(task->Prepare(true));
    const std::int32_t id = task->Int(task::kLogId);
    ItemLogPtr held = task->GetLog();
    task->ReleaseLog();
    EXPECT_FALSE(task->GetLog());
    std::vector<std::int32_t> ids;
    task->Resume(true);
    task->StopRun(ids);  // writes nowhere, and recreates nothing in the registry
    EXPECT_EQ(CLogRegistry::Instance().DeleteLog(id), 0);
    EXPECT_NE(held->GetText().find("Monitor task name"), std::string::npos);
}

}  // namespace
}  // namespace tellweir
