// The proxy mapping of the settings: rows that map a protocol (HTTP, HTTPS, FTP) to a proxy URL,
// their "Proxy/All" text, the row text shown in the list, and the settings that name the proxy
// in force for each protocol.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/property_set.h"
#include "url/protocol.h"

namespace tellweir {

struct ProxyRow {
    std::string protocol;  // "HTTP", "HTTPS" or "FTP"
    std::string url;       // composed without password
    bool checked = false;
};

// The settings behind one protocol of the mapping.
struct ProxyProtocolSettings {
    std::string_view name;
    PropertyId proxy;
    PropertyId enabled;
};
std::span<const ProxyProtocolSettings> ProxyProtocols();
// Null for a name that is none of the three.
const ProxyProtocolSettings* FindProxyProtocol(std::string_view name);

// The proxy types a row may use, in the order the proxy dialog offers them.
std::span<const ProtocolId> ProxyTypes();

// Splits "Proxy/All" into rows ("%s->%s;" entries); entries whose URL does not parse strictly
// are dropped. Every row comes back unchecked.
std::vector<ProxyRow> ParseProxyAll(std::string_view all);
std::string FormatProxyAll(const std::vector<ProxyRow>& rows);

// "%s: %s:%d" (type, host, port), or "%s: %s@%s:%d" with a user; empty for a URL that does
// not parse.
std::string ProxyRowText(std::string_view url);

// The proxy URL for a type, host, port and user; the password is never part of it.
std::string ComposeProxyUrl(ProtocolId type, std::string_view host, std::int32_t port,
                            std::string_view user);

}  // namespace tellweir
