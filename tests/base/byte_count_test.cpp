// Byte count texts.
#include "base/byte_count.h"

#include <gtest/gtest.h>

namespace tellweir {
namespace {

TEST(ByteCount, ShortAndFullForms) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0 Bytes"},
        {1, "1 Bytes"},
        {998, "998 Bytes"},
        {999, "0.98 KB (999 Bytes)"},
        {1024, "1.00 KB (1,024 Bytes)"},
        {1022975, "999.00 KB (1,022,975 Bytes)"},
        {1022976, "0.98 MB (1,022,976 Bytes)"},
        {5LL * 1024 * 1024 * 1024, "5.00 GB (5,368,709,120 Bytes)"},
        {3LL * 1024 * 1024 * 1024 * 1024, "3.00 TB (3,298,534,883,328 Bytes)"},
    };
    for (const auto& [count, text] : cases)
        EXPECT_EQ(FormatByteCount(count), text) << count;
    EXPECT_EQ(FormatByteCount(-1, "unknown"), "unknown");
}

TEST(ByteCount, ShortSizeUnits) {
    EXPECT_EQ(FormatShortSize(1), "1 Byte");
    EXPECT_EQ(FormatShortSize(998), "998 Bytes");
    EXPECT_EQ(FormatShortSize(999), "0.98 KB");
    EXPECT_EQ(GroupThousands(-1234567), "-1,234,567");
    EXPECT_EQ(GroupThousands(INT64_MIN), "-9,223,372,036,854,775,808");
}

}  // namespace
}  // namespace tellweir
