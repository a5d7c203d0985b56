// Change stamps over the monotonic clock.
#include "base/change_stamp.h"

#include <chrono>

namespace tellweir {

std::int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::uint32_t TickCountMs() {
    return static_cast<std::uint32_t>(MonotonicMs());
}

std::uint32_t NextChangeStamp(std::uint32_t previous) {
    const std::uint32_t tick = TickCountMs();
    return previous >= tick ? previous + 1 : tick;
}

}  // namespace tellweir
