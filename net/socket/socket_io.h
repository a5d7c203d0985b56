// Time-bounded I/O on a socket descriptor: every wait ends at a deadline of the monotonic clock
// (MonotonicMs), whatever the descriptor's blocking mode. The building blocks of connecting, the
// proxy handshakes and the plain receive and send of CNetSocket.
#pragma once

#include <cstddef>
#include <cstdint>

#include "log/transfer_result.h"

namespace tellweir {

// Waits until `handle` is ready for `events` (POLLIN, POLLOUT); a hang-up or an error on the
// socket counts as ready, so the following call reports it. Gives 0 when ready, 110 once the
// deadline has come, else a socket error. A signal does not end the wait early.
[[nodiscard]] TransferResult WaitReady(int handle, short events, std::int64_t deadlineMs);

// One receive of at most `size` bytes once data is there: the byte count, 0 when the peer has
// closed, or -1 with `error` set (110 at the deadline).
std::int64_t ReceiveSome(int handle, void* buffer, std::size_t size, std::int64_t deadlineMs,
                         TransferResult& error);

// Receives until `size` bytes have arrived: `size`, or the count so far when the peer closed
// first, or -1 with `error` set.
std::int64_t ReceiveFull(int handle, void* buffer, std::size_t size, std::int64_t deadlineMs,
                         TransferResult& error);

// Sends all `length` bytes (never raising SIGPIPE): `length`, or -1 with `error` set.
std::int64_t SendAll(int handle, const void* data, std::size_t length, std::int64_t deadlineMs,
                     TransferResult& error);

}  // namespace tellweir
