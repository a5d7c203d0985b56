// Dates of cookies: the expires forms of Set-Cookie values with their month names, and the expiry
// text written to "Cookies.txt". Other expires texts and the times in that file go to the general
// date parser (store/date_text.h), which never widens two-digit years here. Independent of the
// process locale: month names are always English (plus the French month forms servers use).
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "base/civil_time.h"
#include "base/date_text.h"

namespace tellweir {

// The month of a three-character name, ignoring case: Jan 1 ... Dec 12, then the French forms
// Fev 2, Avr 4, Mai 5. Zero for anything else, including longer names.
int CookieMonthFromName(std::string_view name);

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
