// Which hosts count as local for "Do not use proxy for local addresses".
#pragma once

#include <string_view>

namespace tellweir {

// True for a host of the local network or of this machine: a name without '.' (or whose only
// '.' ends it), "localhost" and any "*.localhost", a loopback address: 127.0.0.0/8 as the socket
// layer reads dotted texts ("127.1" too), and ::1 or an IPv4-mapped loopback, with or without
// the brackets of a URL.
bool IsLocalHost(std::string_view host);

}  // namespace tellweir
