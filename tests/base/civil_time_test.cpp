// The calendar rules every date step shares, and the monotonic clock behind change stamps and
// socket deadlines.
#include "base/civil_time.h"

#include <gtest/gtest.h>

#include "base/change_stamp.h"

namespace tellweir {
namespace {

TEST(CivilTime, LeapYearsAndMonthLengths) {
    const struct {
        std::int64_t year;
        int month;
        bool leap;
        int days;
    } cases[] = {
        {2024, 2, true, 29},  {2023, 2, false, 28}, {1900, 2, false, 28}, {2000, 2, true, 29},
        {2100, 2, false, 28}, {2400, 2, true, 29},  {2023, 1, false, 31}, {2023, 4, false, 30},
        {2024, 12, true, 31}, {-4, 2, true, 29},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
        EXPECT_EQ(DaysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
    }
}

TEST(CivilTime, ValidityUsesTheMonthLength) {
    EXPECT_TRUE(IsValidCivilTime({2024, 2, 29, 23, 59, 59}));
    EXPECT_FALSE(IsValidCivilTime({2023, 2, 29, 0, 0, 0}));
    EXPECT_EQ(ToDateTime({1899, 12, 30, 18, 0, 0}).days, 0.75);
}

TEST(ChangeStamp, TickCountIsTheMonotonicClockIn32Bits) {
    const std::int64_t before = MonotonicMs();
    const std::uint32_t tick = TickCountMs();
    const std::int64_t after = MonotonicMs();
    EXPECT_LE(before, after);
    EXPECT_LE(static_cast<std::uint32_t>(tick - static_cast<std::uint32_t>(before)),
              static_cast<std::uint32_t>(after - before));
    EXPECT_GT(NextChangeStamp(tick + 1000), tick + 1000);
}

}  // namespace
}  // namespace tellweir
