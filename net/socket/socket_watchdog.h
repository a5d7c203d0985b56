// SocketWatchdog: the process-wide table of sockets inside a plain send or receive, with their
// deadlines. A periodic sweep wakes the calls whose deadline has passed, which then report the
// time-out (110).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "base/change_stamp.h"  // MonotonicMs: deadlines are values of this clock

namespace tellweir {

// Thread-safe: every operation takes the watchdog's one lock.
//
// A swept socket is shut down (both directions), never closed: closing a descriptor that its
// owner is blocked in neither wakes the call reliably nor is safe, as the number may be reused at
// once. The owner unregisters under the same lock before it closes, so a sweep can never touch a
// descriptor that has been closed and reused.
class SocketWatchdog {
  public:
    // The one watchdog of the process; lives until exit.
    static SocketWatchdog& Instance();

    // Inserts or updates the entry of `handle`; an invalid handle (-1) is ignored.
    void Register(int handle, std::int64_t deadlineMs);
    // Removes the entry; true when it was still there (that is, not swept).
    bool Unregister(int handle);
    // Shuts down and forgets every socket whose deadline has come by the monotonic clock now.
    void Sweep();
    // Sweep with `nowMs` as the present time.
    void SweepAt(std::int64_t nowMs);
    // True while `handle` has an entry.
    bool Contains(int handle) const;

  private:
    mutable std::mutex lock_;
    std::map<int, std::int64_t> deadlines_;
};

}  // namespace tellweir
