// Runs of monitor tasks on local files and folders and of "<null" tasks: start, poll and classify
// end to end, the events each outcome raises, and the INFO and sample files kept between runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "core/info_file.h"
#include "core/monitor_task.h"
#include "tests/support/core_fakes.h"
#include "tests/support/task_run_support.h"
#include "transfer/file_info.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

using testing::Contains;
using testing::FixedClock;
using testing::MakeTime;
using testing::PreparedTasks;
using testing::PutFile;
using testing::RaisedEvents;
using testing::ReadAll;
using testing::ScopedCacheFolder;
using testing::ScopedCurrentFolder;
using testing::StatOf;
using testing::TaskLogText;
using testing::TempDir;
using Events = std::vector<std::string>;

const DateTime kNow = MakeTime(2004, 3, 3, 14, 5, 9);
const std::time_t kT0 = MakeTime(2004, 3, 1, 10, 0, 0).ToUnixTime();

std::string TimeText(std::time_t t) {
    return DateTime::FromUnixTime(t).Format(kFileTimeFormat);
}

class TaskRunTest : public ::testing::Test {
  protected:
    MonitorTaskPtr NewTask(const std::string& uri, int download) {
        return tasks_.New("Watched", uri, download);
    }

    // One run as the engine makes it: start, one poll (a local run ends at once), classify.
    // Returns the log lines of this run only.
    std::string Run(CMonitorTask& task) {
        task.GetLog()->Clear();
        CManagerLink noManager;  // a local run never asks for a transfer
        task.StartRun(noManager);
        EXPECT_TRUE(task.PollRun(noManager));
        task.ClassifyOutcome();
        return TaskLogText(task);
    }

    FixedClock clock_{kNow};
    ScopedCacheFolder cache_;
    TempDir files_{"run-files"};
    PreparedTasks tasks_;
};

