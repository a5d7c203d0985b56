// The tunnel handshakes of proxies over a connection to the proxy: HTTP CONNECT (an HTTPS
// proxy), SOCKS4 and SOCKS5 with user and password (RFC 1928, RFC 1929).
#pragma once

#include <cstdint>
#include <string_view>

#include "log/log.h"
#include "log/transfer_result.h"
#include "net/socket/resolve.h"

namespace tellweir {

// The connection to the proxy; each send and each reply of a handshake must complete within
// `timeoutMs`, else the handshake ends with 110.
struct HandshakeChannel {
    int handle = -1;
    std::int32_t timeoutMs = 0;
};

// Each gives 0 once the tunnel stands, else the reason (102 for a refusal or a malformed reply,
// a SOCKS5 reply code, 10053 when the proxy closed, 110, or a socket error) after writing one
// line to `log` naming the target. The connection stays open either way.

// "CONNECT host:port HTTP/1.0"; the tunnel stands on a 200 reply with nothing after its header.
[[nodiscard]] TransferResult OpenConnectTunnel(const HandshakeChannel& channel,
                                               std::string_view host, int port, ILog* log);

// SOCKS4 connect with `user` as the user id ("noname" when empty).
[[nodiscard]] TransferResult OpenSocks4Tunnel(const HandshakeChannel& channel, Ipv4Address target,
                                              int port, std::string_view user, ILog* log);

// SOCKS5 connect, offering user and password authentication when `user` is not empty, else
// none. A user or password longer than 255 bytes cannot be carried and is refused with 102.
[[nodiscard]] TransferResult OpenSocks5Tunnel(const HandshakeChannel& channel, Ipv4Address target,
                                              int port, std::string_view user,
                                              std::string_view password, ILog* log);

}  // namespace tellweir
