// The address record a URL text is split into, and parsing and composing URL texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "url/protocol.h"

namespace tellweir {

// Scheme, user, password, host and port of a URL. The path travels beside the record (a
// transfer keeps both), so the same site can be addressed with different paths.
struct CUrlAddress {
    std::string host;      // trimmed, no trailing '.', lower case after parsing
    std::string user;      // lower case after parsing; empty when none
    std::string password;  // kept as written; empty when none
    std::int32_t port = -1;
    ProtocolId protocol = ProtocolId::Unknown;

    void Reset() { *this = CUrlAddress(); }
    bool operator==(const CUrlAddress&) const = default;
};

// Splits `text` into `address` and `path` (everything from the first '/' or '\' after the
// authority, query and fragment included). Strict parsing needs a known scheme prefix; lenient
// parsing guesses HTTP or FTP for a text without "://". The port is the explicit one, else the
// protocol's default; one above 65534 fails. On failure the record holds what was filled so
// far and must be treated as invalid.
bool ParseUrl(std::string_view text, bool strict, CUrlAddress& address, std::string& path);

// Builds a URL text. The host is trimmed and lowered, the user lowered; the port is written only
// when it differs from the protocol's default; a path without a leading '/' gets one. An empty
// host or protocol Unknown gives an empty text.
std::string ComposeUrl(ProtocolId protocol, std::string_view host, std::string_view path,
                       std::int32_t port, std::string_view user, std::string_view password);

// Which optional parts the record form of ComposeUrl writes.
struct UrlParts {
    bool path = false;
    bool user = false;
    bool password = false;
};

// ComposeUrl(address, path, {.path = true, .user = true}) is the URL with path and user but
// without password.
std::string ComposeUrl(const CUrlAddress& address, std::string_view path, UrlParts parts);

}  // namespace tellweir
