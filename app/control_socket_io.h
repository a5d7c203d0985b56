// Bounded reads and writes on the control socket's non-blocking connections: every wait ends at
// a deadline, or at once when the stop descriptor becomes readable, so that neither a stalled
// peer nor a stop request leaves a thread waiting.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace tellweir {

using ControlClock = std::chrono::steady_clock;

enum class ControlIo { Done, TimedOut, Stopped, TooLarge, Failed };

// Writes all of `bytes`.
ControlIo WriteControlBytes(int fd, std::string_view bytes, ControlClock::time_point deadline,
                            int stopFd = -1);
// Appends what the peer sends to `into` until it holds `wanted` bytes or the peer stops writing
// (Done either way: the caller checks the size). TooLarge once `into` would grow past `cap`.
ControlIo ReadControlBytes(int fd, std::string& into, std::size_t wanted, std::size_t cap,
                           ControlClock::time_point deadline, int stopFd = -1);

}  // namespace tellweir
