// ReadAtoi32 against the C library's strtol with the low 32 bits kept, as stored settings and
// property texts were read before.
#include "base/decimal_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace tellweir {
namespace {

TEST(DecimalTextTest, ReadAtoi32ReadsAsStrtolKeepingTheLow32Bits) {
    const char* const cases[] = {
        "",
        "0",
        "42",
        "  \t\n7x",
        "-15",
        "+8",
        "abc",
        "- 5",
        "2147483647",
        "2147483648",
        "-2147483648",
        "4294967297",
        "99999999999999999999",
        "-99999999999999999999",
        "9223372036854775807",
        "-9223372036854775808",
        "12 34",
        "0x1F",
    };
    for (const char* text : cases) {
        const auto expected =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(std::strtol(text, nullptr, 10)));
        EXPECT_EQ(ReadAtoi32(text), expected) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace tellweir
