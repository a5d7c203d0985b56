// Runs of local-file tasks against what can go wrong with the files themselves: a FIFO or a
// device as the watched path, links put in place of the sample, a full disk while the sample is
// written, and large contents that are checked off the engine thread and stop with the task.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/monitor_task.h"
#include "tests/support/core_fakes.h"
#include "tests/support/task_run_support.h"
#include "tests/support/wait_until.h"
#include "transfer/file_path.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::FixedClock;
using testing::MakeTime;
using testing::PreparedTasks;
using testing::PutFile;
using testing::RaisedEvents;
using testing::ReadAll;
using testing::ScopedCacheFolder;
using testing::StatOf;
using testing::TaskLogText;
using testing::TempDir;
using testing::WaitUntil;
using testing::WriteAll;
using Events = std::vector<std::string>;

const std::time_t kT0 = MakeTime(2004, 3, 1, 10, 0, 0).ToUnixTime();

// Names in `folder` (and below) that look like temporary files left behind.
std::vector<std::string> TemporaryFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().string().find(".tmp") != std::string::npos)
            names.push_back(entry.path().string());
    return names;
}

// A file of `size` bytes that takes no disk space: reading it is all zeros.
void MakeSparseFile(const std::string& path, std::int64_t size, std::time_t modified) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ::futimens(fd, times);
    ::close(fd);
}

class LocalRunFilesTest : public ::testing::Test {
  protected:
    ~LocalRunFilesTest() override { SimulateDiskFullAfter(-1); }

    MonitorTaskPtr NewTask(const std::string& uri, int download) {
        return tasks_.New("Watched", uri, download);
    }

    // One run as the engine makes it: start, poll until the run has ended (a large content is
    // checked on a thread meanwhile), classify. Returns the log lines of this run only.
    std::string Run(CMonitorTask& task) {
        task.GetLog()->Clear();
        CManagerLink noManager;
        task.StartRun(noManager);
        EXPECT_TRUE(WaitUntil([&] { return task.PollRun(noManager); }, std::chrono::seconds(30)));
        task.ClassifyOutcome();
        return TaskLogText(task);
    }

    FixedClock clock_{MakeTime(2004, 3, 3, 14, 5, 9)};
    ScopedCacheFolder cache_;
    TempDir files_{"local-run"};
    PreparedTasks tasks_;
};

// Opening a FIFO without a writer would wait for ever, and the engine thread with it.
TEST_F(LocalRunFilesTest, SpecialFilesAreRefusedAtOnce) {
    const std::string fifo = files_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        for (int download : {0, 1}) {
            SCOPED_TRACE(path + (download ? ", whole content" : ", file information"));
            MonitorTaskPtr task = NewTask(path, download);
            const std::string log = Run(*task);
            EXPECT_EQ(RaisedEvents(log), Events{"Error"});
            EXPECT_TRUE(Contains(log,
                                 "E:\tProtocol or operation is not supported or implemented: "
                                 "\"Local special file monitoring\".\r\n"))
                << log;
            EXPECT_EQ(task->GetLastResult(), result::kNotSupported);
            EXPECT_EQ(task->Int(task::kErrors), 1);
            EXPECT_FALSE(EntryExists(task->GetInfoPath()));
            EXPECT_FALSE(EntryExists(task->GetSamplePath()));
        }
    }
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A link put in the sample's place is never written through, whether it points somewhere or
// nowhere; the run says it cannot use the sample.
TEST_F(LocalRunFilesTest, LinkInTheSamplesPlaceIsNeverWrittenThrough) {
    const std::string path = files_ / "watched.txt";
    const std::string victim = files_ / "victim.txt";
    const std::string nowhere = files_ / "nowhere.txt";
    for (const std::string& linkTarget : {victim, nowhere}) {
        SCOPED_TRACE(linkTarget);
        WriteAll(victim, "not to be touched");
        MonitorTaskPtr task = NewTask(path, 1);
        const std::string sample = task->GetSamplePath();
        MakeDirectories(PathDirectory(sample));
        fs::remove(sample);
        fs::create_symlink(linkTarget, sample);
        for (const char* content : {"hello", "changed"}) {
            PutFile(path, content, kT0);
            const std::string log = Run(*task);
            EXPECT_EQ(RaisedEvents(log), (Events{"OK", "Local File Exists", "Error"}));
            EXPECT_TRUE(Contains(log, "E:\tCannot access sample file: \"" + sample + "\".")) << log;
        }
        EXPECT_EQ(ReadAll(victim), "not to be touched");
        EXPECT_FALSE(EntryExists(nowhere));
        EXPECT_TRUE(fs::is_symlink(sample));
    }
}

