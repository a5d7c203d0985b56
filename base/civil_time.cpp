// Validity, UTC reading and text form of calendar times.
#include "base/civil_time.h"

#include <cstdio>

namespace tellweir {

bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(std::int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidCivilTime(const CivilTime& t) {
    return t.year >= 100 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

std::time_t CivilTimeToUtc(const CivilTime& t) {
    const std::int64_t days =
        DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
    return static_cast<std::time_t>(days * 86400 + t.hour * 3600 + t.minute * 60 + t.second);
}

DateTime ToDateTime(const CivilTime& t) {
    std::tm fields{};
    fields.tm_year = t.year - 1900;
    fields.tm_mon = t.month - 1;
    fields.tm_mday = t.day;
    fields.tm_hour = t.hour;
    fields.tm_min = t.minute;
    fields.tm_sec = t.second;
    return DateTime::FromTm(fields);
}

std::string FormatCivilTime(const CivilTime& t) {
    char text[96];  // room for six fields of any int value
    const int n = std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.month, t.day,
                                t.year, t.hour, t.minute, t.second);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace tellweir
