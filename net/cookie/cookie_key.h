// How the cookie store files and matches cookies: the tree key built from a domain and a path,
// the domain a host stands for, the default path of a cookie, and the host and path tests that
// decide whether a stored cookie goes with a request (RFC 6265 domain-match and path-match). All
// comparisons are ASCII, byte by byte, never through the C locale (base/ascii_text.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

// The key of a cookie: the domain trimmed of blanks and of '.' at both ends, lower-cased, its
// labels written last to first, each followed by '/', then the path without its leading '/'
// (the path keeps its case). ".Site.test" with "/docs" gives "test/site/docs". Empty when the
// domain has fewer than two labels. Different cookies may share a key ("x.site.test" with "/"
// and "site.test" with "/x"): a key files cookies, it does not name one.
std::string CookieKey(std::string_view domain, std::string_view path);

// The '/'-separated components of a key, without empty ones: "test/site/" gives test, site.
std::vector<std::string_view> SplitCookieKey(std::string_view key);

// A domain as the store keeps it: blanks at both ends and dots at the front trimmed,
// lower-cased (" .Site.Test" gives "site.test").
std::string CanonicalCookieDomain(std::string_view domain);

// The domain that stands for a request host: the host lower-cased, with ".local" appended when
// it has no '.', so that cookies of an intranet host are filed and found under a key of two
// labels.
std::string CookieHostDomain(std::string_view host);

// True for an IPv4 or IPv6 address (brackets allowed around the latter).
bool IsIpAddressHost(std::string_view host);

// Whether `host` domain-matches `domain`, ignoring case and a leading '.' of the domain: the two
// are equal, or the host ends with '.' and the domain and is not an IP address. "site.test"
// matches "www.site.test" but not "awww.site.test"; an IP address matches only itself.
bool CookieDomainMatches(std::string_view host, std::string_view domain);

// The path of a request target: the part before any '?' or '#'.
std::string_view CookieRequestPath(std::string_view target);

// The path a cookie gets without a usable Path attribute: the request path up to, not
// including, its last '/'; "/" when that leaves nothing or the path does not begin with '/'.
// "/docs/index.html" gives "/docs", "/index.html" and "" give "/".
std::string DefaultCookiePath(std::string_view requestPath);

// Whether `requestPath` path-matches `cookiePath`, case-sensitively: equal, or the cookie path is
// a prefix that ends with '/' or is followed by '/' in the request path. "/docs" matches
// "/docs/a" but not "/docsx".
bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath);

}  // namespace tellweir
