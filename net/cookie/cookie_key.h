// How the cookie store files and matches cookies: the tree key built from a domain and a path,
// the domain a host stands for, and the host and path tests that decide whether a stored cookie
// goes with a request. All comparisons are ASCII, byte by byte, never through the C locale
// (base/ascii_text.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

// The key of a cookie: the domain trimmed of blanks and of '.' at both ends, lower-cased, its
// labels written last to first, each followed by '/', then the path without its leading '/'
// (the path keeps its case). ".Site.test" with "/docs" gives "test/site/docs". Empty when the
// domain has fewer than two labels.
std::string CookieKey(std::string_view domain, std::string_view path);

// The '/'-separated components of a key, without empty ones: "test/site/" gives test, site.
std::vector<std::string_view> SplitCookieKey(std::string_view key);

// The domain that stands for a request host: the host, with ".local" appended when it has no
// '.', so that cookies of an intranet host without a domain attribute are filed and found under
// a key of two labels.
std::string CookieHostDomain(std::string_view host);

// True when `host` ends with `domain`, ignoring case. A plain suffix test: "site.test" also
// matches "www.site.test".
bool CookieDomainMatches(std::string_view host, std::string_view domain);

// True when `requestPath` begins with `cookiePath`, ignoring case.
bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath);

}  // namespace tellweir