TEST_F(TaskRunTest, FileInformationModeComparesWithTheInfoFile) {
    const std::string path = files_ / "watched.txt";
    PutFile(path, "hello", kT0);
    MonitorTaskPtr task = NewTask(path, 0);
    const std::string moved = files_ / "moved-away";
    struct Step {
        const char* what;
        std::function<void()> change;
        Events events;
    };
    const Step steps[] = {
        {"first run", [] {}, {"OK", "Local File Exists", "First Time"}},
        {"unchanged", [] {}, {"OK", "Local File Exists"}},
        {"size changed",
         [&] { PutFile(path, "hello world", kT0); },
         {"OK", "Local File Exists", "Size Changed", "Content Changed"}},
        {"only the time changed",
         [&] { PutFile(path, "hello world", kT0 + 100); },
         {"OK", "Local File Exists", "Time Modified Changed"}},
        {"same size and time: file information cannot see the content",
         [&] { PutFile(path, "hellO world", kT0 + 100); },
         {"OK", "Local File Exists"}},
        {"missing", [&] { std::filesystem::rename(path, moved); }, {"Error", "Not Exists"}},
        {"back again",
         [&] { std::filesystem::rename(moved, path); },
         {"UP", "OK", "Local File Exists"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        EXPECT_EQ(RaisedEvents(Run(*task)), step.events);
    }
    EXPECT_EQ(task->Int(task::kCount), 7);
    EXPECT_EQ(task->Int(task::kErrors), 1);
    EXPECT_EQ(task->GetLastResult(), 0);

    // The INFO file holds this run's information, in table order, creation time last.
    const std::string info = ReadAll(task->GetInfoPath());
    EXPECT_TRUE(info.starts_with(
        Format("URL=\"%s\" Size=\"11\" TimeModified=\"%s\"", path, TimeText(kT0 + 100))))
        << info;
}

TEST_F(TaskRunTest, FileInformationRunLogsWhatItFoundAndWrote) {
    const std::string path = files_ / "watched.txt";
    PutFile(path, "hello", kT0);
    MonitorTaskPtr task = NewTask(path, 0);
    const std::string first = Run(*task);
    CPropertySet info;
    ASSERT_TRUE(ReadInfoFile(task->GetInfoPath(), info));
    EXPECT_TRUE(Contains(first, Format("S:\tStarted (#1): %s, scheduled: %s.\r\n",
                                       FormatTaskTime(kNow), FormatTaskTime(kNow))))
        << first;
    EXPECT_TRUE(Contains(first, Format("S:\tFile size: [5], time modified: [%s], time created: "
                                       "[%s].\r\n",
                                       TimeText(kT0), info.String(task::kTimeCreated))))
        << first;
    EXPECT_TRUE(Contains(first, Format("S:\tNew INFO file created: \"%s\" for \"%s\".\r\n",
                                       task->GetInfoPath(), path)));
    EXPECT_FALSE(Contains(first, "Opening INFO file"));
    EXPECT_FALSE(Contains(first, "Transfer started"));
    EXPECT_EQ(task->Int64(task::kRunBytesDone), 5);
    EXPECT_EQ(task->Int64(task::kRunBytesTotal), 5);

    const std::string second = Run(*task);
    EXPECT_TRUE(
        Contains(second, Format("S:\tOpening INFO file: \"%s\".\r\n", task->GetInfoPath())));
    EXPECT_FALSE(IsFile(task->GetSamplePath())) << "file information keeps no sample";
}

TEST_F(TaskRunTest, WholeContentModeComparesWithTheSample) {
    const std::string path = files_ / "watched.txt";
    PutFile(path, "hello", kT0);
    MonitorTaskPtr task = NewTask(path, 1);
    const std::string sample = task->GetSamplePath();
    const char* kIdentical = "S:\tAll file content comparison was applied: files are identical.";
    const char* kDifferent =
        "S:\tAll file content comparison was applied: files are NOT identical.";
    struct Step {
        const char* what;
        std::optional<std::string> content;  // none: unchanged
        Events events;
        const char* line;  // a line the run writes; null: neither comparison line
    };
    const Step steps[] = {
        {"first run: the sample is made, no First Time", {}, {"OK", "Local File Exists"}, nullptr},
        {"unchanged", {}, {"OK", "Local File Exists"}, kIdentical},
        {"one byte different, same size",
         "hellO",
         {"OK", "Local File Exists", "Content Changed"},
         kDifferent},
        {"size changed",
         "hello world",
         {"OK", "Local File Exists", "Size Changed", "Content Changed"},
         nullptr},
        {"empty now", "", {"OK", "Local File Exists", "Size Changed", "Content Changed"}, nullptr},
        {"empty file against an empty sample", {}, {"OK", "Local File Exists"}, nullptr},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.content) PutFile(path, *step.content, kT0);
        const std::string log = Run(*task);
        EXPECT_EQ(RaisedEvents(log), step.events);
        EXPECT_TRUE(Contains(log, Format("S:\tChecking local file for changes: \"%s\".", path)));
        if (step.line) {
            EXPECT_TRUE(Contains(log, step.line)) << log;
        } else {
            EXPECT_FALSE(Contains(log, "All file content comparison")) << log;
        }
        EXPECT_EQ(ReadAll(sample), ReadAll(path));
        EXPECT_EQ(StatOf(sample).st_mtime, kT0);
        EXPECT_TRUE(IsFile(task->GetInfoPath())) << "rewritten whatever the mode";
    }
    EXPECT_EQ(task->Int(task::kErrors), 0);
}

TEST_F(TaskRunTest, NewSampleIsLoggedAndTakesTheContentsTimes) {
    const std::string path = files_ / "watched.txt";
    PutFile(path, "hello", kT0);
    MonitorTaskPtr task = NewTask(path, 1);
    const std::string log = Run(*task);
    const std::string sample = task->GetSamplePath();
    EXPECT_TRUE(
        Contains(log, Format("S:\tSample file created: \"%s\" from \"%s\".\r\n", sample, path)));
    EXPECT_EQ(StatOf(sample).st_mtime, kT0);
    EXPECT_EQ(StatOf(sample).st_atime, kT0);

    // A changed sample is rewritten and takes the new times too.
    PutFile(path, "HELLO", kT0 + 3600);
    Run(*task);
    EXPECT_EQ(StatOf(sample).st_mtime, kT0 + 3600);
    EXPECT_EQ(StatOf(sample).st_atime, kT0 + 3600);  // before reading it moves the access time
    EXPECT_EQ(ReadAll(sample), "HELLO");
}

TEST_F(TaskRunTest, MissingFileInWholeContentModeComesBackUp) {
    const std::string path = files_ / "watched.txt";
    MonitorTaskPtr task = NewTask(path, 1);
    task->ApplyDefaultEvents();
    EXPECT_EQ(RaisedEvents(Run(*task)), (Events{"Error", "Not Exists"}));
    EXPECT_EQ(task->GetLastResult(), result::kNotFound);
    EXPECT_FALSE(IsFile(task->GetInfoPath())) << "a missing file is not compared";
    PutFile(path, "x", kT0);
    EXPECT_EQ(RaisedEvents(Run(*task)), (Events{"UP", "OK", "Local File Exists"}));
    // The default table has actions for both UP and OK: the user hears of the recovery.
    testing::RecordingSound sound;
    testing::RecordingDesktop desktop;
    task->RunActions(desktop);
    EXPECT_EQ(desktop.Calls(),
              std::vector<std::string>{"prompt Watched: Monitored resource is UP now."});
    EXPECT_EQ(ReadAll(task->GetSamplePath()), "x");
    EXPECT_EQ(task->Int(task::kErrors), 1);
}

TEST_F(TaskRunTest, FolderIsNotMonitoredAndCountsAnErrorPerRun) {
    for (int download : {0, 1}) {
        SCOPED_TRACE(download);
        MonitorTaskPtr task = NewTask(files_.Path(), download);
        for (int run = 1; run <= 2; ++run) {
            const std::string log = Run(*task);
            EXPECT_EQ(RaisedEvents(log), (Events{"OK", "Local Dir Exists", "Error"}));
            EXPECT_TRUE(Contains(log,
                                 "E:\tProtocol or operation is not supported or implemented: "
                                 "\"Local folder monitoring\".\r\n"))
                << log;
            EXPECT_EQ(task->GetLastResult(), result::kNotSupported);
            EXPECT_EQ(task->Int(task::kErrors), run);
        }
        EXPECT_FALSE(IsFile(task->GetInfoPath()));
        EXPECT_FALSE(IsFile(task->GetSamplePath()));
    }
}

TEST_F(TaskRunTest, NullTaskIsFirstTimeThenOkAndWritesNoFiles) {
    for (int download : {0, 1}) {
        SCOPED_TRACE(download);
        MonitorTaskPtr task = NewTask("<null>", download);
        EXPECT_EQ(RaisedEvents(Run(*task)), Events{"First Time"});
        EXPECT_EQ(RaisedEvents(Run(*task)), Events{"OK"});
        EXPECT_EQ(RaisedEvents(Run(*task)), Events{"OK"});
        EXPECT_EQ(task->Int(task::kErrors), 0);
        EXPECT_EQ(task->GetLastResult(), 0);
    }
    std::vector<std::string> files, folders;
    ListDirectory(cache_.Path(), "*", &files, &folders);
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(folders.empty());
}

// Every failure to keep the INFO or sample file is written as an error and raises "Error"; the
// run still goes on to its other steps.
TEST_F(TaskRunTest, FailuresToKeepFilesRaiseErrorAndTheRunGoesOn) {
    const std::string path = files_ / "watched.txt";
    PutFile(path, "hello", kT0);
    const std::string blocker = files_.WriteFile("blocker", "a file where a folder should be");
    const std::string infoFolder = files_ / "info-folder";
    MakeDirectories(infoFolder);
    struct Case {
        const char* what;
        int download;
        std::function<void(CMonitorTask&)> setup;
        Events events;
        std::vector<std::string> errors;  // "E:" lines, %s = info path, sample path
    };
    const Case cases[] = {
        {"no sample path",
         1,
         [](CMonitorTask& t) { t.SetString(task::kSamplePath, ""); },
         {"OK", "Local File Exists", "Error"},
         {"Sample file path is not specified."}},
        {"sample folder cannot be made",
         1,
         [&](CMonitorTask& t) { t.SetString(task::kSamplePath, blocker + "/sub/sample"); },
         {"OK", "Local File Exists", "Error"},
         {Format("Cannot copy file \"%s\" to \"%s\".", path, blocker + "/sub/sample")}},
        {"no INFO path",
         0,
         [](CMonitorTask& t) { t.SetString(task::kInfoPath, ""); },
         {"OK", "Local File Exists", "First Time", "Error"},
         {"INFO file path is not specified."}},
        {"INFO folder cannot be made",
         0,
         [&](CMonitorTask& t) { t.SetString(task::kInfoPath, blocker + "/sub/x.info"); },
         {"OK", "Local File Exists", "First Time", "Error"},
         {Format("Cannot create dir \"%s/sub/\".", blocker)}},
        {"INFO path is a folder: neither read nor written",
         0,
         [&](CMonitorTask& t) { t.SetString(task::kInfoPath, infoFolder); },
         {"OK", "Local File Exists", "Error", "Error"},
         {Format("Cannot access INFO file for reading: \"%s\".", infoFolder),
          Format("Cannot access INFO file for writing: \"%s\".", infoFolder)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MonitorTaskPtr task = NewTask(path, c.download);
        c.setup(*task);
        const std::string log = Run(*task);
        EXPECT_EQ(RaisedEvents(log), c.events);
        std::string errors;
        for (const std::string& e : c.errors)
            errors += "E:\t" + e + "\r\n";
        std::string written;
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with("E:")) written += line + "\n";
        EXPECT_EQ(written, errors) << log;
        EXPECT_EQ(task->GetLastResult(), 0) << "file keeping does not change the run's result";
        EXPECT_EQ(task->Int(task::kErrors), 0);
    }
}

TEST_F(TaskRunTest, BareFileNamesAreKeptInTheCurrentFolder) {
    const std::string path = files_ / "watched.txt";
    PutFile(path, "hello", kT0);
    ScopedCurrentFolder here(files_.Path());
    MonitorTaskPtr task = NewTask(path, 1);
    task->SetString(task::kInfoPath, "watched.info");
    task->SetString(task::kSamplePath, "watched.sample");
    EXPECT_EQ(RaisedEvents(Run(*task)), (Events{"OK", "Local File Exists"}));
    EXPECT_TRUE(IsFile(files_ / "watched.info"));
    EXPECT_EQ(ReadAll(files_ / "watched.sample"), "hello");
}

}  // namespace
}  // namespace tellweir
