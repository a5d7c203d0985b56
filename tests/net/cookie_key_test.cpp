// Cookie keys and the host and path tests of the cookie store.
#include "net/cookie/cookie_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tellweir {
namespace {

TEST(CookieKeyTest, KeysFromDomainAndPath) {
    struct Case {
        const char* domain;
        const char* path;
        const char* key;
    };
    const Case cases[] = {
        {".Site.test", "/docs", "test/site/docs"},
        {"www.site.test", "/", "test/site/www/"},
        {" .a.B.c. ", "/X/y", "c/b/a/X/y"},  // path keeps its case
        {"site.test", "docs", "test/site/docs"},
        {"intranet.local", "/", "local/intranet/"},
        {"intranet", "/", ""},  // a single label files nothing
        {"..", "/", ""},
        {"", "/", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CookieKey(c.domain, c.path), c.key) << c.domain;
}

TEST(CookieKeyTest, SplitDropsEmptyComponents) {
    EXPECT_EQ(SplitCookieKey("test/site/"), (std::vector<std::string_view>{"test", "site"}));
    EXPECT_EQ(SplitCookieKey("b//a/x//y"), (std::vector<std::string_view>{"b", "a", "x", "y"}));
    EXPECT_TRUE(SplitCookieKey("").empty());
}

TEST(CookieKeyTest, HostDomainAndMatching) {
    EXPECT_EQ(CookieHostDomain("intranet"), "intranet.local");
    EXPECT_EQ(CookieHostDomain(" www.site.test "), "www.site.test");

    EXPECT_TRUE(CookieDomainMatches("www.Site.test", ".site.TEST"));
    EXPECT_TRUE(CookieDomainMatches("www.site.test", "site.test"));  // plain suffix
    EXPECT_FALSE(CookieDomainMatches("site.test", ".site.test"));
    EXPECT_FALSE(CookieDomainMatches("site.test", "www.site.test"));

    EXPECT_TRUE(CookiePathMatches("/Docs/a.html", "/docs"));
    EXPECT_TRUE(CookiePathMatches("/docs", "/docs"));
    EXPECT_FALSE(CookiePathMatches("/do", "/docs"));
}

}  // namespace
}  // namespace tellweir
