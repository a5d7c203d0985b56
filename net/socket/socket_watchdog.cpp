// The socket watchdog.
#include "net/socket/socket_watchdog.h"

#include <sys/socket.h>

namespace tellweir {

SocketWatchdog& SocketWatchdog::Instance() {
    static SocketWatchdog watchdog;
    return watchdog;
}

void SocketWatchdog::Register(int handle, std::int64_t deadlineMs) {
    if (handle < 0) return;
    std::lock_guard guard(lock_);
    deadlines_[handle] = deadlineMs;
}

bool SocketWatchdog::Unregister(int handle) {
    std::lock_guard guard(lock_);
    return deadlines_.erase(handle) != 0;
}

void SocketWatchdog::Sweep() {
    SweepAt(MonotonicMs());
}

void SocketWatchdog::SweepAt(std::int64_t nowMs) {
    std::lock_guard guard(lock_);
    for (auto it = deadlines_.begin(); it != deadlines_.end();) {
        if (nowMs >= it->second) {
            ::shutdown(it->first, SHUT_RDWR);
            it = deadlines_.erase(it);
        } else {
            ++it;
        }
    }
}

bool SocketWatchdog::Contains(int handle) const {
    std::lock_guard guard(lock_);
    return deadlines_.count(handle) != 0;
}

}  // namespace tellweir
