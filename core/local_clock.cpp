// The replaceable local clock of the monitoring core.
#include "core/local_clock.h"

#include <mutex>

namespace tellweir {
namespace {

std::mutex g_clockLock;
LocalClock g_clock;

}  // namespace

DateTime LocalNow() {
    LocalClock clock;
    {
        std::lock_guard g(g_clockLock);
        clock = g_clock;
    }
    return clock ? clock() : DateTime::Now();
}

void SetLocalClock(LocalClock clock) {
    std::lock_guard g(g_clockLock);
    g_clock = std::move(clock);
}

std::string FormatTaskTime(DateTime time) {
    if (time.days == 0.0) return "not set";
    return "[" + time.Format("%x %X") + "]";
}

}  // namespace tellweir
