// Day-count date-times.
#include "base/date_time.h"

#include <gtest/gtest.h>

#include "tests/support/local_time.h"

namespace tellweir {
namespace {

using testing::kZoneWithDst;
using testing::MakeTm;
using testing::ScopedTimeZone;

TEST(DateTime, DayCountFromThirtiethOfDecember1899) {
    EXPECT_DOUBLE_EQ(DateTime::FromTm(MakeTm(1899, 12, 30, 0, 0, 0)).days, 0.0);
    EXPECT_DOUBLE_EQ(DateTime::FromTm(MakeTm(1900, 1, 1, 18, 0, 0)).days, 2.75);
    EXPECT_DOUBLE_EQ(DateTime::FromTm(MakeTm(1970, 1, 1, 0, 0, 0)).days, 25569.0);
    EXPECT_DOUBLE_EQ(DateTime::FromTm(MakeTm(2024, 2, 29, 12, 0, 0)).days, 45351.5);
}

TEST(DateTime, BrokenDownTimeAndTextRoundTrip) {
    const DateTime dt = DateTime::FromTm(MakeTm(2026, 12, 9, 23, 59, 58));
    EXPECT_EQ(dt.Format("%m/%d/%Y %H:%M:%S"), "12/09/2026 23:59:58");
    const std::tm back = dt.ToTm();
    EXPECT_EQ(back.tm_wday, 3);  // a Wednesday
    EXPECT_EQ(back.tm_yday, 342);
    EXPECT_EQ(DateTime::FromBits(dt.ToBits()), dt);
}

TEST(DateTime, UnixTimeGoesThroughTheLocalZone) {
    const ScopedTimeZone zone(kZoneWithDst);
    const DateTime winter = DateTime::FromUnixTime(1733788800);  // 2024-12-10 00:00 UTC
    EXPECT_EQ(winter.Format("%Y-%m-%d %H:%M"), "2024-12-10 01:00");
    const DateTime summer = DateTime::FromUnixTime(1720569600);  // 2024-07-10 00:00 UTC
    EXPECT_EQ(summer.Format("%H:%M"), "02:00");
    EXPECT_EQ(summer.ToUnixTime(), 1720569600);
}

}  // namespace
}  // namespace tellweir
