// CInstanceLock: the per-user lock that keeps a second copy of the program from running the
// same tasks at the same time.
#pragma once

#include <string>

namespace tellweir {

class CInstanceLock {
  public:
    CInstanceLock() = default;
    ~CInstanceLock();  // releases the lock
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // True when this process now holds the lock; false while another process holds it.
    bool Acquire();
    // True when another process holds the lock (this one does not take it).
    static bool IsHeldElsewhere();
    // "$XDG_RUNTIME_DIR/tellweir.lock", or a per-user file in the temporary folder.
    static std::string LockPath();

  private:
    int fd_ = -1;
};

}  // namespace tellweir
