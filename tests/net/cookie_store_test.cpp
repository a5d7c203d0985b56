// The cookie store in memory: which Set-Cookie values it takes from which host and path, which
// cookies go with which request, replacement, Max-Age and Expires, removal, limits and the
// change stamp. The clock is fixed, so nothing sleeps.
#include "net/cookie/cookie_store.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "net/cookie/cookie_date.h"
#include "tests/support/local_time.h"

namespace tellweir {
namespace {

const std::time_t kNow = CivilTimeToUtc({2030, 7, 1, 12, 0, 0});
const DateTime kAdded = testing::MakeTime(2030, 6, 1, 10);

class CookieStoreTest : public ::testing::Test {
  protected:
    bool Add(std::string_view setCookie, std::string_view host = "www.site.test",
             std::string_view path = "/") {
        return store_.AddFromHeader(setCookie, host, path, kAdded);
    }
    std::string Header(std::string_view host, std::string_view path = "/", bool secure = false) {
        std::string out = "stale";
        const bool any = store_.GetCookieHeader(host, path, secure, out);
        EXPECT_EQ(any, !out.empty());
        return out;
    }
    std::vector<CCookieStore::Cookie> All() {
        std::vector<CCookieStore::Cookie> cookies;
        store_.Enumerate([&](const CCookieStore::Cookie& c) { cookies.push_back(c); });
        return cookies;
    }

    std::time_t now_ = kNow;
    CCookieStore store_{[this] { return now_; }};
};

TEST_F(CookieStoreTest, IntranetHostIsFiledUnderLocal) {
    ASSERT_TRUE(Add("id=7", "intranet"));
    const auto cookies = All();
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].domain, "intranet.local");
    EXPECT_TRUE(cookies[0].hostOnly);
    EXPECT_EQ(cookies[0].path, "/");
    EXPECT_EQ(cookies[0].expires, "");
    EXPECT_EQ(cookies[0].added, kAdded);
    EXPECT_EQ(Header("intranet"), "id=7");
    EXPECT_EQ(Header("intranet.local"), "id=7");
    EXPECT_EQ(Header("other"), "");
}

