// CQueueFileLock: serialises the commands that change the queue file. Each holds an exclusive
// lock on a file beside the queue file from reading the queue until its new one is saved, so
// that commands run at the same time change the queue one after the other and lose nothing.
// The queue file itself cannot carry the lock: every save replaces it by a rename.
#pragma once

#include <chrono>
#include <string>

namespace tellweir {

// How long a command waits for another to finish with the queue file.
inline constexpr std::chrono::seconds kQueueLockWait{20};

class CQueueFileLock {
  public:
    enum class Outcome { Locked, TimedOut, NoFile };

    CQueueFileLock() = default;
    ~CQueueFileLock();  // releases the lock
    CQueueFileLock(const CQueueFileLock&) = delete;
    CQueueFileLock& operator=(const CQueueFileLock&) = delete;

    // Waits up to `limit` for the lock of `queuePath`, creating the lock file (and its folder)
    // when missing. NoFile when the path is empty or the lock file cannot be opened or locked.
    Outcome Acquire(const std::string& queuePath, std::chrono::milliseconds limit);

    // "<queue file>.lock".
    static std::string LockPath(const std::string& queuePath);

  private:
    int fd_ = -1;
};

}  // namespace tellweir
