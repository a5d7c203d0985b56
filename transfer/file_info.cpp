// The freshness rule of file information and the date texts it is judged by.
#include "transfer/file_info.h"

#include <cmath>
#include <cstdint>

#include "net/url/ascii_text.h"

namespace tellweir {
namespace {

// Reads 1..4 digits at `pos`; false when there are none.
bool ReadNumber(std::string_view text, std::size_t& pos, int& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && IsAsciiDigit(text[pos]) && pos - start < 4)
        value = value * 10 + (text[pos++] - '0');
    return pos > start;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads " H:M" or " H:M:S" at `pos`, if present.
bool ReadTimeOfDay(std::string_view text, std::size_t& pos, std::tm& tm) {
    std::size_t p = pos;
    while (p < text.size() && IsAsciiSpace(text[p]))
        ++p;
    if (p == text.size()) {
        pos = p;
        return true;
    }
    if (p == pos) return false;
    if (!ReadNumber(text, p, tm.tm_hour) || !Expect(text, p, ':') ||
        !ReadNumber(text, p, tm.tm_min))
        return false;
    if (p < text.size() && text[p] == ':') {
        ++p;
        if (!ReadNumber(text, p, tm.tm_sec)) return false;
    }
    pos = p;
    return tm.tm_hour < 24 && tm.tm_min < 60 && tm.tm_sec < 60;
}

// Whole seconds of the local calendar, so that differences come out exact.
std::int64_t CalendarSeconds(DateTime t) {
    return std::llround(t.days * 86400.0);
}

}  // namespace

bool HasKnownFileType(const CPropertySet& info) {
    const std::int32_t type = info.Int(prop::kType);
    return type >= 1 && type <= 17;
}

bool ParseDateText(std::string_view text, DateTime& out) {
    text = TrimAsciiSpace(text);
    std::tm tm{};
    int a = 0, b = 0, c = 0;
    std::size_t pos = 0;
    int year, month, day;
    if (!ReadNumber(text, pos, a)) return false;
    if (pos < text.size() && text[pos] == '-') {
        if (!Expect(text, pos, '-') || !ReadNumber(text, pos, b) || !Expect(text, pos, '-') ||
            !ReadNumber(text, pos, c))
            return false;
        year = a;
        month = b;
        day = c;
    } else {
        if (!Expect(text, pos, '/') || !ReadNumber(text, pos, b) || !Expect(text, pos, '/'))
            return false;
        const std::size_t yearStart = pos;
        if (!ReadNumber(text, pos, c)) return false;
        // One or two digits name a year near 2000.
        const bool shortYear = pos - yearStart <= 2;
        month = a;
        day = b;
        year = shortYear ? (c < 30 ? 2000 + c : 1900 + c) : c;
    }
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || year < 100)
        return false;
    if (!ReadTimeOfDay(text, pos, tm) || pos != text.size()) return false;
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    out = DateTime::FromTm(tm);
    return true;
}

bool IsAddedTimeFresh(std::string_view added, DateTime now) {
    DateTime when;
    if (added.empty() || !ParseDateText(added, when)) return false;
    const std::int64_t age = CalendarSeconds(now) - CalendarSeconds(when);
    return age >= 0 && age < kFileInfoLifetimeSeconds;
}

}  // namespace tellweir
