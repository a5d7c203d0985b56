// Thread priority through the calling thread's own nice value (Linux keeps one per thread, and
// a new thread or process starts with the nice value of the thread that made it).
#include "transfer/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace tellweir {

namespace {

// Well below interactive work, yet above the idle level 19.
constexpr int kBackgroundNice = 10;

std::optional<int> ThreadNice(id_t tid) {
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (current == -1 && errno != 0) return std::nullopt;
    return current;
}

id_t CallingThread() {
    return static_cast<id_t>(gettid());
}

// Taken while the program loads, on the main thread: no thread has lowered itself yet.
[[maybe_unused]] const int g_recordedAtLoad = StartupNice();

}  // namespace

int StartupNice() {
    static const int nice = ThreadNice(CallingThread()).value_or(0);
    return nice;
}

bool SetLowestThreadPriority() {
    const id_t tid = CallingThread();
    const std::optional<int> current = ThreadNice(tid);
    if (!current) return false;
    if (*current >= kBackgroundNice) return true;
    return setpriority(PRIO_PROCESS, tid, kBackgroundNice) == 0;
}

bool RestoreStartupPriority() {
    const id_t tid = CallingThread();
    const std::optional<int> current = ThreadNice(tid);
    if (!current) return false;
    if (*current == StartupNice()) return true;
    return setpriority(PRIO_PROCESS, tid, StartupNice()) == 0;
}

}  // namespace tellweir
