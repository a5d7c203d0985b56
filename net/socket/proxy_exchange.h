// ProxyExchange: the sends and reads of one proxy handshake, each bounded by the channel's time
// limit, with the handshake's failure lines (both name the tunnel's target).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/socket/proxy_handshake.h"

namespace tellweir {

class ProxyExchange {
  public:
    ProxyExchange(const HandshakeChannel& channel, ILog* log, std::string target, int port);

    // Sends all of `bytes`: 0, or the error after the "via proxy (error: %d)" line.
    [[nodiscard]] TransferResult Send(std::string_view bytes);
    // Reads until `size` bytes have come, the peer closed or the time is up; gives the count
    // read (possibly short), or -1 with `error` set. Writes nothing to the log.
    std::int64_t ReadFull(void* buffer, std::size_t size, TransferResult& error);
    // Reads pieces of at most 256 bytes into `reply` until it holds "\r\n\r\n"; `headerEnd` is
    // the length up to and including it. 0, or the error after the "via proxy (error)" line.
    [[nodiscard]] TransferResult ReadHeaderBlock(std::string& reply, std::size_t& headerEnd);

    // Writes "Cannot connect to %s:%d via proxy." and gives `code`.
    [[nodiscard]] TransferResult Refused(TransferResult code = result::kInvalidParameter);
    // Writes "Cannot connect to %s:%d via proxy (error: %d)." and gives `code`.
    [[nodiscard]] TransferResult Failed(TransferResult code);

  private:
    std::int64_t Deadline() const;

    HandshakeChannel channel_;
    ILog* log_;
    std::string target_;
    int port_;
};

}  // namespace tellweir