TEST_F(CookieStoreTest, WhatIsStoredAndWhereItIsSent) {
    struct Case {
        const char* name;
        const char* setCookie;
        const char* fromHost;
        const char* fromPath;
        bool stored;
        const char* toHost;
        const char* toPath;
        bool https;
        const char* sent;  // the Cookie text of the request; empty: none
    };
    const Case cases[] = {
        // A Domain attribute must name the sending host or a domain above it.
        {"planted for another site", "p=1; domain=.other.example", "127.0.0.1", "/", false,
         "www.other.example", "/", false, ""},
        {"another site by name", "p=1; domain=other.test", "www.site.test", "/", false,
         "other.test", "/", false, ""},
        {"suffix not at a dot", "p=1; domain=ite.test", "www.site.test", "/", false, "www.ite.test",
         "/", false, ""},
        {"a host below the sender", "p=1; domain=x.www.site.test", "www.site.test", "/", false,
         "x.www.site.test", "/", false, ""},
        {"bare top-level name", "p=1; domain=com", "www.site.com", "/", false, "other.com", "/",
         false, ""},
        {"bare top-level name, dotted", "p=1; domain=.COM", "www.site.com", "/", false,
         "www.other.com", "/", false, ""},
        {"address names itself", "a=1; domain=127.0.0.1", "127.0.0.1", "/", true, "127.0.0.1", "/",
         false, "a=1"},
        {"address names a suffix", "p=1; domain=0.0.1", "127.0.0.1", "/", false, "127.0.0.1", "/",
         false, ""},
        {"address names a site", "p=1; domain=site.test", "127.0.0.1", "/", false, "site.test", "/",
         false, ""},
        {"domain cookie to a host below", "a=1; Domain=.Site.Test", "www.site.test", "/", true,
         "img.site.test", "/", false, "a=1"},
        {"domain cookie to the domain", "a=1; domain=site.test", "www.site.test", "/", true,
         "SITE.test", "/", false, "a=1"},
        {"host as domain, to a host below", "a=1; domain=www.site.test", "www.site.test", "/", true,
         "x.www.site.test", "/", false, "a=1"},
        {"host as domain, to a lookalike", "a=1; domain=www.site.test", "www.site.test", "/", true,
         "awww.site.test", "/", false, ""},
        // Without one the cookie is host-only.
        {"host-only, to its host", "a=1", "www.site.test", "/", true, "WWW.Site.test", "/", false,
         "a=1"},
        {"host-only, to a host below", "a=1", "www.site.test", "/", true, "x.www.site.test", "/",
         false, ""},
        {"host-only, to the domain above", "a=1", "www.site.test", "/", true, "site.test", "/",
         false, ""},
        {"empty domain attribute", "a=1; domain=", "www.site.test", "/", true, "x.www.site.test",
         "/", false, ""},
        {"host-only on an address", "a=1", "127.0.0.1", "/", true, "127.0.0.1", "/", false, "a=1"},
        // Scheme.
        {"secure over http", "s=1; secure", "www.site.test", "/", true, "www.site.test", "/", false,
         ""},
        {"secure over https", "s=1; Secure", "www.site.test", "/", true, "www.site.test", "/", true,
         "s=1"},
        {"plain over https", "p=1", "www.site.test", "/", true, "www.site.test", "/", true, "p=1"},
        // Paths.
        {"default path, inside", "a=1", "www.site.test", "/docs/index.html", true, "www.site.test",
         "/docs/x", false, "a=1"},
        {"default path, beside", "a=1", "www.site.test", "/docs/index.html", true, "www.site.test",
         "/docsx", false, ""},
        {"default path, above", "a=1", "www.site.test", "/docs/index.html", true, "www.site.test",
         "/", false, ""},
        {"relative path gives the default", "a=1; path=shop", "www.site.test", "/docs/index.html",
         true, "www.site.test", "/shop", false, ""},
        {"path attribute", "a=1; path=/shop", "www.site.test", "/docs/index.html", true,
         "www.site.test", "/shop/cart", false, "a=1"},
        {"path case counts", "a=1; path=/Shop", "www.site.test", "/", true, "www.site.test",
         "/shop", false, ""},
        {"queries ignored", "a=1", "www.site.test", "/a/b?x=/c/d", true, "www.site.test", "/a?y=1",
         false, "a=1"},
        // The name=value pair.
        {"value keeps inner blanks", " a = b c ;path=/", "www.site.test", "/", true,
         "www.site.test", "/", false, "a=b c"},
        {"no '='", "flag; path=/", "www.site.test", "/", false, "www.site.test", "/", false, ""},
        {"no name", " =v", "www.site.test", "/", false, "www.site.test", "/", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store_.Clear();
        EXPECT_EQ(Add(c.setCookie, c.fromHost, c.fromPath), c.stored);
        EXPECT_EQ(All().size(), c.stored ? 1u : 0u);
        EXPECT_EQ(Header(c.toHost, c.toPath, c.https), c.sent);
    }
}

TEST_F(CookieStoreTest, SetCookieAttributes) {
    ASSERT_TRUE(Add("k=v;PATH = /y ; Domain= .Site.Test ;SECURE=no; Max-Age=5; flag"));
    const auto cookies = All();
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].text, "k=v");
    EXPECT_EQ(cookies[0].domain, "site.test");
    EXPECT_FALSE(cookies[0].hostOnly);
    EXPECT_EQ(cookies[0].path, "/y");
    EXPECT_TRUE(cookies[0].secure);  // by its name alone
    EXPECT_EQ(cookies[0].expires, "07/01/2030 12:00:05 GMT");

    EXPECT_FALSE(Add(""));
    EXPECT_FALSE(Add(" \t "));
    EXPECT_FALSE(Add("; path=/"));
    EXPECT_FALSE(Add("x=1", ""));  // no host
}

TEST_F(CookieStoreTest, MaxAgeWinsOverExpires) {
    const std::string future = "Wed, 09 Jun 2032 10:18:14 GMT";
    const std::string past = "Sat, 01 Jun 2030 00:00:00 GMT";
    struct Case {
        std::string setCookie;
        const char* expires;  // of the stored cookie; nullptr: the value deletes
    };
    const Case cases[] = {
        {"a=1; Max-Age=60; Expires=" + past, "07/01/2030 12:01:00 GMT"},
        {"a=1; Expires=" + past + "; max-age=60", "07/01/2030 12:01:00 GMT"},
        {"a=1; Max-Age=60; Max-Age=120", "07/01/2030 12:02:00 GMT"},
        {"a=1; Max-Age=0; Expires=" + future, nullptr},
        {"a=1; Expires=" + future + "; Max-Age=-1", nullptr},
        {"a=1; Expires=" + past, nullptr},
        {"a=1; Max-Age=1x; Expires=" + future, "06/09/2032 10:18:14 GMT"},  // unreadable: ignored
        {"a=1; Max-Age=99999999999999999999", "12/31/9999 23:59:59 GMT"},
        {"a=1; Expires=Wed, 09-Jun-32 10:18:14 GMT", ""},  // two-digit year: a session cookie
        {"a=1; Expires=soon", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setCookie);
        store_.Clear();
        ASSERT_TRUE(Add("a=old"));
        ASSERT_TRUE(Add("b=other"));
        EXPECT_TRUE(Add(c.setCookie));
        const auto cookies = All();
        if (!c.expires) {
            ASSERT_EQ(cookies.size(), 1u);  // "a=old" went, the other name stayed
            EXPECT_EQ(cookies[0].text, "b=other");
            continue;
        }
        ASSERT_EQ(cookies.size(), 2u);
        EXPECT_EQ(cookies[0].text, "a=1");  // in the place of "a=old"
        EXPECT_EQ(cookies[0].expires, c.expires);
    }
}

