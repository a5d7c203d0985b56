// Schedule arithmetic of monitor tasks: repeat units, the weekday filter and the step from one
// start time to the next.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/date_time.h"

namespace tellweir {

enum class RepeatUnit : int {
    Seconds = 0,
    Minutes = 1,
    Hours = 2,
    Days = 3,
    Weeks = 4,
    Months = 5,
    Years = 6,
};

// The unit of a stored unit name, trimmed and compared without regard to case; any name not in
// the table ("hours" among them) is Hours.
RepeatUnit ParseRepeatUnit(std::string_view name);

// The weekday digit of a time: 1 Sunday to 7 Saturday.
int WeekdayDigit(DateTime time);

// The days `weekDays` restricts a task to, as digits from "1" (Sunday) to "7" (Saturday), each
// once and in that order; empty when it allows every day (all seven, or no digit 1 to 7). Any
// stored order reads the same.
std::string RestrictedWeekDays(std::string_view weekDays);

// The one stored form of `weekDays`: the restricted digits in order, or "1234567" for every day.
std::string CanonicalWeekDays(std::string_view weekDays);

// `time` one step of `count` units later (a count below 1 counts as 1). Steps of seconds or
// minutes shorter than an hour, and steps of at most five hours, repeat until they land on a day
// whose digit is in `weekDays`; an empty string, or one without any digit 1 to 7, allows every
// day. Months and years keep the day, lowered to the last day of a shorter month.
DateTime AddInterval(DateTime time, std::int32_t count, RepeatUnit unit, std::string_view weekDays);

// The local wall-clock second now, on the scale of a task's wake second (whole seconds of the
// day count): a task is due when its wake second is at most this.
std::int64_t LocalSecondsNow();

}  // namespace tellweir
