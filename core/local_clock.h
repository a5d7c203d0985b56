// The local wall-clock time as monitor tasks see it, and the form in which their logs show a
// time. The clock is replaceable so that schedule tests never wait for real time.
#pragma once

#include <functional>
#include <string>

#include "base/date_time.h"

namespace tellweir {

using LocalClock = std::function<DateTime()>;

// The current local time from the installed clock (DateTime::Now by default).
DateTime LocalNow();
// Installs `clock`; an empty function restores the system clock.
void SetLocalClock(LocalClock clock);

// "[<date> <time>]" in the user's locale format, or "not set" for the time 0.
std::string FormatTaskTime(DateTime time);

}  // namespace tellweir
