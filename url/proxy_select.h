// Choosing the proxy for a transfer from its own proxy text and the proxy settings.
#pragma once

#include <string>

#include "store/property_set.h"
#include "url/url_address.h"

namespace tellweir {

// The transfer request's own proxy URL, set per monitor task; empty chooses by the settings.
inline constexpr PropertyId kRequestProxyUrl = 500;

// The proxy text to hand to CNetSocket::ConnectVia for a transfer to `target`; empty means a
// direct connection. `request` is the transfer request (its property 500), `settings` the
// application settings ("Proxy/..."). A proxy text that does not parse strictly, "NO", an FTP
// proxy for an HTTPS target, a local host (IsLocalHost, with "Skip Local") and a host on the
// skip list get no proxy; an HTTP proxy for an HTTPS target becomes an HTTPS proxy, so the
// connection tunnels through it with CONNECT.
std::string SelectProxy(const CPropertySet& request, const CUrlAddress& target,
                        const CPropertySet& settings);

// True when `host` matches one of the ';'-separated wildcard masks of `skipList`.
bool IsOnSkipList(std::string_view skipList, std::string_view host);

}  // namespace tellweir
