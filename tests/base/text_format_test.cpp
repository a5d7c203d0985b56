// printf-style formatting with typed arguments.
#include "base/text_format.h"

#include <gtest/gtest.h>

namespace tellweir {
namespace {

TEST(TextFormat, ConversionsAsPrintfWritesThem) {
    struct Case {
        std::string expected;
        std::string actual;
    };
    const std::int64_t big = -9000000000LL;
    const Case cases[] = {
        {"size: -9000000000.", Format("size: %I64d.", big)},
        {"Connecting to h:80...", Format("Connecting to %s:%d...", "h", 80)},
        {"0.98 KB", Format("%.2f KB", 1000 / 1024.0)},
        {"[0007.0012]", Format("[%.4d.%.4d]", 7, 12)},
        {"  ab|ab  |", Format("%4s|%-4s|", "ab", "ab")},
        {"ff FF 17", Format("%x %X %o", 255, 255, 15)},
        {"100% done", Format("%d%% done", 100)},
        {"   42", Format("%*d", 5, 42)},
        {"%q stays", Format("%q stays")},
        {"missing: 0 and ''", Format("missing: %d and '%s'")},
        {"trailing %", Format("trailing %")},
        {"n=12", Format("n=%lld", 12)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(TextFormat, WidthIsBoundedSoAHugeOneCannotExhaustMemory) {
    const std::string out = Format("%999999999d", 1);
    EXPECT_LE(out.size(), 100001u);
}

}  // namespace
}  // namespace tellweir
