// Name pattern enumeration.
#include "url/name_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tellweir {
namespace {

// Every text of the pattern, up to `limit` of them.
std::vector<std::string> Enumerate(std::string_view pattern, std::size_t limit = 100) {
    CNamePattern names;
    names.Parse(pattern);
    std::vector<std::string> texts;
    while (texts.size() < limit) {
        std::optional<std::string> text = names.Next();
        if (!text) break;
        texts.push_back(*text);
    }
    return texts;
}

using Texts = std::vector<std::string>;

TEST(UrlNamePattern, UniqueTaskNameCandidatesRunFromOneTo10000) {
    CNamePattern names;
    names.Parse("Name(<1-10000>)");
    EXPECT_EQ(names.Next(), "Name(1)");
    EXPECT_EQ(names.Next(), "Name(2)");
    int count = 2;
    std::string last;
    while (std::optional<std::string> text = names.Next()) {
        last = *text;
        ++count;
    }
    EXPECT_EQ(count, 10000);
    EXPECT_EQ(last, "Name(10000)");
    EXPECT_EQ(names.Next(), std::nullopt);

    names.Parse("again");
    EXPECT_EQ(names.Next(), "again");
}

TEST(UrlNamePattern, GroupsTurnLikeAnOdometerFirstGroupFastest) {
    struct Case {
        std::string_view pattern;
        Texts texts;
    };
    const Case cases[] = {
        {"<a|b>-<1-2>", {"a-1", "b-1", "a-2", "b-2"}},
        {"<3-1>", {"3", "2", "1"}},
        {"<x|1-2|y>", {"x", "1", "2", "y"}},
        {"<1-1>", {"1"}},
        {"<|x>", {"", "x"}},
        {"<>", {""}},
        {"abc", {"abc"}},
        {"a>b", {"a>b"}},
        {"", {""}},
        // A group runs to the first '>'.
        {"<a<b|c>", {"a<b", "c"}},
        // Not two plain integers: literal alternatives.
        {"<1-|1-2-3|+1-2>", {"1-", "1-2-3", "+1-2"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Enumerate(c.pattern), c.texts) << c.pattern;
}

TEST(UrlNamePattern, BadGroupMakesTheRestLiteral) {
    struct Case {
        std::string_view pattern;
        Texts texts;
    };
    const Case cases[] = {
        {"a<1-2", {"a<1-2"}},
        {"a<1-2000000001>b", {"a<1-2000000001>b"}},
        {"<-1-3>", {"<-1-3>"}},
        {"<x|1-99999999999999999999999>", {"<x|1-99999999999999999999999>"}},
        {"<1-2><5-3000000000>x", {"1<5-3000000000>x", "2<5-3000000000>x"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Enumerate(c.pattern), c.texts) << c.pattern;

    EXPECT_EQ(Enumerate("<2000000000-0>", 2), (Texts{"2000000000", "1999999999"}));
}

TEST(UrlNamePattern, HugeEnumerationsAreLazy) {
    EXPECT_EQ(Enumerate("<0-2000000000>.<0-2000000000>", 3), (Texts{"0.0", "1.0", "2.0"}));
}

}  // namespace
}  // namespace tellweir
