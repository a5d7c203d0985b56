// The cookie store: storing, Set-Cookie values, the Cookie text of a request, removal.
#include "net/cookie/cookie_store.h"

#include <vector>

#include "base/ascii_text.h"
#include "base/change_stamp.h"
#include "net/cookie/cookie_date.h"
#include "net/cookie/cookie_key.h"

namespace tellweir {
namespace {

// The parts of a Set-Cookie value the store uses; views into the value.
struct SetCookieFields {
    std::string_view text;
    std::string_view domain;
    std::string_view path;
    std::string_view expires;
    bool secure = false;
};

// The cookie text runs up to the first ';' or blank; then attributes follow, each up to the
// next ';', a name with an optional "=value". "secure" counts by its name alone.
SetCookieFields ParseSetCookie(std::string_view value) {
    SetCookieFields fields;
    value = TrimAsciiSpace(value);
    std::size_t pos = 0;
    while (pos < value.size() && value[pos] != ';' && !IsAsciiSpace(value[pos]))
        ++pos;
    fields.text = value.substr(0, pos);
    while (pos < value.size()) {
        if (value[pos] == ';') ++pos;
        std::size_t end = value.find(';', pos);
        if (end == std::string_view::npos) end = value.size();
        const std::string_view attribute = value.substr(pos, end - pos);
        pos = end;
        const std::size_t equals = attribute.find('=');
        const std::string_view name = TrimAsciiSpace(attribute.substr(0, equals));
        const std::string_view content = equals == std::string_view::npos
                                             ? std::string_view()
                                             : TrimAsciiSpace(attribute.substr(equals + 1));
        if (EqualsIgnoreAsciiCase(name, "secure")) {
            fields.secure = true;
        } else if (EqualsIgnoreAsciiCase(name, "expires")) {
            fields.expires = content;
        } else if (EqualsIgnoreAsciiCase(name, "path")) {
            fields.path = content;
        } else if (EqualsIgnoreAsciiCase(name, "domain")) {
            fields.domain = content;
        }
    }
    return fields;
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

std::optional<CCookieStore::Prepared> CCookieStore::Prepare(std::string_view domain,
                                                            std::string_view path, bool secure,
                                                            std::string_view text,
                                                            std::string_view expires,
                                                            DateTime added) {
    text = TrimAsciiSpace(text);
    domain = TrimAsciiSpace(domain);
    path = TrimAsciiSpace(path);
    expires = TrimAsciiSpace(expires);
    if (text.empty() || text.size() > kMaxTextLength || domain.size() > kMaxDomainLength ||
        path.size() > kMaxPathLength)
        return std::nullopt;
    Prepared cookie{CookieKey(domain, path), {}};
    if (cookie.key.empty() || SplitCookieKey(cookie.key).size() > kMaxKeyComponents)
        return std::nullopt;
    if (!expires.empty()) {
        std::time_t utc = 0;
        if (!ParseCookieExpires(expires, utc)) return std::nullopt;
        cookie.record.expires = utc;
    }
    cookie.record.domain = domain;
    cookie.record.path = path;
    cookie.record.secure = secure;
    cookie.record.text = text;
    cookie.record.added = added;
    return cookie;
}

void CCookieStore::StoreLocked(Prepared cookie) {
    const std::vector<std::string_view> components = SplitCookieKey(cookie.key);
    tree_.Set(components, std::move(cookie.record));
    while (tree_.Count() > kMaxCookies)
        tree_.DropOldest();
    MarkChangedLocked();
}

void CCookieStore::MarkChangedLocked() {
    stamp_ = NextChangeStamp(stamp_);
}

bool CCookieStore::AddCookie(std::string_view domain, std::string_view path, bool secure,
                             std::string_view text, std::string_view expires, DateTime added) {
    std::optional<Prepared> cookie = Prepare(domain, path, secure, text, expires, added);
    if (!cookie) return false;
    std::lock_guard guard(lock_);
    StoreLocked(std::move(*cookie));
    return true;
}

bool CCookieStore::AddFromHeader(std::string_view setCookie, std::string_view host,
                                 DateTime added) {
    const SetCookieFields fields = ParseSetCookie(setCookie);
    if (fields.text.empty()) return false;
    const std::string domain =
        fields.domain.empty() ? CookieHostDomain(host) : std::string(fields.domain);
    const std::string_view path = fields.path.empty() ? std::string_view("/") : fields.path;
    return AddCookie(domain, path, fields.secure, fields.text, fields.expires, added);
}

bool CCookieStore::GetCookieHeader(std::string_view host, std::string_view path, bool secure,
                                   std::string& out) {
    out.clear();
    host = TrimAsciiSpace(host);
    if (host.empty() || path.empty()) return false;
    const std::string requestDomain = CookieHostDomain(host);
    const std::string key = CookieKey(requestDomain, "/");
    std::vector<std::string_view> site = SplitCookieKey(key);
    if (site.size() < 2) return false;
    site.resize(2);

    const std::time_t now = clock_();
    bool any = false;
    std::lock_guard guard(lock_);
    tree_.Walk(site, [&](const CookieRecord& cookie) {
        if (cookie.secure && !secure) return true;
        if (IsExpired(cookie, now)) return false;
        if (CookieDomainMatches(requestDomain, cookie.domain) &&
            CookiePathMatches(path, cookie.path)) {
            if (any) out += "; ";
            out += cookie.text;
            any = true;
        }
        return true;
    });
    return any;
}

bool CCookieStore::RemoveCookie(std::string_view domain, std::string_view path) {
    domain = TrimAsciiSpace(domain);
    path = TrimAsciiSpace(path);
    const std::string key = CookieKey(domain, "/");
    const std::vector<std::string_view> node = SplitCookieKey(key);
    if (node.empty()) return false;
    bool removed = false;
    std::lock_guard guard(lock_);
    tree_.Walk(node, [&](const CookieRecord& cookie) {
        const bool match = EqualsIgnoreAsciiCase(cookie.domain, domain) &&
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
                               cookie.added});
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
