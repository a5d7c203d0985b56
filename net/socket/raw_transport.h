// IRawTransport: the plain byte channel a TLS connection runs over (the socket's own receive and
// send, each bounded by the socket's time limit and the watchdog).
#pragma once

#include <cstdint>

#include "log/transfer_result.h"

namespace tellweir {

// Used only by the thread that owns the socket.
class IRawTransport {
  public:
    // At most `size` bytes: the count, 0 when the peer closed, -1 on failure (RawError says why).
    virtual std::int32_t RawReceive(void* buffer, std::int32_t size) = 0;
    // All `length` bytes: `length`, or -1 on failure (RawError says why).
    virtual std::int32_t RawSend(const void* data, std::int32_t length) = 0;
    // The error of the last failed raw call: a socket error, 110 for a time-out, 10035 when the
    // time limit is 0 and nothing was ready, 3 when the socket was interrupted.
    [[nodiscard]] virtual TransferResult RawError() const = 0;
    // True while the socket's handle is open.
    virtual bool IsOpen() const = 0;

  protected:
    ~IRawTransport() = default;
};

}  // namespace tellweir
