// Cookie keys and the host and path tests of the cookie store.
#include "net/cookie/cookie_key.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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

TEST(CookieKeyTest, HostsAndDomains) {
    EXPECT_EQ(CookieHostDomain("intranet"), "intranet.local");
    EXPECT_EQ(CookieHostDomain(" WWW.site.test "), "www.site.test");
    EXPECT_EQ(CanonicalCookieDomain(" . .Site.TEST "), "site.test");

    for (const char* ip : {"127.0.0.1", "::1", "[::1]", "fe80::1:2"})
        EXPECT_TRUE(IsIpAddressHost(ip)) << ip;
    for (const char* name : {"", "localhost", "1.2.3", "127.0.0.1.nip.test", "[]", "::g"})
        EXPECT_FALSE(IsIpAddressHost(name)) << name;

    struct Case {
        const char* host;
        const char* domain;
        bool matches;
    };
    const Case cases[] = {
        {"www.Site.test", ".site.TEST", true},
        {"www.site.test", "site.test", true},
        {"site.test", ".site.test", true},  // a leading dot is no part of the domain
        {"a.b.site.test", "site.test", true},
        {"awww.site.test", "www.site.test", false},  // ends with it, but not at a dot
        {"site.test", "www.site.test", false},
        {"127.0.0.1", "127.0.0.1", true},
        {"127.0.0.1", "0.0.1", false},  // an address has no domains above it
        {"www.site.test", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CookieDomainMatches(c.host, c.domain), c.matches) << c.host << " " << c.domain;
}

TEST(CookieKeyTest, DefaultPathAndPathMatch) {
    const std::pair<const char*, const char*> defaults[] = {
        {"/docs/index.html", "/docs"},
        {"/docs/", "/docs"},
        {"/index.html", "/"},
        {"/", "/"},
        {"", "/"},
        {"docs/a", "/"},
        {"/a/b?x=/c/d", "/a"},
        {"/a/b#/c/d", "/a"},
    };
    for (const auto& [request, path] : defaults)
        EXPECT_EQ(DefaultCookiePath(request), path) << request;

    struct Case {
        const char* request;
        const char* cookie;
        bool matches;
    };
    const Case cases[] = {
        {"/docs", "/docs", true},
        {"/docs/a.html", "/docs", true},
        {"/docs/a", "/docs/", true},
        {"/docsx", "/docs", false},
        {"/docs", "/docs/", false},
        {"/Docs/a", "/docs", false},  // case counts
        {"/", "/", true},
        {"/anything", "/", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CookiePathMatches(c.request, c.cookie), c.matches)
            << c.request << " " << c.cookie;
    EXPECT_EQ(CookieRequestPath("/a/b?q=1#f"), "/a/b");
}

}  // namespace
}  // namespace tellweir
