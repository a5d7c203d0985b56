// Starting programs for the "Create Process" and "Open in Shell" actions: posix_spawn with the
// current directory "/", no inherited descriptors beyond the standard three, never a zombie left
// behind (every child is reaped by a detached thread).
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tellweir {

// The end of a started child, filled in by its reaper thread.
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

struct SpawnResult {
    int error = 0;                       // 0, or the errno of the failed start
    std::shared_ptr<CProcessExit> exit;  // set when the child started
};

// Starts `program` with `args` (argv[1] onwards) and the parent's environment. With
// `searchPath` a name without '/' is looked up on PATH; otherwise the path is used as given.
// The call never waits for the child.
SpawnResult SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                         bool searchPath);

}  // namespace tellweir
