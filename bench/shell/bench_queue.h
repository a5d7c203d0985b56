// The desktop benchmarks' setting: the program's folders and settings in a temporary folder, and
// a queue of idle local-file tasks written by a child process, so that none of its memory counts.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <sys/wait.h>
#include <unistd.h>

#include "app/services.h"
#include "core/local_clock.h"
#include "core/monitor_engine.h"
#include "core/task_properties.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"

namespace tellweir::bench {

// The program's folders all under `root`, so that nothing of the user's is read or written.
inline void UseFolders(const std::filesystem::path& root) {
    for (const char* name : {"config", "data", "cache", "run"})
        std::filesystem::create_directories(root / name);
    std::filesystem::permissions(root / "run", std::filesystem::perms::owner_all);
    ::setenv("HOME", root.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
}

inline void PointSettingsAt(const std::filesystem::path& root) {
    SetProgramIdentity();
    AppSettings().SetInt(setting::kMaxLogLines, 2000);
    AppSettings().SetString(setting::kMonitorQueueFile, (root / "queue.xml").string());
    AppSettings().SetString(setting::kCacheFolder, (root / "tasks-cache").string());
}

// Writes the queue of `count` tasks, each over a small file of its own, every day and first due
// within a day from tomorrow. Runs in a child process, so that none of its memory counts in the
// figures.
inline int MakeQueue(const std::filesystem::path& root, int count) {
    PointSettingsAt(root);
    std::filesystem::create_directories(root / "files");
    CMonitorEngine engine;
    const DateTime tomorrow{LocalNow().days + 1.0};
    for (int i = 0; i < count; ++i) {
        // Names and due times in an order of their own, so that no column comes sorted by
        // another: 7919 is a prime, so the map is a permutation unless it divides `count`.
        const int shuffled = static_cast<int>((static_cast<long long>(i) * 7919) % count);
        char name[32];
        std::snprintf(name, sizeof name, "task%05d", shuffled);
        const DateTime due{tomorrow.days + (i % 1440) / 1440.0};
        const std::filesystem::path file = root / "files" / (std::string(name) + ".txt");
        std::ofstream(file) << "text of " << name << '\n';
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, file.string());
        task->SetInt(task::kSchedule, task::kSchedulePeriodic);
        task->SetInt(task::kScheduleRepeatValue, 1);
        task->SetString(task::kScheduleRepeatUnit, "days");
        task->SetTime(task::kNextStartTime, due);
        task->ApplyDefaultEvents();
        if (!engine.AddTask(*task)) {
            std::fprintf(stderr, "task %s not added\n", name);
            return 1;
        }
    }
    if (engine.SaveQueue() != 0) {
        std::fprintf(stderr, "the queue was not saved\n");
        return 1;
    }
    return 0;
}

// MakeQueue in a child process, before any thread or window exists here; false, said, when the
// queue could not be made.
inline bool MakeQueueInChild(const std::filesystem::path& root, int count) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(MakeQueue(root, count));
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the queue of %d tasks could not be made\n", count);
        return false;
    }
    return true;
}

// Removes the temporary folder however main returns.
struct RemoveOnExit {
    std::filesystem::path path;
    ~RemoveOnExit() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace tellweir::bench
