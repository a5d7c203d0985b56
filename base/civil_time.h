// CivilTime: a calendar date and time of day without a time zone, as date texts name them, with
// its validity rule, its reading as UTC and the file-time text the system stores.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "base/date_time.h"

namespace tellweir {

// Month 1-12; the other fields as their names say.
struct CivilTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// Gregorian leap years: every fourth, but not every hundredth, but every four-hundredth.
bool IsLeapYear(std::int64_t year);
// The number of days of `month` (1-12) in `year`.
int DaysInMonth(std::int64_t year, int month);

// Year 100-9999 (two-digit years are refused, never widened), a day that exists in its month,
// 00:00:00-23:59:59.
bool IsValidCivilTime(const CivilTime& time);

// Seconds since 1970 of `time` read as UTC, as timegm gives.
std::time_t CivilTimeToUtc(const CivilTime& time);

// The same wall-clock fields as a DateTime (no zone conversion).
DateTime ToDateTime(const CivilTime& time);

// "%m/%d/%Y %H:%M:%S" of the fields as they stand, without any zone conversion.
std::string FormatCivilTime(const CivilTime& time);

}  // namespace tellweir
