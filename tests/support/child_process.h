// ChildProcess: a real server program started for a test (posix_spawn), waited for until its
// port accepts connections, and always stopped and reaped at the end.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace tellweir::testing {

// The full path of program `name` (searched on PATH, then /usr/sbin and /sbin, where Debian
// puts daemons); empty when it is not installed.
std::string FindProgram(std::string_view name);

// Not thread-safe: owned and driven by one test.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();  // Stop
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (a name is looked up with FindProgram) with the other elements as its
    // arguments, in a process group of its own, stdin from /dev/null and stdout and stderr
    // appended to `outputPath` (or /dev/null). False with the reason in Error() when the program
    // is missing or cannot be started.
    bool Start(const std::vector<std::string>& argv, const std::string& outputPath = {});
    // Waits until 127.0.0.1:`port` accepts a TCP connection; false (reason in Error()) when the
    // process ends first or `limit` passes.
    bool WaitForPort(int port, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // True while the process has not ended.
    bool Running();
    // Waits until the process ends by itself and gives its exit status (0 for success); -1 when
    // `limit` passes first (the process is then stopped) or it ended by a signal.
    int WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Sends SIGTERM to the process group, waits up to two seconds, then SIGKILL; always reaps
    // the process. Safe to call more than once.
    void Stop();

    pid_t Pid() const { return pid_; }
    const std::string& Error() const { return error_; }
    // What the process wrote so far (empty without an output file).
    std::string Output() const;

  private:
    // Reaps the process if it has ended; true when it has (its exit status in exitStatus_).
    bool Reap(bool wait);

    pid_t pid_ = -1;
    int exitStatus_ = -1;
    std::string outputPath_;
    std::string error_;
};

// Runs a program to its end (ChildProcess::Start, then WaitForExit); its exit status, or -1 with
// the reason in `error`.
int RunProgram(const std::vector<std::string>& argv, const std::string& outputPath,
               std::string& error, std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace tellweir::testing
