// The general date parser: reads the textual date forms that servers, cookies and the system's
// own files use, independent of the process locale (month and weekday names are English, plus the
// French month forms some servers send). The HTTP, cookie and file-information readers build on it.
#pragma once

#include <string_view>

#include "base/civil_time.h"

namespace tellweir {

// How a year written with one or two digits is read.
enum class ShortYears {
    Refuse,  // the text is refused
    Widen,   // 0-29 are 2000-2029, 30-99 are 1930-1999
};

// Reads a date text made of tokens separated by blanks and commas, in any order:
// - a date "M/D/Y" (month first), "Y-M-D" (a year of three or four digits), "D-Mon-Y" (a month
//   name), or a month name with a day of one or two digits and a year of three or four digits
//   (either order) as tokens of their own;
// - an optional time of day "H:M" or "H:M:S", with an optional AM or PM;
// - weekday names (full or three letters) and the zone names GMT, UTC, UT and Z, which are
//   ignored.
// Month names are full or three letters, ignoring case. With ShortYears::Widen a one- or
// two-digit year is also read in "M/D/Y", "D-Mon-Y" and with a month name, where the day then
// comes first. "Wed, 09 Jun 2021 10:18:14 GMT", "Sunday, 06-Nov-94 08:49:37" (widened),
// "Wed Jun  9 10:18:14 2021", "06/09/2021 10:18:14" and "2021-06-09" are read. False for
// anything else, for a text longer than 256 characters, and for a date that is not valid
// (IsValidCivilTime).
bool ParseDateText(std::string_view text, CivilTime& out,
                   ShortYears shortYears = ShortYears::Refuse);

// The month of a three-character name, ignoring case: Jan 1 ... Dec 12, then the French forms
// Fev 2, Avr 4, Mai 5. Zero for anything else, including longer names.
int MonthFromAbbreviation(std::string_view name);

}  // namespace tellweir
