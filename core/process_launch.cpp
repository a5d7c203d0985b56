// The child keeper: one thread that starts every child, so that each inherits the keeper's
// start-up priority rather than the lowered one of the engine thread, and that reaps each when
// it ends, watching all of them at once through pidfds.
#include "core/process_launch.h"

#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <thread>

#include "transfer/thread_priority.h"

extern char** environ;

namespace tellweir {
namespace {

using Clock = std::chrono::steady_clock;

// Without pidfds (kernels before 5.3) children are looked at this often instead.
constexpr int kFallbackPollMs = 100;

int OpenPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// The parent's environment with `entries` added, each replacing a parent's entry of its name;
// `envp` points into `merged` and ends with a null.
char** MergeEnvironment(const std::vector<std::string>& entries, std::vector<std::string>& merged,
                        std::vector<char*>& envp) {
    const auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
    for (char** parent = environ; parent != nullptr && *parent != nullptr; ++parent) {
        const std::string_view name = nameOf(*parent);
        const bool replaced = std::any_of(entries.begin(), entries.end(),
                                          [&](const auto& entry) { return nameOf(entry) == name; });
        if (!replaced) merged.emplace_back(*parent);
    }
    merged.insert(merged.end(), entries.begin(), entries.end());
    for (std::string& entry : merged)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    return envp.data();
}

class CSpawnSetup {
  public:
    CSpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
        // Descriptors the parent opened (sockets, files) stay with the parent.
        posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
        posix_spawn_file_actions_addchdir_np(&actions_, "/");
        // The program blocks SIGINT and SIGTERM in its threads and ignores SIGPIPE; a started
        // program gets the ordinary handling, so that it can be stopped and sees broken pipes.
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attributes_, &all);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
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

struct SpawnJob {
    const std::string& program;
    const std::vector<std::string>& args;
    bool searchPath;
    ChildWatch watch;
    ChildEnvironment environment;
    SpawnResult result;
    bool done = false;  // under the keeper's lock
};

class CChildKeeper {
  public:
    CChildKeeper() {
        wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd_ < 0) return;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No keeper: every start fails rather than leave children nobody reaps.
        }
    }
    ~CChildKeeper() {
        {
            std::lock_guard g(lock_);
            stopping_ = true;
        }
        Wake();
        if (thread_.joinable()) thread_.join();
        // Children still running are left to the system, which reaps them once we are gone.
        for (const Child& child : children_)
            if (child.pidfd >= 0) close(child.pidfd);
        if (wakeFd_ >= 0) close(wakeFd_);
    }
    CChildKeeper(const CChildKeeper&) = delete;
    CChildKeeper& operator=(const CChildKeeper&) = delete;

    SpawnResult Spawn(SpawnJob& job) {
        if (!thread_.joinable()) return {EAGAIN, nullptr};
        // A settled callback that starts a program is already where children are started.
        if (std::this_thread::get_id() == thread_.get_id()) {
            StartChild(job);
            return job.result;
        }
        std::unique_lock g(lock_);
        if (stopping_) return {ECANCELED, nullptr};
        jobs_.push_back(&job);
        Wake();
        answered_.wait(g, [&job] { return job.done; });
        return job.result;
    }

  private:
    struct Child {
        pid_t pid = -1;
        int pidfd = -1;
        std::shared_ptr<CProcessExit> exit;
        std::optional<Clock::time_point> deadline;
        ChildSettled settled;
        std::shared_ptr<const void> keep;  // released once the child is reaped
    };

    void Wake() {
        const std::uint64_t one = 1;
        if (wakeFd_ >= 0) (void)!write(wakeFd_, &one, sizeof one);  // a full counter wakes too
    }

    void Run() {
        // Nothing to do when a thread at the start-up priority made the keeper; otherwise only a
        // privileged program gets it back.
        (void)RestoreStartupPriority();
        for (;;) {
            std::vector<SpawnJob*> jobs;
            {
                std::lock_guard g(lock_);
                if (stopping_) break;
                jobs.swap(jobs_);
            }
            for (SpawnJob* job : jobs) {
                StartChild(*job);
                std::lock_guard g(lock_);
                job->done = true;  // the job belongs to its caller again from here
            }
            if (!jobs.empty()) answered_.notify_all();
            ReapEnded();
            SettleOverdue();
            WaitForNews();
        }
        std::lock_guard g(lock_);
        for (SpawnJob* job : jobs_) {
            job->result = {ECANCELED, nullptr};
            job->done = true;
        }
        jobs_.clear();
        answered_.notify_all();
    }

