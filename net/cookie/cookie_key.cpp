// Cookie keys and the host and path tests.
#include "net/cookie/cookie_key.h"

#include <arpa/inet.h>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

bool IsDomainTrim(char c) {
    return c == '.' || IsAsciiSpace(c);
}

bool IsDot(char c) {
    return c == '.';
}

}  // namespace

std::string CookieKey(std::string_view domain, std::string_view path) {
    domain = TrimAscii(domain, IsDomainTrim);
    if (domain.find('.') == std::string_view::npos) return {};

    std::string key;
    key.reserve(domain.size() + path.size() + 1);
    std::size_t end = domain.size();
    for (;;) {
        const std::size_t dot = domain.rfind('.', end - 1);
        const std::size_t start = dot == std::string_view::npos ? 0 : dot + 1;
        for (std::size_t i = start; i < end; ++i)
            key += ToLowerAscii(domain[i]);
        key += '/';
        if (dot == std::string_view::npos) break;
        end = dot;
        if (end == 0) break;  // cannot happen after the trim; keeps rfind's argument valid
    }
    if (!path.empty() && path.front() == '/') path.remove_prefix(1);
    key += path;
    return key;
}

std::vector<std::string_view> SplitCookieKey(std::string_view key) {
    std::vector<std::string_view> components;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t slash = key.find('/', start);
        if (slash == std::string_view::npos) slash = key.size();
        if (slash > start) components.push_back(key.substr(start, slash - start));
        start = slash + 1;
    }
    return components;
}

std::string CanonicalCookieDomain(std::string_view domain) {
    return LowerAscii(TrimLeadingAscii(TrimTrailingAscii(domain, IsAsciiSpace), IsDomainTrim));
}

std::string CookieHostDomain(std::string_view host) {
    std::string domain = LowerAscii(TrimAsciiSpace(host));
    if (domain.find('.') == std::string::npos) domain += ".local";
    return domain;
}

bool IsIpAddressHost(std::string_view host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty() || host.size() >= INET6_ADDRSTRLEN) return false;
    const std::string text(host);
    unsigned char address[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, text.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, text.c_str(), address) == 1;
}

bool CookieDomainMatches(std::string_view host, std::string_view domain) {
    domain = TrimLeadingAscii(domain, IsDot);
    if (domain.empty()) return false;
    if (EqualsIgnoreAsciiCase(host, domain)) return true;
    return host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.' &&
           EndsWithIgnoreAsciiCase(host, domain) && !IsIpAddressHost(host);
}

std::string_view CookieRequestPath(std::string_view target) {
    return target.substr(0, target.find_first_of("?#"));
}

std::string DefaultCookiePath(std::string_view requestPath) {
    const std::string_view path = CookieRequestPath(requestPath);
    const std::size_t slash = path.rfind('/');
    if (path.empty() || path.front() != '/' || slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (!requestPath.starts_with(cookiePath)) return false;
    return requestPath.size() == cookiePath.size() || cookiePath.ends_with('/') ||
           requestPath[cookiePath.size()] == '/';
}

}  // namespace tellweir
