// "Cookies.txt": one line per cookie with an expiry, read at start-up and written at exit.
#include <cmath>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "net/cookie/cookie_date.h"
#include "net/cookie/cookie_key.h"
#include "net/cookie/cookie_store.h"
#include "store/atomic_file.h"
#include "store/attribute_list.h"
#include "store/state_file.h"

namespace tellweir {
namespace {

constexpr std::string_view kLineTemplate =
    " Domain=\"%s\" Path=\"%s\" Secure=\"%d\" Expires=\"%s\" Cookie=\"%s\" Added=\"%s\"%s\r\n";
// Appended to the line of a host-only cookie. Readers take the names they know and skip the
// rest, so an older one still reads the line, as a cookie for the domain; a line without it,
// from such a reader or an older file, is a domain cookie here too, as it always was. A leading
// '.' cannot tell the two apart: the file has always kept a Domain attribute as the server wrote
// it, with or without one.
constexpr std::string_view kHostOnlyMark = " HostOnly=\"1\"";
constexpr const char* kAddedFormat = "%m/%d/%Y %H:%M:%S";

// Values are written between double quotes without escaping, one line each.
bool FitsTheFile(std::string_view value) {
    return value.find_first_of(std::string_view("\"\r\n\0", 4)) == std::string_view::npos;
}

// The added time as the file writes it; empty for a value outside the years 100-9999, which
// the reader could not take back.
std::string FormatAdded(DateTime added) {
    const auto dayOf = [](int year, unsigned month, unsigned day) {
        return static_cast<double>(DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30));
    };
    static const double kFirst = dayOf(100, 1, 1);
    static const double kLast = dayOf(10000, 1, 1) - 1.0 / 86400;
    if (!std::isfinite(added.days) || added.days < kFirst || added.days > kLast) return {};
    return added.Format(kAddedFormat);
}

// The added time read from the file, as local time; `fallback` when it cannot be read.
DateTime ParseAdded(std::string_view text, DateTime fallback) {
    CivilTime time;
    return ParseDateText(text, time) ? ToDateTime(time) : fallback;
}

// The values of one line of the file; later duplicates win.
struct FileLine {
    std::string domain;
    std::string path;
    std::string secure;
    std::string expires;
    std::string cookie;
    std::string added;
    std::string hostOnly;
};

FileLine ParseLine(std::string_view line) {
    FileLine fields;
    std::string* target = nullptr;
    ParseAttributeList(
        line,
        [&](std::string_view name) {
            target = EqualsIgnoreAsciiCase(name, "domain")     ? &fields.domain
                     : EqualsIgnoreAsciiCase(name, "path")     ? &fields.path
                     : EqualsIgnoreAsciiCase(name, "secure")   ? &fields.secure
                     : EqualsIgnoreAsciiCase(name, "expires")  ? &fields.expires
                     : EqualsIgnoreAsciiCase(name, "cookie")   ? &fields.cookie
                     : EqualsIgnoreAsciiCase(name, "added")    ? &fields.added
                     : EqualsIgnoreAsciiCase(name, "hostonly") ? &fields.hostOnly
                                                               : nullptr;
            return true;
        },
        [&](std::string_view value) {
            if (target) target->assign(value);
            return true;
        });
    return fields;
}

}  // namespace

bool CCookieStore::Load(const std::string& path) {
    const StateFileRead read = ReadStateFile(path, kMaxFileSize);
    if (!read.Read()) {
        // A file that exists but cannot be read is kept: Save does not write over it.
        if (!read.missing) KeepStateFile(path, read.problem);
        return false;
    }
    const std::string damage = DescribeLineFileDamage(read.text, {"Domain", "Cookie"});
    if (!damage.empty()) KeepStateFile(path, damage);
    LoadFromText(read.text);
    return true;
}

std::size_t CCookieStore::LoadFromText(std::string_view text) {
    const std::time_t utcNow = clock_();
    const DateTime now = DateTime::FromUnixTime(utcNow);
    std::size_t stored = 0;
    std::lock_guard guard(lock_);
    ClearLocked();
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const FileLine fields = ParseLine(line);
        std::optional<Prepared> cookie = PrepareFromText(
            fields.domain, fields.path, fields.secure == "1", fields.hostOnly == "1", fields.cookie,
            fields.expires, ParseAdded(fields.added, now));
        if (cookie && StoreLocked(std::move(*cookie), utcNow)) ++stored;
    }
    return stored;
}

std::string CCookieStore::SaveToText() {
    const std::time_t now = clock_();
    std::lock_guard guard(lock_);
    return FileTextLocked(now);
}

std::string CCookieStore::FileTextLocked(std::time_t now) {
    std::string text;
    tree_.Walk({}, [&](const CookieRecord& cookie) {
        if (!cookie.expires) return true;
        if (*cookie.expires <= now) return false;
        if (cookie.domain.empty() || cookie.path.empty() || !FitsTheFile(cookie.domain) ||
            !FitsTheFile(cookie.path) || !FitsTheFile(cookie.text))
            return true;
        text += Format(kLineTemplate, cookie.domain, cookie.path, cookie.secure ? 1 : 0,
                       FormatCookieExpires(*cookie.expires), cookie.text, FormatAdded(cookie.added),
                       cookie.hostOnly ? kHostOnlyMark : std::string_view());
        return true;
    });
    return text;
}

bool CCookieStore::Save(const std::string& path) {
    if (IsStateFileKept(path)) return false;
    std::lock_guard saving(saveLock_);
    const std::time_t now = clock_();
    std::string text;
    std::uint32_t stamp = 0;
    {
        std::lock_guard guard(lock_);
        text = FileTextLocked(now);
        stamp = stamp_;
    }
    // The file is written outside the store's lock, so requests do not wait for the disk.
    if (!WriteFileAtomically(path, text, 0600)) return false;
    std::lock_guard guard(lock_);
    savedStamp_ = stamp;
    return true;
}

}  // namespace tellweir
