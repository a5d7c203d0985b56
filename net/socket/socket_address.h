// Conversions between the socket layer's address and port (host order) and sockaddr_in.
#pragma once

#include <netinet/in.h>

#include "net/socket/resolve.h"

namespace tellweir {

inline sockaddr_in ToSockaddr(Ipv4Address address, int port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(address);
    result.sin_port = htons(static_cast<in_port_t>(port));
    return result;
}

inline void FromSockaddr(const sockaddr_in& from, Ipv4Address& address, int& port) {
    address = ntohl(from.sin_addr.s_addr);
    port = ntohs(from.sin_port);
}

}  // namespace tellweir
