// Socket errors as transfer results: errno values become the Windows Sockets numbers that the
// result table, the "Network Error" event and the retry rules are written in.
#pragma once

#include "log/transfer_result.h"

namespace tellweir {

// The socket error numbers this layer sets by name.
namespace sockerr {
inline constexpr TransferResult kInterrupted = 10004;
inline constexpr TransferResult kInvalidArgument = 10022;
inline constexpr TransferResult kWouldBlock = 10035;
inline constexpr TransferResult kConnectionAborted = 10053;
inline constexpr TransferResult kConnectionReset = 10054;
inline constexpr TransferResult kNotConnected = 10057;
inline constexpr TransferResult kTimedOut = 10060;
}  // namespace sockerr

// The Windows Sockets number of `error` (an errno value); any errno without one gives 10022.
[[nodiscard]] TransferResult SocketErrorFromErrno(int error);

// SocketErrorFromErrno of the calling thread's errno.
[[nodiscard]] TransferResult LastSocketError();

}  // namespace tellweir
