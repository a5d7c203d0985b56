// Schedule arithmetic, and CMonitorTask's due test and next start time.
#include "core/task_schedule.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/ascii_text.h"
#include "base/civil_time.h"
#include "core/local_clock.h"
#include "core/monitor_task.h"
#include "core/wake_queue.h"

namespace tellweir {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kMaxYear = 9999;  // far enough; keeps the calendar fields in range

std::int64_t ToSeconds(DateTime time) {
    return std::llround(time.days * static_cast<double>(kSecondsPerDay));
}

// The same day count DateTime::FromTm gives for this wall-clock second, bit for bit.
DateTime FromSeconds(std::int64_t seconds) {
    constexpr std::int64_t kUnixEpochDay = 25569;  // 1 January 1970
    return {static_cast<double>(seconds - kUnixEpochDay * kSecondsPerDay) /
                static_cast<double>(kSecondsPerDay) +
            static_cast<double>(kUnixEpochDay)};
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

int WeekdayOfSeconds(std::int64_t seconds) {
    // Day 0 of the count, 30 December 1899, was a Saturday (digit 7).
    const std::int64_t day = FloorDiv(seconds, kSecondsPerDay);
    return static_cast<int>(((day % 7 + 7) % 7 + 6) % 7 + 1);
}

// The allowed weekday digits; `active` is false when the string allows every day, whether it
// names all seven or none.
struct WeekdayFilter {
    bool active = false;
    bool allowed[8] = {};

    explicit WeekdayFilter(std::string_view days) {
        int count = 0;
        for (char c : days) {
            if (c >= '1' && c <= '7' && !allowed[c - '0']) {
                allowed[c - '0'] = true;
                ++count;
            }
        }
        active = count > 0 && count < 7;
    }
    bool Allows(std::int64_t seconds) const {
        return !active || allowed[WeekdayOfSeconds(seconds)];
    }
};

// Calendar step: the date moves to (year, month), the day is lowered to fit, the time stays.
DateTime MoveToMonth(const std::tm& from, std::int64_t year, int month) {
    std::tm to = from;
    year = std::min(year, kMaxYear);
    to.tm_year = static_cast<int>(year - 1900);
    to.tm_mon = month - 1;
    to.tm_mday = std::min(from.tm_mday, DaysInMonth(year, month));
    return DateTime::FromTm(to);
}

// Length of one fixed step in seconds, and whether the weekday filter applies to it.
std::int64_t FixedStep(std::int64_t n, RepeatUnit unit, bool& filtered) {
    filtered = false;
    switch (unit) {
        case RepeatUnit::Seconds:
            filtered = n < 3600;
            return n;
        case RepeatUnit::Minutes:
            filtered = n < 60;
            return n * 60;
        case RepeatUnit::Hours:
            filtered = n <= 5;
            return n * 3600;
        case RepeatUnit::Days:
            return n * kSecondsPerDay;
        case RepeatUnit::Weeks:
            return 7 * n * kSecondsPerDay;
        default:
            return 0;
    }
}

// The first grid point first + k * step (k >= 1) on an allowed day that is not earlier than
// `target`, and how many allowed grid points lie after `first` up to it: exactly what repeating
// the filtered step until `target` gives, but walking whole days instead of single steps. Every
// allowed day holds grid points, since a filtered step is at most five hours.
std::int64_t AdvanceFiltered(std::int64_t first, std::int64_t target, std::int64_t step,
                             const WeekdayFilter& filter, std::int64_t& steps) {
    steps = 0;
    for (std::int64_t day = FloorDiv(first, kSecondsPerDay);; ++day) {
        const std::int64_t dayStart = day * kSecondsPerDay;
        const std::int64_t dayEnd = dayStart + kSecondsPerDay;
        if (!filter.Allows(dayStart)) continue;
        const std::int64_t from = std::max(dayStart, first + 1);
        const std::int64_t point = first + (from - first + step - 1) / step * step;
        if (point >= dayEnd) continue;
        if (point >= target) {
            ++steps;
            return point;
        }
        const std::int64_t limit = std::min(dayEnd, target);
        const std::int64_t count = (limit - 1 - point) / step + 1;  // points before the limit
        steps += count;
        const std::int64_t after = point + count * step;
        if (after < dayEnd) {  // not earlier than target, and still on this allowed day
            ++steps;
            return after;
        }
    }
}

// Moves `time` forward in steps until it is not earlier than `now`, counting the steps. Fixed
// steps are computed rather than iterated: a task paused for years with a step of seconds would
// otherwise hold the engine thread for hundreds of millions of iterations.
DateTime AdvanceUntil(DateTime time, DateTime now, std::int32_t n, RepeatUnit unit,
                      std::string_view weekDays, std::int64_t& steps) {
    steps = 0;
    const std::int64_t target = ToSeconds(now);
    const std::int64_t at = ToSeconds(time);
    if (at >= target) return time;
    bool filtered = false;
    const std::int64_t step = FixedStep(std::max<std::int32_t>(n, 1), unit, filtered);
    if (step > 0) {
        const WeekdayFilter filter(filtered ? weekDays : std::string_view());
        if (filter.active) return FromSeconds(AdvanceFiltered(at, target, step, filter, steps));
        steps = (target - at + step - 1) / step;
        return FromSeconds(at + steps * step);
    }
    while (ToSeconds(time) < target) {
        time = AddInterval(time, n, unit, weekDays);
        ++steps;
    }
    return time;
}

}  // namespace

RepeatUnit ParseRepeatUnit(std::string_view name) {
    struct Unit {
        std::string_view name;
        RepeatUnit unit;
    };
    static constexpr Unit kUnits[] = {
        {"seconds", RepeatUnit::Seconds}, {"minutes", RepeatUnit::Minutes},
        {"hours", RepeatUnit::Hours},     {"days", RepeatUnit::Days},
        {"weeks", RepeatUnit::Weeks},     {"months", RepeatUnit::Months},
        {"years", RepeatUnit::Years},
    };
    const std::string_view trimmed = TrimAsciiSpace(name);
    for (const Unit& u : kUnits) {
        if (EqualsIgnoreAsciiCase(trimmed, u.name)) return u.unit;
    }
    return RepeatUnit::Hours;
}

std::string RestrictedWeekDays(std::string_view weekDays) {
    const WeekdayFilter filter(weekDays);
    std::string digits;
    if (!filter.active) return digits;
    for (int day = 1; day <= 7; ++day)
        if (filter.allowed[day]) digits += static_cast<char>('0' + day);
    return digits;
}

std::string CanonicalWeekDays(std::string_view weekDays) {
    std::string digits = RestrictedWeekDays(weekDays);
    return digits.empty() ? std::string("1234567") : digits;
}

int WeekdayDigit(DateTime time) {
    return WeekdayOfSeconds(ToSeconds(time));
}

DateTime AddInterval(DateTime time, std::int32_t count, RepeatUnit unit,
                     std::string_view weekDays) {
    const std::int64_t n = std::max<std::int32_t>(count, 1);
    if (unit == RepeatUnit::Months || unit == RepeatUnit::Years) {
        const std::tm from = time.ToTm();
        const std::int64_t year = from.tm_year + 1900;
        if (unit == RepeatUnit::Years) return MoveToMonth(from, year + n, from.tm_mon + 1);
        const std::int64_t m = year * 12 + from.tm_mon + n;
        return MoveToMonth(from, m / 12, static_cast<int>(m % 12) + 1);
    }
    bool filtered = false;
    const std::int64_t step = FixedStep(n, unit, filtered);
    const WeekdayFilter filter(filtered ? weekDays : std::string_view());
    std::int64_t seconds = ToSeconds(time);
    do {
        seconds += step;
    } while (!filter.Allows(seconds));
    return FromSeconds(seconds);
}

std::int64_t LocalSecondsNow() {
    return ToSeconds(LocalNow());
}

void CMonitorTask::UpdateWake() {
    TaskLock g = LockTask();
    std::int64_t wake = CWakeQueue::kNever;
    if (state_ == TaskState::Working) {
        wake = CWakeQueue::kEveryPass;
    } else if (state_ == TaskState::Waiting) {
        const DateTime next = GetTime(task::kNextStartTime);
        if (next.days != 0.0) wake = ToSeconds(next);
    }
    if (wakeSecond_.exchange(wake, std::memory_order_acq_rel) != wake && wakeQueue_ != nullptr)
        wakeQueue_->Changed(*this);
}

void CMonitorTask::SetWakeQueue(CWakeQueue* queue) {
    TaskLock g = LockTask();
    if (wakeQueue_ == queue) return;
    wakeQueue_ = queue;
    if (queue != nullptr) queue->Changed(*this);
}

CWakeQueue* CMonitorTask::GetWakeQueue() const {
    TaskLock g = LockTask();
    return wakeQueue_;
}

bool CMonitorTask::IsDue() const {
    const DateTime next = GetNextStartTimeShown();
    return next.days != 0.0 && ToSeconds(next) <= LocalSecondsNow();
}

void CMonitorTask::ScheduleNext() {
    TaskLock g = LockTask();
    if (state_ != TaskState::Waiting && state_ != TaskState::Working) return;
    if (Int(task::kSchedule) != task::kSchedulePeriodic) {
        state_ = TaskState::Idle;
        SetInt(task::kStopped, 1);
        RenewStamp();
        return;
    }
    ScheduleNextPeriodic();
}

void CMonitorTask::ScheduleNextPeriodic() {
    const std::int32_t n = std::max<std::int32_t>(Int(task::kScheduleRepeatValue), 1);
    const RepeatUnit unit = ParseRepeatUnit(String(task::kScheduleRepeatUnit));
    const std::string days = String(task::kScheduleWeekDays);

    const DateTime first = AddInterval(GetTime(task::kNextStartTime), n, unit, days);
    std::int64_t repeats = 0;
    const DateTime next = AdvanceUntil(first, LocalNow(), n, unit, days, repeats);

    SetTime(task::kNextStartTime, next);
    state_ = TaskState::Waiting;
    SetInt(task::kStopped, 0);
    RenewStamp();
    if (repeats > 0) {
        WriteLog(0, "Recalculated %d times for next start time: %s.", repeats,
                 FormatTaskTime(first));
    }
    WriteLog(0, "Next start time: %s.", FormatTaskTime(next));
    WriteSeparator();
}

}  // namespace tellweir