TEST_F(CookieStoreTest, ExpiresAttributeForms) {
    EXPECT_TRUE(Add("a=1; expires=Wed, 09-Jun-2032 10:18:14 GMT; path=/a"));
    EXPECT_TRUE(Add("b=2; expires=Wed, 09 Jun 2032 10:18:14 GMT; path=/b"));
    const auto cookies = All();
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].expires, "06/09/2032 10:18:14 GMT");
    EXPECT_EQ(cookies[1].expires, "06/09/2032 10:18:14 GMT");
}

TEST_F(CookieStoreTest, NameDomainAndPathIdentifyACookie) {
    ASSERT_TRUE(Add("a=1; path=/docs"));
    ASSERT_TRUE(Add("b=2; path=/docs"));
    ASSERT_TRUE(Add("a=3; path=/docs"));                    // replaces a=1, keeping its place
    ASSERT_TRUE(Add("a=4; path=/docs/"));                   // another path
    ASSERT_TRUE(Add("a=5; path=/docs; domain=site.test"));  // another domain
    EXPECT_EQ(All().size(), 4u);
    EXPECT_EQ(Header("www.site.test", "/docs/x"), "a=4; a=5; a=3; b=2");

    // Filed under one key, x.site.test with "/" and site.test with "/x" are still two cookies.
    store_.Clear();
    ASSERT_TRUE(Add("c=1; domain=x.site.test", "x.site.test"));
    ASSERT_TRUE(Add("c=2; path=/x", "site.test"));
    EXPECT_EQ(All().size(), 2u);
    EXPECT_EQ(Header("x.site.test", "/x"), "c=1");
    EXPECT_EQ(Header("site.test", "/x"), "c=2");
}

TEST_F(CookieStoreTest, LongerPathsGoFirst) {
    ASSERT_TRUE(Add("a=1"));
    ASSERT_TRUE(Add("b=2; path=/docs/api"));
    ASSERT_TRUE(Add("c=3; path=/docs"));
    ASSERT_TRUE(store_.AddCookie("site.test", "/", false, "d=4", "", kAdded));
    EXPECT_EQ(Header("www.site.test", "/docs/api/x"), "b=2; c=3; d=4; a=1");
}

TEST_F(CookieStoreTest, ExpiredCookieDisappearsOnTheNextRequestOverIt) {
    ASSERT_TRUE(Add("old=1; expires=Mon, 01-Jul-2030 12:30:00 GMT"));
    ASSERT_TRUE(Add("keep=1; path=/k; expires=Mon, 01-Jul-2030 13:30:00 GMT"));
    EXPECT_EQ(Header("www.site.test", "/k"), "keep=1; old=1");

    now_ = CivilTimeToUtc({2030, 7, 1, 12, 30, 0});  // expiry is not later than now
    EXPECT_EQ(Header("other.site.test"), "");        // walks over it: deleted, not just skipped
    now_ = kNow;
    EXPECT_EQ(Header("www.site.test", "/k"), "keep=1");
    EXPECT_EQ(All().size(), 1u);
    EXPECT_EQ(store_.SaveToText().find("old=1"), std::string::npos);
}

TEST_F(CookieStoreTest, RefusedCookies) {
    const std::string longest(CCookieStore::kMaxTextLength - 2, 'v');
    EXPECT_TRUE(store_.AddCookie("site.test", "/", false, "a=" + longest, "", kAdded));
    struct Case {
        std::string domain;
        std::string path;
        std::string text;
        std::string expires;
    };
    // Two domain labels and kMaxKeyComponents - 1 path segments: one component too many.
    std::string deepPath;
    for (std::size_t i = 0; i + 1 < CCookieStore::kMaxKeyComponents; ++i)
        deepPath += "/d";
    const Case cases[] = {
        {"site.test", "/", "", ""},
        {"site.test", "/", "  ", ""},
        {"site.test", "/", "a=" + longest + "v", ""},
        {"localhost", "/", "a=1", ""},
        {".test.", "/", "a=1", ""},
        {"site.test", "/", "a=1", "not a date"},
        {std::string(CCookieStore::kMaxDomainLength - 4, 'd') + ".test", "/", "a=1", ""},
        {"site.test", "/" + std::string(CCookieStore::kMaxPathLength, 'p'), "a=1", ""},
        {"site.test", deepPath, "a=1", ""},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(store_.AddCookie(c.domain, c.path, false, c.text, c.expires, kAdded))
            << c.domain << " " << c.path.size() << " " << c.text.size() << " " << c.expires;
    }
    EXPECT_EQ(All().size(), 1u);
    // Just inside the key limit.
    EXPECT_TRUE(store_.AddCookie("site.test", deepPath.substr(2), false, "a=1", "", kAdded));
}

