// CCookieStore: the cookies that servers set, kept for the whole process and sent back with
// later requests, by the rules of RFC 6265 without a public-suffix list: a server sets cookies
// only for its own host or a domain above it (never a bare top-level name), and a cookie goes
// only to the hosts, paths and schemes it was set for. Cookies with an expiry date persist in
// "Cookies.txt" (loaded at start-up, saved at exit); session cookies live until the process
// ends. Every operation takes the store's own lock, so worker threads may store and query
// concurrently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "net/cookie/cookie_tree.h"

namespace tellweir {

class CCookieStore {
  public:
    // The current time in seconds since 1970 (UTC). Tests pass a fixed one.
    using Clock = std::function<std::time_t()>;

    // One stored cookie as Enumerate reports it.
    struct Cookie {
        std::string domain;  // lower case, without a leading '.'
        std::string path;
        bool secure = false;
        std::string text;       // name=value
        std::string expires;    // "%m/%d/%Y %H:%M:%S GMT"; empty for a session cookie
        DateTime added;         // local time
        bool hostOnly = false;  // only for the host `domain`, not for the hosts below it
    };
    using Visitor = std::function<void(const Cookie&)>;

    // Limits against damaged or hostile input. A cookie text, domain or path beyond its limit,
    // or a key of more components, is refused; beyond kMaxCookies the cookie stored longest
    // ago makes room, as it does beyond kMaxCookiesPerKey among the cookies filed under one
    // key; a larger "Cookies.txt" is not read.
    static constexpr std::size_t kMaxTextLength = 4096;
    static constexpr std::size_t kMaxDomainLength = 255;
    static constexpr std::size_t kMaxPathLength = 1024;
    static constexpr std::size_t kMaxKeyComponents = 32;
    static constexpr std::size_t kMaxCookies = 10000;
    static constexpr std::size_t kMaxCookiesPerKey = 180;
    static constexpr std::size_t kMaxFileSize = 64 * 1024 * 1024;

    // The store of the process, created on first use with the system clock.
    static CCookieStore& Instance();

    explicit CCookieStore(Clock clock = {});
    CCookieStore(const CCookieStore&) = delete;
    CCookieStore& operator=(const CCookieStore&) = delete;
    virtual ~CCookieStore();

    // Stores a domain cookie (for the domain and the hosts below it), in place of the one of the
    // same name, domain and path. `expires` is empty for a session cookie, else a date text (see
    // ParseCookieExpires); a date already past only drops the cookie it would replace. False
    // when refused: empty or too long text, a domain of fewer than two labels, a date that
    // cannot be read, or a limit above.
    virtual bool AddCookie(std::string_view domain, std::string_view path, bool secure,
                           std::string_view text, std::string_view expires, DateTime added);
    // Takes the cookie of a Set-Cookie value that `host` sent in reply to a request for
    // `requestPath`. The name=value pair runs to the first ';' and needs a name. A Domain
    // attribute must domain-match the host and hold an inner dot, else the cookie is refused;
    // for an IP address host it must equal the host, and the cookie is then host-only, as is
    // any cookie without a Domain attribute (filed under the host, ".local" appended when it
    // has no '.'). A Path that does not begin with '/' gives the default path of `requestPath`.
    // Max-Age (seconds; a value of 0 or less deletes) wins over Expires; an unreadable one of
    // them is ignored. True when taken (stored, or the deletion done), false when refused.
    virtual bool AddFromHeader(std::string_view setCookie, std::string_view host,
                               std::string_view requestPath, DateTime added);
    // Sets `out` to the cookie texts for a request, joined with "; ", longer paths first: the
    // cookies whose domain domain-matches the host (host-only ones: equals it) and whose path
    // path-matches `path` (its query ignored); secure ones only when `secure`. Expired cookies
    // met on the way are dropped. True when any cookie was added.
    virtual bool GetCookieHeader(std::string_view host, std::string_view path, bool secure,
                                 std::string& out);
    // Drops the cookies under the domain's node whose domain and path equal these, ignoring
    // case and a leading '.' of the domain. True when one was dropped.
    virtual bool RemoveCookie(std::string_view domain, std::string_view path);
    virtual void Clear();
    // Reports every unexpired cookie, parents before children, dropping expired ones. The
    // visitor runs after the lock is released and may call the store.
    virtual void Enumerate(const Visitor& visitor);
    // Replaces the contents with the cookies of the file. False, and nothing changed, when the
    // file is missing, cannot be read or is larger than kMaxFileSize. A file that exists but
    // cannot be read, or has damaged lines, is kept (KeepStateFile) and Save leaves it alone.
    virtual bool Load(const std::string& path);
    // Writes the cookies that have an expiry to the file, through a temporary file renamed
    // over the old one (mode 0600): a failed save leaves the old file as it was. True on
    // success, which also marks the store unmodified; false for a kept file.
    virtual bool Save(const std::string& path);
    // Milliseconds since system start of the last change, strictly increasing.
    virtual std::uint32_t GetStamp() const;
    // True when the store changed since the last successful save.
    virtual bool IsModified() const;

    // The "Cookies.txt" content behind Load and Save. LoadFromText gives the number of cookies
    // stored. SaveToText leaves out, besides session cookies, any cookie whose domain, path or
    // text holds a double quote, a line break or a NUL, which the format cannot carry: such a
    // cookie lives for the session only.
    std::size_t LoadFromText(std::string_view text);
    std::string SaveToText();

  private:
    struct Prepared {
        std::string key;
        CookieRecord record;
    };
    // Trims the record's texts, puts its domain in canonical form, checks the limits and builds
    // the key. Nothing when refused.
    static std::optional<Prepared> Prepare(CookieRecord record);
    // The same for a cookie whose expiry is a date text, as AddCookie and the file give it.
    static std::optional<Prepared> PrepareFromText(std::string_view domain, std::string_view path,
                                                   bool secure, bool hostOnly,
                                                   std::string_view text, std::string_view expires,
                                                   DateTime added);
    // The rest need the lock held.
    // Stores the cookie, or for one expired at `now` drops the one it replaces. True when stored.
    bool StoreLocked(Prepared cookie, std::time_t now);
    void ClearLocked();
    void MarkChangedLocked();
    std::string FileTextLocked(std::time_t now);

    Clock clock_;
    std::mutex saveLock_;  // one Save at a time; taken before lock_
    mutable std::mutex lock_;
    CCookieTree tree_;
    std::uint32_t stamp_ = 0;
    std::uint32_t savedStamp_ = 0;
};

}  // namespace tellweir
