// The date-time type of stored state: days since 30 December 1899 (midnight), the fraction being
// the time of day, in local wall-clock time. Property sets keep it as the raw 64-bit pattern of
// the double.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace tellweir {

struct DateTime {
    double days = 0.0;

    friend bool operator==(const DateTime&, const DateTime&) = default;
    // clang-tidy 14 takes the 0 that the defaulted <=> compares against for a null pointer.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend auto operator<=>(const DateTime&, const DateTime&) = default;

    // The raw bit pattern under which a property set stores the value, and back.
    std::int64_t ToBits() const;
    static DateTime FromBits(std::int64_t bits);

    // Broken-down local time (tm_year since 1900, tm_mon 0-11) to day count, and back. Fields out
    // of their ranges are normalised as mktime would.
    static DateTime FromTm(const std::tm& local);
    std::tm ToTm() const;

    // Seconds since 1970 (UTC) through the local time zone, and back.
    static DateTime FromUnixTime(std::time_t t);
    std::time_t ToUnixTime() const;

    static DateTime Now();

    // strftime over the broken-down local time, e.g. "%m/%d/%Y %H:%M:%S".
    std::string Format(const char* format) const;
};

// Days from 1970-01-01 to the given proleptic Gregorian date (month 1-12).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);

}  // namespace tellweir
