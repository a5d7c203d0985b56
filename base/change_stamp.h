// Change stamps: milliseconds since system start, strictly increasing per object even when
// several changes fall into one millisecond.
#pragma once

#include <cstdint>

namespace tellweir {

// Milliseconds of the process's monotonic clock (since an arbitrary fixed point); socket
// deadlines are values of this clock.
std::int64_t MonotonicMs();

// MonotonicMs truncated to 32 bits.
std::uint32_t TickCountMs();

// The stamp that follows `previous`: the tick count, or previous + 1 when the clock has not
// moved past it.
std::uint32_t NextChangeStamp(std::uint32_t previous);

}  // namespace tellweir
