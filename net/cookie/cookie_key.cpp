// Cookie keys and the host and path tests.
#include "net/cookie/cookie_key.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

bool IsDomainTrim(char c) {
    return c == '.' || IsAsciiSpace(c);
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

std::string CookieHostDomain(std::string_view host) {
    host = TrimAsciiSpace(host);
    std::string domain(host);
    if (host.find('.') == std::string_view::npos) domain += ".local";
    return domain;
}

bool CookieDomainMatches(std::string_view host, std::string_view domain) {
    return EndsWithIgnoreAsciiCase(host, domain);
}

bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath) {
    return StartsWithIgnoreAsciiCase(requestPath, cookiePath);
}

}  // namespace tellweir
