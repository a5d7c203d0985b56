// Programs the actions start: the priority they run at whichever thread starts them, and that the
// engine never waits for them while each is still reaped once it ends.
#include <dirent.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/action_runner.h"
#include "core/process_launch.h"
#include "core/shell_actions.h"
#include "log/item_log.h"
#include "tests/support/core_fakes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "transfer/local_fs.h"
#include "transfer/thread_priority.h"

namespace tellweir {
namespace {

using testing::RecordingDesktop;
using testing::TempDir;
using testing::WaitUntil;

// Makes the calling thread what an ordinary user's is: it cannot lower its nice value again.
// Capabilities are kept per thread, so the rest of the test process keeps them.
void DropNiceCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return;
    data[CAP_TO_INDEX(CAP_SYS_NICE)].effective &= ~CAP_TO_MASK(CAP_SYS_NICE);
    (void)syscall(SYS_capset, &header, data);
}

int ThreadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

class ProcessKeeperTest : public ::testing::Test {
  protected:
    // The program does this at start-up, on the main thread.
    ProcessKeeperTest() { PrepareProcessLaunch(); }
    ~ProcessKeeperTest() override { SetShellOpenProgram({}); }

    // A script that writes its pid and nice value, then waits for the file "go" and ends with
    // `exitCode`.
    std::string MakeChild(const std::string& name, int exitCode) {
        std::string path =
            dir_.WriteFile(name, Format("#!/bin/sh\necho $$ > '%s.pid'\nnice > '%s.nice'\n"
                                        "while [ ! -e '%s' ]; do sleep 0.01; done\nexit %d\n",
                                        dir_ / name, dir_ / name, dir_ / "go", exitCode));
        chmod(path.c_str(), 0755);
        return path;
    }

    // The pid the child `name` wrote, once it has written it; 0 when it never did.
    pid_t PidOf(const std::string& name) {
        std::string text;
        WaitUntil([&] {
            text = dir_.ReadFile(name + ".pid");
            return text.ends_with('\n');
        });
        return static_cast<pid_t>(std::atoi(text.c_str()));
    }

    RecordingDesktop desktop_;
    TempDir dir_{"core-keeper"};
};

struct ActionCase {
    const char* what;
    bool shell;  // "Open in Shell" through the child as opener, else "Create Process" of it
};
constexpr ActionCase kActions[] = {{"Create Process", false}, {"Open in Shell", true}};

void RunAction(const ActionCase& action, const std::string& child, ILog* log,
               IDesktopPort& desktop) {
    if (action.shell) SetShellOpenProgram(child);
    const std::string line =
        action.shell ? std::string("Open in Shell doc.txt") : "Create Process " + child;
    RunActionLine(line, log, TaskActionContext("Task A"), desktop);
}

TEST_F(ProcessKeeperTest, ChildRunsAtStartupPriorityWhateverThreadStartsIt) {
    const int lowered = std::min(StartupNice() + 10, 19);
    if (lowered == StartupNice()) GTEST_SKIP() << "started at the lowest priority";
    std::vector<pid_t> pids;
    for (const ActionCase& action : kActions) {
        SCOPED_TRACE(action.what);
        const std::string name = action.shell ? "opener" : "program";
        const std::string child = MakeChild(name, 0);
        // As on the engine thread: lowered, and not able to come back.
        std::thread([&] {
            const auto tid = static_cast<id_t>(gettid());
            ASSERT_EQ(setpriority(PRIO_PROCESS, tid, lowered), 0);
            DropNiceCapability();
            EXPECT_NE(setpriority(PRIO_PROCESS, tid, StartupNice()), 0);
            ItemLogPtr log = MakeRef<CItemLog>();
            RunAction(action, child, log.get(), desktop_);
        }).join();
        pids.push_back(PidOf(name));
        ASSERT_NE(pids.back(), 0);
        ASSERT_TRUE(WaitUntil([&] { return dir_.ReadFile(name + ".nice").ends_with('\n'); }));
        EXPECT_EQ(dir_.ReadFile(name + ".nice"), Format("%d\n", StartupNice()));
    }
    dir_.WriteFile("go", "");
    for (pid_t pid : pids)
        EXPECT_TRUE(WaitUntil([&] { return !IsDirectory(Format("/proc/%d", pid)); }));
}

TEST_F(ProcessKeeperTest, ActionsReturnWhileTheChildRunsAndItIsReapedWhenItEnds) {
    const int threads = ThreadCount();
    for (const ActionCase& action : kActions) {
        SCOPED_TRACE(action.what);
        const std::string name = action.shell ? "opener" : "program";
        // An opener ending with 2 reports a missing target, which only its end can tell.
        const std::string child = MakeChild(name, action.shell ? 2 : 0);
        ItemLogPtr log = MakeRef<CItemLog>();
        RunAction(action, child, log.get(), desktop_);
        const pid_t pid = PidOf(name);
        ASSERT_NE(pid, 0);
        EXPECT_TRUE(IsDirectory(Format("/proc/%d", pid))) << "the child waits for its go";
        if (action.shell) {
            EXPECT_EQ(log->GetText(), "S:\tShellExecute opening: \"doc.txt\".\r\n");
        } else {
            EXPECT_EQ(log->GetText(), Format("S:\tCreating process: \"%s\".\r\n"
                                             "S:\tCreated process: \"%s\" (OK).\r\n",
                                             child, child));
        }
        EXPECT_LE(ThreadCount(), threads) << "no thread per child";

        dir_.WriteFile("go", "");
        // Reaped: no zombie keeps the pid.
        EXPECT_TRUE(WaitUntil([&] { return !IsDirectory(Format("/proc/%d", pid)); }));
        if (action.shell) {
            EXPECT_TRUE(WaitUntil([&] {
                return log->GetText() ==
                       "S:\tShellExecute opening: \"doc.txt\".\r\n"
                       "E:\tThe specified file was not found.\r\n";
            })) << log->GetText();
        }
        std::remove((dir_ / "go").c_str());
    }
}

}  // namespace
}  // namespace tellweir
