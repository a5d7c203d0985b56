// posix_spawn with a reaper thread per child.
#include "core/process_launch.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace tellweir {
namespace {

// Waits for the child on a detached thread, so that it never stays a zombie and whoever wants
// its exit status can wait for it with a time limit.
void StartReaper(pid_t pid, const std::shared_ptr<CProcessExit>& exit) {
    try {
        std::thread([pid, exit] {
            int status = 0;
            pid_t r;
            do {
                r = waitpid(pid, &status, 0);
            } while (r < 0 && errno == EINTR);
            exit->SetEnded(r == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        }).detach();
    } catch (...) {
        // No thread to be had: the child runs on, unreaped, and its end stays unknown.
        exit->SetEnded(-1);
    }
}

class CSpawnSetup {
  public:
    CSpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
        // Descriptors the parent opened (sockets, files) stay with the parent.
        posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
        posix_spawn_file_actions_addchdir_np(&actions_, "/");
    }
    ~CSpawnSetup() {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }
    CSpawnSetup(const CSpawnSetup&) = delete;
    CSpawnSetup& operator=(const CSpawnSetup&) = delete;

    const posix_spawn_file_actions_t* Actions() const { return &actions_; }
    const posix_spawnattr_t* Attributes() const { return &attributes_; }

  private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

}  // namespace

std::optional<int> CProcessExit::WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock g(lock_);
    ended_.wait_for(g, limit, [this] { return exitCode_.has_value(); });
    return exitCode_;
}

void CProcessExit::SetEnded(int exitCode) {
    std::lock_guard g(lock_);
    exitCode_ = exitCode;
    ended_.notify_all();
}

SpawnResult SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                         bool searchPath) {
    if (program.empty()) return {ENOENT, nullptr};
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const CSpawnSetup setup;
    pid_t pid = -1;
    const int rc = searchPath ? posix_spawnp(&pid, program.c_str(), setup.Actions(),
                                             setup.Attributes(), argv.data(), environ)
                              : posix_spawn(&pid, program.c_str(), setup.Actions(),
                                            setup.Attributes(), argv.data(), environ);
    if (rc != 0) return {rc, nullptr};
    auto exit = std::make_shared<CProcessExit>();
    StartReaper(pid, exit);
    return {0, exit};
}

}  // namespace tellweir
