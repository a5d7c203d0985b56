// Thread priority through the calling thread's own nice value (Linux keeps one per thread).
#include "transfer/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace tellweir {

namespace {

// Well below interactive work, yet above the idle level 19.
constexpr int kBackgroundNice = 10;

}  // namespace

bool SetLowestThreadPriority() {
    const auto tid = static_cast<id_t>(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (current == -1 && errno != 0) return false;
    if (current >= kBackgroundNice) return true;
    return setpriority(PRIO_PROCESS, tid, kBackgroundNice) == 0;
}

}  // namespace tellweir
