// Dates of cookies: the expires forms of Set-Cookie values with their month names, a reader of
// the common textual date forms (the fallback for other expires texts and the reader of the
// times in "Cookies.txt"), and the expiry text written to that file. Independent of the process
// locale: month and weekday names are always English (plus the French month forms servers use).
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tellweir {

// A calendar date and time of day without a time zone; month 1-12.
struct CivilTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// Year 100-9999 (two-digit years are refused, never widened), a day that exists in its month,
// 00:00:00-23:59:59.
bool IsValidCivilTime(const CivilTime& time);

// Seconds since 1970 of `time` read as UTC, as timegm gives.
std::time_t CivilTimeToUtc(const CivilTime& time);

// The month of a three-character name, ignoring case: Jan 1 ... Dec 12, then the French forms
// Fev 2, Avr 4, Mai 5. Zero for anything else, including longer names.
int CookieMonthFromName(std::string_view name);

// Reads the common date forms: "Wed, 09 Jun 2021 10:18:14", "Wednesday, 09-Jun-2021 10:18:14",
// "Wed Jun  9 10:18:14 2021", "06/09/2021 10:18:14" (month first), "2021-06-09 10:18:14", each
// with the time optional, an optional AM or PM, and full month names allowed. Zone names GMT,
// UTC, UT and Z are ignored. False for anything else or an invalid date.
bool ParseDateText(std::string_view text, CivilTime& out);

// The expiry of a cookie from its expires text, in seconds since 1970 (UTC). Tries, in order,
// "%*s %d-%3s-%d %d:%d:%d GMT", "%d-%3s-%d %d:%d:%d GMT", "%*s %d %3s %d %d:%d:%d GMT" and
// "%d %3s %d %d:%d:%d GMT" (day, month name, year, time) with scanf's matching rules; the first
// that reads all six fields decides, and an invalid date refuses the cookie. When none does,
// the letters G, M and T are stripped from the end and the rest goes to ParseDateText, read as
// GMT. False: the cookie is refused.
bool ParseCookieExpires(std::string_view text, std::time_t& utc);

// "%m/%d/%Y %H:%M:%S GMT" of a UTC time, as "Cookies.txt" writes an expiry.
std::string FormatCookieExpires(std::time_t utc);

}  // namespace tellweir
