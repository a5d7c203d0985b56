// CInstanceLock: the lock on a file in the data folder that keeps a second copy of the program,
// whatever its login session, from running the same tasks at the same time.
#pragma once

#include <string>

namespace tellweir {

class CInstanceLock {
  public:
    enum class Outcome { Locked, HeldElsewhere, NoFile };

    CInstanceLock() = default;
    ~CInstanceLock();  // releases the lock
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Locked when this process now holds the lock; HeldElsewhere while another process holds
    // it; NoFile when there is no data folder or the lock file cannot be made there.
    Outcome Acquire();
    // True when another process holds the lock (this one does not take it).
    static bool IsHeldElsewhere();
    // "tellweir.lock" in the data folder; empty without a data folder. The program identity
    // must be set. Not XDG_RUNTIME_DIR or /tmp: cron jobs and ssh logins have another or none.
    static std::string LockPath();

  private:
    int fd_ = -1;
};

}  // namespace tellweir
