// Day-count date-times and their conversions.
#include "base/date_time.h"

#include <bit>
#include <cmath>

namespace tellweir {
namespace {

constexpr double kSecondsPerDay = 86400.0;

// 1899-12-30 is day 0 of the count; 1970-01-01 is day 25569.
constexpr std::int64_t kEpochOffsetDays = 25569;  // a constant: usable from static initialisers

void CivilFromDays(std::int64_t z, std::int64_t& year, unsigned& month, unsigned& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
}

}  // namespace

std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t DateTime::ToBits() const {
    return std::bit_cast<std::int64_t>(days);
}

DateTime DateTime::FromBits(std::int64_t bits) {
    return {std::bit_cast<double>(bits)};
}

DateTime DateTime::FromTm(const std::tm& local) {
    // Normalise through timegm, which treats the fields as plain calendar arithmetic.
    std::tm copy = local;
    const std::time_t asIfUtc = timegm(&copy);
    return {static_cast<double>(asIfUtc) / kSecondsPerDay + static_cast<double>(kEpochOffsetDays)};
}

std::tm DateTime::ToTm() const {
    // Round to the nearest second so that 12:00:00 stored as 0.4999999 reads back as 12:00:00.
    const double totalSeconds = std::round(days * kSecondsPerDay);
    auto seconds = static_cast<std::int64_t>(totalSeconds);
    std::int64_t dayNumber = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    std::int64_t secondOfDay = seconds - dayNumber * 86400;
    std::int64_t year;
    unsigned month, day;
    CivilFromDays(dayNumber - kEpochOffsetDays, year, month, day);
    std::tm out{};
    out.tm_year = static_cast<int>(year - 1900);
    out.tm_mon = static_cast<int>(month) - 1;
    out.tm_mday = static_cast<int>(day);
    out.tm_hour = static_cast<int>(secondOfDay / 3600);
    out.tm_min = static_cast<int>(secondOfDay / 60 % 60);
    out.tm_sec = static_cast<int>(secondOfDay % 60);
    out.tm_wday = static_cast<int>(((dayNumber - kEpochOffsetDays) % 7 + 11) % 7);
    out.tm_yday = static_cast<int>(dayNumber - kEpochOffsetDays - DaysFromCivil(year, 1, 1));
    out.tm_isdst = -1;
    return out;
}

DateTime DateTime::FromUnixTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return FromTm(local);
}

std::time_t DateTime::ToUnixTime() const {
    std::tm local = ToTm();
    return mktime(&local);
}

DateTime DateTime::Now() {
    return FromUnixTime(std::time(nullptr));
}

std::string DateTime::Format(const char* format) const {
    const std::tm local = ToTm();
    char buf[256];
    const std::size_t n = std::strftime(buf, sizeof buf, format, &local);
    return std::string(buf, n);
}

}  // namespace tellweir
