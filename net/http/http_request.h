// Building the head of an HTTP request from a transfer's properties, and the forms of its POST
// body.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/property_set.h"
#include "url/url_address.h"

namespace tellweir::prop {

// Request properties only the HTTP client reads.
inline constexpr PropertyId kReferrer = 105;  // string: sent as Referer when enabled
inline constexpr PropertyId kCookie = 106;  // string: the Cookie value, filled before each request

}  // namespace tellweir::prop

namespace tellweir {

// The path a request asks for: the path a redirect within the host set (61), else the URL's
// path (50).
std::string RequestPath(const CPropertySet& transfer);

// The request head, up to and including its empty line. `address` is the transfer's address
// with the password to send; `viaProxy` asks for the absolute target an HTTP proxy needs, which
// names no user or password (those go in Authorization only). For GET, `start` and `end` give
// the range (end -1: to the end; start 0 and end -1: none); for POST, `end` is the body length.
// Header lines in a fixed order: request line, Host, Range or Content-Length and Content-Type,
// Accept, Pragma, Referer, Accept-Encoding, User-Agent, Connection (and Proxy-Connection),
// Cookie, Authorization.
std::string BuildRequest(const CPropertySet& transfer, const CUrlAddress& address,
                         std::string_view method, bool viaProxy, std::int64_t start,
                         std::int64_t end);

// `head` as a log may show it: the value of an Authorization or Proxy-Authorization line
// becomes its scheme and "****" ("Authorization: Basic ****"); every other line stays.
std::string MaskCredentialHeaders(std::string_view head);

// Standard Base64 with '=' padding.
std::string Base64Encode(std::string_view bytes);

// Where a POST body comes from: "data:" followed by the text (one leading '?' dropped),
// "file:" followed by a local path, or the whole text.
struct PostBody {
    bool fromFile = false;
    std::string text;  // the body, or the path of the file holding it
};
PostBody ParsePostData(std::string_view data);

}  // namespace tellweir
