// The cookie store: storing, Set-Cookie values, the Cookie text of a request, removal.
#include "net/cookie/cookie_store.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "base/ascii_text.h"
#include "base/change_stamp.h"
#include "net/cookie/cookie_date.h"
#include "net/cookie/cookie_key.h"

namespace tellweir {
namespace {

// The parts of a Set-Cookie value the store uses; views into the value. Of each attribute the
// last usable one counts.
struct SetCookieFields {
    std::string_view name;
    std::string_view value;
    std::optional<std::string_view> domain;  // never empty
    std::optional<std::string_view> path;    // empty when it did not begin with '/'
    std::optional<std::time_t> expires;
    std::optional<std::int64_t> maxAge;
    bool secure = false;
};

// Seconds of a Max-Age value: an optional '-' and digits, nothing else. Large values saturate.
std::optional<std::int64_t> ParseMaxAge(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    constexpr std::int64_t kCeiling = std::int64_t{1} << 50;
    std::int64_t seconds = 0;
    for (const char c : text) {
        if (!IsAsciiDigit(c)) return std::nullopt;
        seconds = seconds >= kCeiling ? kCeiling : seconds * 10 + (c - '0');
    }
    return negative ? -seconds : seconds;
}

// The name=value pair runs to the first ';' and needs a '=' and a name; attributes follow, each
// up to the next ';', a name with an optional "=value", both trimmed. "secure" counts by its
// name alone; unknown attributes and unreadable values are ignored.
std::optional<SetCookieFields> ParseSetCookie(std::string_view text) {
    SetCookieFields fields;
    std::size_t end = text.find(';');
    const std::string_view pair = text.substr(0, end);
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    fields.name = TrimAsciiSpace(pair.substr(0, equals));
    fields.value = TrimAsciiSpace(pair.substr(equals + 1));
    if (fields.name.empty()) return std::nullopt;
    while (end != std::string_view::npos) {
        const std::size_t start = end + 1;
        end = text.find(';', start);
        const std::string_view attribute = text.substr(start, end - start);
        const std::size_t split = attribute.find('=');
        const std::string_view name = TrimAsciiSpace(attribute.substr(0, split));
        const std::string_view value = split == std::string_view::npos
                                           ? std::string_view()
                                           : TrimAsciiSpace(attribute.substr(split + 1));
        if (EqualsIgnoreAsciiCase(name, "secure")) {
            fields.secure = true;
        } else if (EqualsIgnoreAsciiCase(name, "expires")) {
            std::time_t utc = 0;
            if (ParseCookieExpires(value, utc)) fields.expires = utc;
        } else if (EqualsIgnoreAsciiCase(name, "max-age")) {
            if (const std::optional<std::int64_t> seconds = ParseMaxAge(value))
                fields.maxAge = seconds;
        } else if (EqualsIgnoreAsciiCase(name, "path")) {
            fields.path = value.starts_with('/') ? value : std::string_view();
        } else if (EqualsIgnoreAsciiCase(name, "domain")) {
            if (!value.empty()) fields.domain = value;
        }
    }
    return fields;
}

// The expiry of a Set-Cookie value received at `now`: Max-Age before Expires; none for a
// session cookie. A Max-Age of zero or less gives a time already past.
std::optional<std::time_t> ExpiryOf(const SetCookieFields& fields, std::time_t now) {
    static const std::time_t kLatest = CivilTimeToUtc({9999, 12, 31, 23, 59, 59});
    if (!fields.maxAge) return fields.expires;
    if (*fields.maxAge <= 0) return std::numeric_limits<std::time_t>::min();
    return now >= kLatest || *fields.maxAge >= kLatest - now ? kLatest : now + *fields.maxAge;
}

bool IsExpired(const CookieRecord& cookie, std::time_t now) {
    return cookie.expires && *cookie.expires <= now;
}

}  // namespace

CCookieStore& CCookieStore::Instance() {
    static CCookieStore store;
    return store;
}

CCookieStore::CCookieStore(Clock clock) : clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return std::time(nullptr); };
}

CCookieStore::~CCookieStore() = default;

std::optional<CCookieStore::Prepared> CCookieStore::Prepare(CookieRecord record) {
    record.text = std::string(TrimAsciiSpace(record.text));
    record.domain = CanonicalCookieDomain(record.domain);
    record.path = std::string(TrimAsciiSpace(record.path));
    if (record.text.empty() || record.text.size() > kMaxTextLength ||
        record.domain.size() > kMaxDomainLength || record.path.size() > kMaxPathLength)
        return std::nullopt;
    Prepared cookie{CookieKey(record.domain, record.path), std::move(record)};
    if (cookie.key.empty() || SplitCookieKey(cookie.key).size() > kMaxKeyComponents)
        return std::nullopt;
    return cookie;
}

std::optional<CCookieStore::Prepared> CCookieStore::PrepareFromText(
    std::string_view domain, std::string_view path, bool secure, bool hostOnly,
    std::string_view text, std::string_view expires, DateTime added) {
    CookieRecord record{std::string(domain), std::string(path), secure, hostOnly,
                        std::string(text),   std::nullopt,      added};
    expires = TrimAsciiSpace(expires);
    if (!expires.empty()) {
        std::time_t utc = 0;
        if (!ParseCookieExpires(expires, utc)) return std::nullopt;
        record.expires = utc;
    }
    return Prepare(std::move(record));
}

bool CCookieStore::StoreLocked(Prepared cookie, std::time_t now) {
    const std::vector<std::string_view> components = SplitCookieKey(cookie.key);
    if (IsExpired(cookie.record, now)) {
        if (tree_.Erase(components, cookie.record)) MarkChangedLocked();
        return false;
    }
    tree_.Set(components, std::move(cookie.record), kMaxCookiesPerKey);
    while (tree_.Count() > kMaxCookies)
        tree_.DropOldest();
    MarkChangedLocked();
    return true;
}