TEST_F(CookieStoreTest, RemoveCookieIgnoresCaseAndLeavesOthers) {
    ASSERT_TRUE(store_.AddCookie("www.site.test", "/", false, "a=1", "", kAdded));
    ASSERT_TRUE(store_.AddCookie("www.site.test", "/Docs", false, "b=2", "", kAdded));
    ASSERT_TRUE(store_.AddCookie("site.test", "/", false, "c=3", "", kAdded));

    EXPECT_TRUE(store_.RemoveCookie("WWW.site.TEST", "/docs"));
    EXPECT_FALSE(store_.RemoveCookie("www.site.test", "/docs"));
    EXPECT_FALSE(store_.RemoveCookie("www.site.test", "/Doc"));
    EXPECT_FALSE(store_.RemoveCookie("nothing.test", "/"));
    EXPECT_FALSE(store_.RemoveCookie("intranet", "/"));
    EXPECT_EQ(Header("www.site.test", "/docs"), "c=3; a=1");

    store_.Clear();
    EXPECT_TRUE(All().empty());
    EXPECT_EQ(Header("www.site.test"), "");
}

TEST_F(CookieStoreTest, ChangeStampAndModifiedFlag) {
    EXPECT_FALSE(store_.IsModified());
    std::uint32_t last = store_.GetStamp();
    auto grew = [&] {
        const std::uint32_t stamp = store_.GetStamp();
        const bool more = stamp > last;
        last = stamp;
        return more;
    };
    ASSERT_TRUE(Add("a=1"));
    EXPECT_TRUE(grew());
    ASSERT_TRUE(Add("a=2"));
    EXPECT_TRUE(grew());  // strictly increasing within one millisecond too
    EXPECT_FALSE(Add("; path=/"));
    EXPECT_FALSE(grew());
    EXPECT_TRUE(store_.IsModified());

    ASSERT_TRUE(store_.RemoveCookie("www.site.test", "/"));
    EXPECT_TRUE(grew());
    EXPECT_FALSE(store_.RemoveCookie("www.site.test", "/"));
    EXPECT_FALSE(grew());
    ASSERT_TRUE(Add("a=3"));
    store_.Clear();
    EXPECT_GT(store_.GetStamp(), last);
}

TEST_F(CookieStoreTest, CookieWithQuoteLivesForTheSessionOnly) {
    ASSERT_TRUE(Add("q=\"quoted\"; expires=Wed, 09-Jun-2032 10:18:14 GMT"));
    ASSERT_TRUE(Add("p=plain; path=/p; expires=Wed, 09-Jun-2032 10:18:14 GMT"));
    EXPECT_EQ(Header("www.site.test", "/p"), "p=plain; q=\"quoted\"");
    const std::string text = store_.SaveToText();
    EXPECT_EQ(text.find("quoted"), std::string::npos);
    EXPECT_NE(text.find("p=plain"), std::string::npos);
}

TEST_F(CookieStoreTest, OldestCookieMakesRoomBeyondTheLimit) {
    for (std::size_t i = 0; i <= CCookieStore::kMaxCookies; ++i) {
        ASSERT_TRUE(
            store_.AddCookie("d" + std::to_string(i) + ".test", "/", false, "a=1", "", kAdded));
    }
    EXPECT_EQ(All().size(), CCookieStore::kMaxCookies);
    EXPECT_EQ(Header("d0.test"), "");
    EXPECT_EQ(Header("d1.test"), "a=1");
    EXPECT_EQ(Header("d" + std::to_string(CCookieStore::kMaxCookies) + ".test"), "a=1");

    store_.Clear();
    for (std::size_t i = 0; i <= CCookieStore::kMaxCookiesPerKey; ++i)
        ASSERT_TRUE(Add("n" + std::to_string(i) + "=1"));
    const auto cookies = All();
    ASSERT_EQ(cookies.size(), CCookieStore::kMaxCookiesPerKey);
    EXPECT_EQ(cookies.front().text, "n1=1");
}

TEST_F(CookieStoreTest, ConcurrentStoresAndQueries) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            const std::string host = "h" + std::to_string(t) + ".site.test";
            for (int i = 0; i < 300; ++i) {
                store_.AddFromHeader(
                    "n" + std::to_string(i % 7) + "=1; path=/" + std::to_string(i % 5), host, "/",
                    kAdded);
                std::string out;
                store_.GetCookieHeader(host, "/1", false, out);
                if (i % 50 == 0) store_.RemoveCookie(host, "/2");
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(All().size(), 140u);  // four hosts, five paths, seven names
}

}  // namespace
}  // namespace tellweir
