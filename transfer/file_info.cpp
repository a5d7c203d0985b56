// The freshness rule of file information and the date texts it is judged by.
#include "transfer/file_info.h"

#include <cmath>
#include <cstdint>

#include "base/date_text.h"

namespace tellweir {
namespace {

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
    CivilTime time;
    if (!ParseDateText(text, time, ShortYears::Widen)) return false;
    out = ToDateTime(time);
    return true;
}

bool IsAddedTimeFresh(std::string_view added, DateTime now) {
    DateTime when;
    if (added.empty() || !ParseDateText(added, when)) return false;
    const std::int64_t age = CalendarSeconds(now) - CalendarSeconds(when);
    return age >= 0 && age < kFileInfoLifetimeSeconds;
}

}  // namespace tellweir