    void StartChild(SpawnJob& job) {
        job.result = {};
        if (job.program.empty()) {
            job.result.error = ENOENT;
            return;
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(job.program.c_str()));
        for (const std::string& a : job.args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);

        // Read here, on the keeper, as every start reads the parent's environment.
        std::vector<std::string> merged;
        std::vector<char*> envp;
        char** const env = job.environment.entries.empty()
                               ? environ
                               : MergeEnvironment(job.environment.entries, merged, envp);
        const CSpawnSetup setup;
        pid_t pid = -1;
        const int rc = job.searchPath ? posix_spawnp(&pid, job.program.c_str(), setup.Actions(),
                                                     setup.Attributes(), argv.data(), env)
                                      : posix_spawn(&pid, job.program.c_str(), setup.Actions(),
                                                    setup.Attributes(), argv.data(), env);
        if (rc != 0) {
            job.result.error = rc;
            return;
        }
        Child child;
        child.pid = pid;
        child.pidfd = OpenPidfd(pid);
        child.exit = std::make_shared<CProcessExit>();
        if (job.watch.limit.count() > 0) child.deadline = Clock::now() + job.watch.limit;
        child.settled = std::move(job.watch.settled);
        child.keep = std::move(job.environment.keep);
        job.result.exit = child.exit;
        children_.push_back(std::move(child));
    }

    // Reaps every child that has ended; the callbacks run once the list is consistent, since one
    // may start another child.
    void ReapEnded() {
        std::vector<std::pair<Child, int>> ended;
        for (auto it = children_.begin(); it != children_.end();) {
            int status = 0;
            const pid_t r = waitpid(it->pid, &status, WNOHANG);
            if (r == 0) {
                ++it;
                continue;
            }
            // Anything but our child's status (ECHILD: reaped elsewhere) is an end we cannot read.
            const int code = r == it->pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            if (it->pidfd >= 0) close(it->pidfd);
            ended.emplace_back(std::move(*it), code);
            it = children_.erase(it);
        }
        for (auto& [child, code] : ended) {
            child.exit->SetEnded(code);
            if (child.settled) child.settled(code);
        }
    }

    void SettleOverdue() {
        const Clock::time_point now = Clock::now();
        std::vector<ChildSettled> overdue;
        for (Child& child : children_) {
            if (!child.deadline || *child.deadline > now) continue;
            child.deadline.reset();
            if (child.settled) overdue.push_back(std::move(child.settled));
            child.settled = nullptr;
        }
        for (const ChildSettled& settled : overdue)
            settled(std::nullopt);
    }

    // Sleeps until a child ends, a job comes, or the nearest deadline is due.
    void WaitForNews() {
        std::vector<pollfd> fds;
        fds.push_back({wakeFd_, POLLIN, 0});
        int timeoutMs = -1;
        const Clock::time_point now = Clock::now();
        for (const Child& child : children_) {
            if (child.pidfd >= 0)
                fds.push_back({child.pidfd, POLLIN, 0});
            else
                timeoutMs = kFallbackPollMs;
            if (!child.deadline) continue;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*child.deadline - now);
            const int ms = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
            if (timeoutMs < 0 || ms < timeoutMs) timeoutMs = ms;
        }
        if (poll(fds.data(), fds.size(), timeoutMs) > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count = 0;
            (void)!read(wakeFd_, &count, sizeof count);
        }
    }

    std::mutex lock_;
    std::condition_variable answered_;
    std::vector<SpawnJob*> jobs_;  // under lock_
    bool stopping_ = false;        // under lock_
    int wakeFd_ = -1;
    std::vector<Child> children_;  // the keeper thread's own
    std::thread thread_;
};

CChildKeeper& Keeper() {
    static CChildKeeper keeper;
    return keeper;
}

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

void PrepareProcessLaunch() {
    (void)Keeper();
}

SpawnResult SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                         bool searchPath, ChildWatch watch, ChildEnvironment environment) {
    if (program.empty()) return {ENOENT, nullptr};
    SpawnJob job{program, args, searchPath, std::move(watch), std::move(environment), {}};
    return Keeper().Spawn(job);
}

}  // namespace tellweir
