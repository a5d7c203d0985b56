// Helpers of the task run tests: the tasks a test prepares, the events a run raised (as its log
// shows them) and small file operations that keep a file's identity while its content and times
// change.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/monitor_task.h"
#include "tests/support/file_text.h"

namespace tellweir::testing {

// The display names of the events raised, in order, from the "HandleEvent" detail lines.
inline std::vector<std::string> RaisedEvents(const std::string& logText) {
    static constexpr std::string_view kPrefix = "D:\tHandleEvent: ";
    std::vector<std::string> events;
    std::istringstream lines(logText);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(kPrefix)) continue;
        const std::size_t end = line.rfind(".\r");
        events.push_back(line.substr(kPrefix.size(), end - kPrefix.size()));
    }
    return events;
}

inline std::string TaskLogText(const CMonitorTask& task) {
    const ItemLogPtr log = task.GetLog();
    return log ? log->GetText() : std::string();
}

inline bool Contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// Rewrites the file in place (same inode, so its creation time stays) and sets its access and
// last write times to `modified`, so that a run sees exactly the change a test makes.
inline void PutFile(const std::string& path, std::string_view content, std::time_t modified) {
    WriteAll(path, content);
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The tasks one test made: each named, given its URI and download choice and prepared (its log
// and files made); at the end their logs go from the log registry.
class PreparedTasks {
  public:
    PreparedTasks() = default;
    ~PreparedTasks() {
        for (const MonitorTaskPtr& task : tasks_)
            task->ReleaseLog();
    }
    PreparedTasks(const PreparedTasks&) = delete;
    PreparedTasks& operator=(const PreparedTasks&) = delete;

    MonitorTaskPtr New(std::string_view name, const std::string& uri, int download) {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, uri);
        task->SetInt(task::kDownload, download);
        EXPECT_TRUE(task->Prepare(true)) << uri;
        tasks_.push_back(task);
        return task;
    }

  private:
    std::vector<MonitorTaskPtr> tasks_;
};

// Makes `folder` the current folder for its lifetime, for paths that name no folder.
class ScopedCurrentFolder {
  public:
    explicit ScopedCurrentFolder(const std::string& folder)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~ScopedCurrentFolder() { std::filesystem::current_path(previous_); }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

  private:
    std::filesystem::path previous_;
};

inline struct stat StatOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

}  // namespace tellweir::testing
