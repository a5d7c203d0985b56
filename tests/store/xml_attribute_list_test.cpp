// ParseAttributeList: name=value lists with quoting, flags and sinks that stop the parse.
#include <gtest/gtest.h>

#include <string>

#include "store/attribute_list.h"

namespace tellweir {
namespace {

// Parses `text` and records every sink call as "name=value|" or "!flag|".
std::string Record(std::string_view text, int* pairs = nullptr) {
    std::string log;
    const int count = ParseAttributeList(
        text,
        [&log](std::string_view name) {
            log.append(name).append("=");
            return true;
        },
        [&log](std::string_view value) {
            log.append(value).append("|");
            return true;
        },
        [&log](std::string_view flag) { log.append("!").append(flag).append("|"); });
    if (pairs) *pairs = count;
    return log;
}

TEST(AttributeList, ParsesPairsFlagsAndQuotes) {
    struct Case {
        const char* text;
        const char* expected;
        int pairs;
    };
    const Case cases[] = {
        {"a=1 b=2", "a=1|b=2|", 2},
        {"  a = 1  ", "a=1|", 1},
        {"a=1\tb=2\r\nc=3", "a=1|b=2|c=3|", 3},
        {"a=\"x y\" b='p \"q\"'", "a=x y|b=p \"q\"|", 2},
        {"a=\"1\"b=2", "a=1|b=2|", 2},
        {"a=\"runs to the end", "a=runs to the end|", 1},
        {"a='", "a=|", 1},
        {"a=", "a=|", 1},
        {"a=\"\" b=''", "a=|b=|", 2},
        {"a==b", "a==b|", 1},
        {"=x", "=x|", 1},
        {"a=x>y", "a=x>y|", 1},
        {"flag a=1", "!flag|a=1|", 1},
        {"a", "!a|", 0},
        {"a   ", "!a|", 0},
        {"a b c=3 d", "!a|!b|c=3|!d|", 1},
        {"", "", 0},
        {" \t\r\n", "", 0},
    };
    for (const Case& c : cases) {
        int pairs = -1;
        EXPECT_EQ(Record(c.text, &pairs), c.expected) << c.text;
        EXPECT_EQ(pairs, c.pairs) << c.text;
    }
}

TEST(AttributeList, SinkReturningFalseStopsTheParse) {
    std::string names;
    std::string values;
    // The name sink refuses "b": its value is never delivered and "c" is not reached.
    int pairs = ParseAttributeList(
        "a=1 b=2 c=3",
        [&names](std::string_view name) {
            names.append(name);
            return name != "b";
        },
        [&values](std::string_view value) {
            values.append(value);
            return true;
        });
    EXPECT_EQ(names, "ab");
    EXPECT_EQ(values, "1");
    EXPECT_EQ(pairs, 2);

    names.clear();
    pairs = ParseAttributeList(
        "a=1 b=2 c=3",
        [&names](std::string_view name) {
            names.append(name);
            return true;
        },
        [](std::string_view value) { return value != "1"; });
    EXPECT_EQ(names, "a");
    EXPECT_EQ(pairs, 1);
}

TEST(AttributeList, EmptySinksAcceptEverything) {
    EXPECT_EQ(ParseAttributeList("flag a=1 b='2'", {}, {}), 2);
}

}  // namespace
}  // namespace tellweir
