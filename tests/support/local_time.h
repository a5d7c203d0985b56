// Local times for tests: broken-down fields, DateTime values and seconds since 1970 built from a
// local year, month (1-12), day and time of day, and a time zone set for the length of a test.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "base/civil_time.h"
#include "base/date_time.h"

namespace tellweir::testing {

// Central European time: UTC+1, UTC+2 from the last Sunday of March to the last of October.
// A POSIX rule, so it needs no zone files.
inline constexpr const char* kZoneWithDst = "CET-1CEST,M3.5.0,M10.5.0/3";

// The broken-down fields (tm_year since 1900, tm_mon 0-11), daylight saving left to the system.
inline std::tm MakeTm(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

// The local wall-clock time as a DateTime (no zone conversion).
inline DateTime MakeTime(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0) {
    return ToDateTime(CivilTime{year, month, day, hour, minute, second});
}

// Seconds since 1970 of the local wall-clock time, through the time zone as mktime reads it.
inline std::time_t MakeLocalUnixTime(int year, int month, int day, int hour = 0, int minute = 0,
                                     int second = 0) {
    std::tm t = MakeTm(year, month, day, hour, minute, second);
    return std::mktime(&t);
}

// Sets TZ (and tzset) for its lifetime; restores the previous value, or its absence, at the end.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* tz = std::getenv("TZ")) saved_ = tz;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> saved_;
};

}  // namespace tellweir::testing