void CCookieStore::MarkChangedLocked() {
    stamp_ = NextChangeStamp(stamp_);
}

bool CCookieStore::AddCookie(std::string_view domain, std::string_view path, bool secure,
                             std::string_view text, std::string_view expires, DateTime added) {
    std::optional<Prepared> cookie =
        PrepareFromText(domain, path, secure, false, text, expires, added);
    if (!cookie) return false;
    const std::time_t now = clock_();
    std::lock_guard guard(lock_);
    StoreLocked(std::move(*cookie), now);
    return true;
}

bool CCookieStore::AddFromHeader(std::string_view setCookie, std::string_view host,
                                 std::string_view requestPath, DateTime added) {
    const std::optional<SetCookieFields> fields = ParseSetCookie(setCookie);
    const std::string requestHost = LowerAscii(TrimAsciiSpace(host));
    if (!fields || requestHost.empty()) return false;

    CookieRecord record;
    record.hostOnly = true;
    record.domain = CookieHostDomain(requestHost);
    if (fields->domain) {
        // A server sets cookies for itself or a domain above it, never for a bare top-level
        // name or someone else's site; an address stands for itself alone.
        const std::string domain = CanonicalCookieDomain(*fields->domain);
        if (IsIpAddressHost(requestHost)) {
            if (domain != requestHost) return false;
        } else {
            if (domain.find('.') == std::string::npos || !CookieDomainMatches(requestHost, domain))
                return false;
            record.domain = domain;
            record.hostOnly = false;
        }
    }
    record.path = fields->path && !fields->path->empty() ? std::string(*fields->path)
                                                         : DefaultCookiePath(requestPath);
    record.secure = fields->secure;
    record.text = std::string(fields->name) + "=" + std::string(fields->value);
    record.added = added;
    const std::time_t now = clock_();
    record.expires = ExpiryOf(*fields, now);

    std::optional<Prepared> cookie = Prepare(std::move(record));
    if (!cookie) return false;
    std::lock_guard guard(lock_);
    StoreLocked(std::move(*cookie), now);
    return true;
}

bool CCookieStore::GetCookieHeader(std::string_view host, std::string_view path, bool secure,
                                   std::string& out) {
    out.clear();
    host = TrimAsciiSpace(host);
    if (host.empty() || path.empty()) return false;
    const std::string requestDomain = CookieHostDomain(host);
    const std::string_view requestPath = CookieRequestPath(path);
    // Every cookie that can match is filed under the host's last two labels: a domain cookie's
    // domain has at least two, and ends the host.
    const std::string key = CookieKey(requestDomain, "/");
    std::vector<std::string_view> site = SplitCookieKey(key);
    if (site.size() < 2) return false;
    site.resize(2);

    const std::time_t now = clock_();
    std::vector<std::pair<std::size_t, std::string>> used;  // path length, text
    std::lock_guard guard(lock_);
    tree_.Walk(site, [&](const CookieRecord& cookie) {
        if (IsExpired(cookie, now)) return false;
        if (cookie.secure && !secure) return true;
        const bool hostMatches = cookie.hostOnly
                                     ? EqualsIgnoreAsciiCase(requestDomain, cookie.domain)
                                     : CookieDomainMatches(requestDomain, cookie.domain);
        if (hostMatches && CookiePathMatches(requestPath, cookie.path))
            used.emplace_back(cookie.path.size(), cookie.text);
        return true;
    });
    // More specific paths first; among equal ones the walk's order, oldest first in one node.
    std::stable_sort(used.begin(), used.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [length, text] : used) {
        if (!out.empty()) out += "; ";
        out += text;
    }
    return !used.empty();
}

bool CCookieStore::RemoveCookie(std::string_view domain, std::string_view path) {
    const std::string canonical = CanonicalCookieDomain(domain);
    path = TrimAsciiSpace(path);
    const std::string key = CookieKey(canonical, "/");
    const std::vector<std::string_view> node = SplitCookieKey(key);
    if (node.empty()) return false;
    bool removed = false;
    std::lock_guard guard(lock_);
    tree_.Walk(node, [&](const CookieRecord& cookie) {
        const bool match = EqualsIgnoreAsciiCase(cookie.domain, canonical) &&
                           EqualsIgnoreAsciiCase(cookie.path, path);
        removed = removed || match;
        return !match;
    });
    if (removed) MarkChangedLocked();
    return removed;
}

void CCookieStore::Clear() {
    std::lock_guard guard(lock_);
    ClearLocked();
}

void CCookieStore::ClearLocked() {
    if (tree_.Count() == 0) return;
    tree_.Clear();
    MarkChangedLocked();
}

void CCookieStore::Enumerate(const Visitor& visitor) {
    const std::time_t now = clock_();
    std::vector<Cookie> cookies;
    {
        std::lock_guard guard(lock_);
        cookies.reserve(tree_.Count());
        tree_.Walk({}, [&](const CookieRecord& cookie) {
            if (IsExpired(cookie, now)) return false;
            cookies.push_back({cookie.domain, cookie.path, cookie.secure, cookie.text,
                               cookie.expires ? FormatCookieExpires(*cookie.expires) : "",
                               cookie.added, cookie.hostOnly});
            return true;
        });
    }
    for (const Cookie& cookie : cookies)
        visitor(cookie);
}

std::uint32_t CCookieStore::GetStamp() const {
    std::lock_guard guard(lock_);
    return stamp_;
}

bool CCookieStore::IsModified() const {
    std::lock_guard guard(lock_);
    return savedStamp_ != stamp_;
}

}  // namespace tellweir
