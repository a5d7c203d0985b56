// Starting programs for the "Create Process" and "Open in Shell" actions: posix_spawn with the
// current directory "/", no inherited descriptors beyond the standard three, default signal
// handling, and the priority the program had at start-up, whichever thread asks. One keeper
// thread starts every child and reaps it when it ends, so no caller waits for a child and no
// zombie is left behind.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "port/child_environment.h"

namespace tellweir {

// The end of a started child, filled in by the keeper when it reaps the child.
class CProcessExit {
  public:
    // The exit status once the child has ended within `limit`: its exit code, or -1 when a
    // signal ended it. Nothing when it still runs.
    std::optional<int> WaitFor(std::chrono::milliseconds limit);
    void SetEnded(int exitCode);

  private:
    std::mutex lock_;
    std::condition_variable ended_;
    std::optional<int> exitCode_;
};

// Told once of a child's fate: its exit status (as CProcessExit gives it) when it ends within
// the limit, or nothing when it still runs once the limit has passed. Called on the keeper
// thread with no lock held; it should be short, and it must not wait for another child.
using ChildSettled = std::function<void(std::optional<int> exitCode)>;

struct ChildWatch {
    std::chrono::milliseconds limit{0};  // 0: no limit, `settled` only hears of the end
    ChildSettled settled;                // may be empty
};

struct SpawnResult {
    int error = 0;                       // 0, or the errno of the failed start
    std::shared_ptr<CProcessExit> exit;  // set when the child started
};

// Starts the keeper thread if it is not running. A child inherits the nice value of the thread
// that starts it, and an ordinary user cannot lower a raised one again; so the program calls this
// on the main thread at start-up, before any background thread lowers its priority. Without it
// the first SpawnProcess starts the keeper, which then tries to restore the start-up priority.
void PrepareProcessLaunch();

// Starts `program` with `args` (argv[1] onwards) and the parent's environment with
// `environment`'s entries, whose `keep` is held until the child has been reaped. With
// `searchPath` a name without '/' is looked up on PATH; otherwise the path is used as given.
// Waits only for the start itself, never for the child; `watch` hears of its end. Called with no
// log's lock held, since the keeper may be writing into that log meanwhile.
SpawnResult SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                         bool searchPath, ChildWatch watch = {}, ChildEnvironment environment = {});

}  // namespace tellweir
