// ITrafficObserver: told of every byte count a socket moves, so a transfer can keep its totals.
#pragma once

#include <cstdint>

namespace tellweir {

// Called on the thread that uses the socket, right after a successful receive or send (payload
// bytes: after TLS decryption, before encryption). Must not call back into the socket.
class ITrafficObserver {
  public:
    virtual void OnReceived(std::int64_t count) = 0;
    virtual void OnSent(std::int64_t count) = 0;

  protected:
    ~ITrafficObserver() = default;
};

}  // namespace tellweir