// A sample that cannot be written whole is not written at all: the previous one stays, no
// partial copy is left, and the next run with room writes it.
TEST_F(LocalRunFilesTest, FullDiskKeepsThePreviousSample) {
    const std::string path = files_ / "watched.txt";
    PutFile(path, "hello", kT0);
    MonitorTaskPtr task = NewTask(path, 1);
    const std::string sample = task->GetSamplePath();

    SimulateDiskFullAfter(2);
    std::string log = Run(*task);
    EXPECT_EQ(RaisedEvents(log), (Events{"OK", "Local File Exists", "Error"}));
    EXPECT_TRUE(Contains(log, "E:\tCannot copy file \"" + path + "\" to \"" + sample + "\"."))
        << log;
    EXPECT_FALSE(EntryExists(sample));
    SimulateDiskFullAfter(-1);
    Run(*task);
    EXPECT_EQ(ReadAll(sample), "hello");

    PutFile(path, "HELLO", kT0 + 60);
    SimulateDiskFullAfter(2);
    log = Run(*task);
    SimulateDiskFullAfter(-1);
    EXPECT_EQ(RaisedEvents(log), (Events{"OK", "Local File Exists", "Error", "Content Changed"}));
    EXPECT_TRUE(Contains(log, "E:\tError on creating sample copy of monitored object.")) << log;
    EXPECT_EQ(ReadAll(sample), "hello");
    EXPECT_EQ(StatOf(sample).st_mtime, kT0);
    EXPECT_TRUE(TemporaryFiles(cache_.Path()).empty());

    EXPECT_EQ(RaisedEvents(Run(*task)), (Events{"OK", "Local File Exists", "Content Changed"}));
    EXPECT_EQ(ReadAll(sample), "HELLO");
    EXPECT_EQ(StatOf(sample).st_mtime, kT0 + 60);
}

// A content too large to check within one engine pass is checked on a thread: the run keeps
// polling as not ended, and reports exactly what a short check would.
TEST_F(LocalRunFilesTest, LargeContentIsCheckedOffTheEngineThread) {
    const std::string path = files_ / "large.bin";
    std::string content(3 << 20, 'a');
    PutFile(path, content, kT0);
    MonitorTaskPtr task = NewTask(path, 1);
    CManagerLink noManager;
    task->StartRun(noManager);
    EXPECT_FALSE(task->PollRun(noManager)) << "the first poll only starts the check";
    ASSERT_TRUE(WaitUntil([&] { return task->PollRun(noManager); }, std::chrono::seconds(30)));
    task->ClassifyOutcome();
    EXPECT_EQ(RaisedEvents(TaskLogText(*task)), (Events{"OK", "Local File Exists"}));
    EXPECT_EQ(ReadAll(task->GetSamplePath()), content);

    content[content.size() / 2] = 'b';
    PutFile(path, content, kT0);
    const std::string log = Run(*task);
    EXPECT_EQ(RaisedEvents(log), (Events{"OK", "Local File Exists", "Content Changed"}));
    EXPECT_TRUE(
        Contains(log, "S:\tAll file content comparison was applied: files are NOT identical."))
        << log;
    EXPECT_EQ(ReadAll(task->GetSamplePath()), content);
}

// Stopping the task stops the comparison of a very large content within a block: the check
// never reaches its end, where an unchanged sample would take the object's times.
TEST_F(LocalRunFilesTest, StoppingTheTaskStopsItsContentCheck) {
    constexpr std::int64_t kSize = std::int64_t{4} << 30;
    const std::string path = files_ / "huge.bin";
    MakeSparseFile(path, kSize, kT0);
    MonitorTaskPtr task = NewTask(path, 1);
    const std::string sample = task->GetSamplePath();
    MakeDirectories(PathDirectory(sample));
    MakeSparseFile(sample, kSize, kT0 - 3600);

    CManagerLink noManager;
    task->StartRun(noManager);
    ASSERT_FALSE(task->PollRun(noManager));
    std::vector<std::int32_t> ids;
    EXPECT_TRUE(task->StopRun(ids));
    EXPECT_EQ(task->GetState(), TaskState::Idle);
    EXPECT_EQ(StatOf(sample).st_mtime, kT0 - 3600);
    EXPECT_TRUE(TemporaryFiles(cache_.Path()).empty());
}

}  // namespace
}  // namespace tellweir
