// The locale-free ASCII helpers: character classes, hex digits, trims with their classes, case
// folding and case-blind comparisons.
#include "base/ascii_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tellweir {
namespace {

TEST(AsciiText, HexDigitValue) {
    const struct {
        char c;
        int value;
    } cases[] = {
        {'0', 0},  {'9', 9},
        {'a', 10}, {'f', 15},
        {'A', 10}, {'F', 15},
        {'g', -1}, {'G', -1},
        {'/', -1}, {':', -1},
        {'@', -1}, {'`', -1},
        {' ', -1}, {'\0', -1},
        {'x', -1}, {static_cast<char>(0xB9), -1},  // superscript one in Latin-1: no digit
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexDigitValue(c.c), c.value) << static_cast<int>(c.c);
    static_assert(HexDigitValue('c') == 12);
}

TEST(AsciiText, UpperHexDigitTakesTheLowFourBits) {
    const struct {
        unsigned value;
        char digit;
    } cases[] = {{0, '0'}, {9, '9'}, {10, 'A'}, {15, 'F'}, {0x1F, 'F'}, {0xA0, '0'}};
    for (const auto& c : cases)
        EXPECT_EQ(UpperHexDigit(c.value), c.digit) << c.value;
}

TEST(AsciiText, CharacterClasses) {
    const struct {
        char c;
        bool space, blankOrTab, lineBreak, blankOrLineBreak, alnum;
    } cases[] = {
        {' ', true, true, false, true, false},
        {'\t', true, true, false, true, false},
        {'\r', true, false, true, true, false},
        {'\n', true, false, true, true, false},
        {'\v', true, false, false, false, false},
        {'\f', true, false, false, false, false},
        {'a', false, false, false, false, true},
        {'Z', false, false, false, false, true},
        {'7', false, false, false, false, true},
        {'_', false, false, false, false, false},
        {static_cast<char>(0xA0), false, false, false, false, false},  // no-break space
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAsciiSpace(c.c), c.space) << static_cast<int>(c.c);
        EXPECT_EQ(IsBlankOrTab(c.c), c.blankOrTab) << static_cast<int>(c.c);
        EXPECT_EQ(IsLineBreak(c.c), c.lineBreak) << static_cast<int>(c.c);
        EXPECT_EQ(IsBlankOrLineBreak(c.c), c.blankOrLineBreak) << static_cast<int>(c.c);
        EXPECT_EQ(IsAsciiAlnum(c.c), c.alnum) << static_cast<int>(c.c);
    }
}

TEST(AsciiText, TrimsKeepTheirClass) {
    const struct {
        const char* name;
        std::string_view text;
        AsciiCharTest isTrimmed;
        std::string_view both, leading, trailing;
    } cases[] = {
        {"white space", " \t\v\fa b\r\n", IsAsciiSpace, "a b", "a b\r\n", " \t\v\fa b"},
        {"blank and tab only", " \ta\r\n\t", IsBlankOrTab, "a\r\n", "a\r\n\t", " \ta\r\n"},
        {"no vertical tab", "\v a \n", IsBlankOrLineBreak, "\v a", "\v a \n", "\v a"},
        {"line breaks", "\r\nUSER x\r\n", IsLineBreak, "USER x", "USER x\r\n", "\r\nUSER x"},
        {"separators", "/\\a/b\\/", IsPathSeparator, "a/b", "a/b\\/", "/\\a/b"},
        {"all trimmed", " \t ", IsAsciiSpace, "", "", ""},
        {"empty", "", IsAsciiSpace, "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimAscii(c.text, c.isTrimmed), c.both) << c.name;
        EXPECT_EQ(TrimLeadingAscii(c.text, c.isTrimmed), c.leading) << c.name;
        EXPECT_EQ(TrimTrailingAscii(c.text, c.isTrimmed), c.trailing) << c.name;
    }
    EXPECT_EQ(TrimAsciiSpace("\f x y \v"), "x y");
}

TEST(AsciiText, TrailingPathSeparatorsKeepTheRoot) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/a/b//", "/a/b"}, {"/a\\", "/a"}, {"/", "/"}, {"///", "/"},
        {"\\", "\\"},       {"", ""},       {"a", "a"},
    };
    for (const auto& [path, trimmed] : cases)
        EXPECT_EQ(TrimTrailingPathSeparators(path), trimmed) << path;
}

TEST(AsciiText, CaseFoldingLeavesOtherBytes) {
    EXPECT_EQ(LowerAscii("Host.EXAMPLE-1\xC4"), "host.example-1\xC4");
    EXPECT_EQ(UpperAscii("retr file\xE4.txt"), "RETR FILE\xE4.TXT");
    std::string text = "MiXeD";
    LowerAsciiInPlace(text);
    EXPECT_EQ(text, "mixed");
}

TEST(AsciiText, CaseBlindComparisons) {
    const struct {
        std::string_view text, other;
        bool equals, startsWith, endsWith;
    } cases[] = {
        {"Content-Length: 5", "content-length:", false, true, false},
        {"www.Site.TEST", "site.test", false, false, true},
        {"Secure", "SECURE", true, true, true},
        {"ab", "abc", false, false, false},
        {"abc", "", false, true, true},
        {"\xC4", "\xE4", false, false, false},  // Latin-1 letters are not folded
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EqualsIgnoreAsciiCase(c.text, c.other), c.equals) << c.text << " / " << c.other;
        EXPECT_EQ(StartsWithIgnoreAsciiCase(c.text, c.other), c.startsWith) << c.text;
        EXPECT_EQ(EndsWithIgnoreAsciiCase(c.text, c.other), c.endsWith) << c.text;
    }
}

}  // namespace
}  // namespace tellweir
