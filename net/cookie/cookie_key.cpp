// Cookie keys and the host and path tests.
#include "net/cookie/cookie_key.h"

namespace tellweir {
namespace {

constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDomainTrim(char c) {
    return c == '.' || IsCookieSpace(c);
}

}  // namespace

std::string_view TrimCookieSpace(std::string_view text) {
    while (!text.empty() && IsCookieSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsCookieSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string CookieKey(std::string_view domain, std::string_view path) {
    while (!domain.empty() && IsDomainTrim(domain.front()))
        domain.remove_prefix(1);
    while (!domain.empty() && IsDomainTrim(domain.back()))
        domain.remove_suffix(1);
    if (domain.find('.') == std::string_view::npos) return {};

    std::string key;
    key.reserve(domain.size() + path.size() + 1);
    std::size_t end = domain.size();
    for (;;) {
        const std::size_t dot = domain.rfind('.', end - 1);
        const std::size_t start = dot == std::string_view::npos ? 0 : dot + 1;
        for (std::size_t i = start; i < end; ++i)
            key += LowerAscii(domain[i]);
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
    host = TrimCookieSpace(host);
    std::string domain(host);
    if (host.find('.') == std::string_view::npos) domain += ".local";
    return domain;
}

bool CookieTextEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool CookieDomainMatches(std::string_view host, std::string_view domain) {
    return host.size() >= domain.size() &&
           CookieTextEquals(host.substr(host.size() - domain.size()), domain);
}

bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath) {
    return requestPath.size() >= cookiePath.size() &&
           CookieTextEquals(requestPath.substr(0, cookiePath.size()), cookiePath);
}

}  // namespace tellweir
