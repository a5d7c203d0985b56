// The cookie store in memory: Set-Cookie values, the Cookie text of requests, replacement,
// expiry, removal, limits and the change stamp. The clock is fixed, so nothing sleeps.
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
    bool Add(std::string_view setCookie, std::string_view host = "www.site.test") {
        return store_.AddFromHeader(setCookie, host, kAdded);
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
    EXPECT_EQ(cookies[0].path, "/");
    EXPECT_EQ(cookies[0].expires, "");
    EXPECT_EQ(cookies[0].added, kAdded);
    EXPECT_EQ(Header("intranet"), "id=7");
    EXPECT_EQ(Header("intranet.local"), "id=7");
    EXPECT_EQ(Header("other"), "");
}

TEST_F(CookieStoreTest, SameDomainAndPathReplacesWhateverTheName) {
    ASSERT_TRUE(Add("a=1; path=/docs"));
    ASSERT_TRUE(Add("b=2; Path=/docs"));
    EXPECT_EQ(Header("www.site.test", "/docs/x"), "b=2");
    EXPECT_EQ(All().size(), 1u);
}

TEST_F(CookieStoreTest, SetCookieValueParsing) {
    ASSERT_TRUE(Add("  a=b c; path=/x"));  // the blank ends the cookie text
    ASSERT_TRUE(
        Add("k=v;PATH = /y ; Domain= .Site.Test ;SECURE=no; Max-Age=5; flag", "other.test"));
    const auto cookies = All();
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].text, "a=b");
    EXPECT_EQ(cookies[0].domain, "www.site.test");
    EXPECT_EQ(cookies[0].path, "/x");
    EXPECT_FALSE(cookies[0].secure);
    EXPECT_EQ(cookies[1].text, "k=v");  // the sending host is not checked against the domain
    EXPECT_EQ(cookies[1].domain, ".Site.Test");
    EXPECT_EQ(cookies[1].path, "/y");
    EXPECT_TRUE(cookies[1].secure);  // by its name alone

    EXPECT_FALSE(Add(""));
    EXPECT_FALSE(Add(" \t "));
    EXPECT_FALSE(Add("; path=/"));
    EXPECT_FALSE(Add("x=1", ""));  // no host and no domain: a single label
}

TEST_F(CookieStoreTest, ExpiresAttributeForms) {
    EXPECT_TRUE(Add("a=1; expires=Wed, 09-Jun-2032 10:18:14 GMT; path=/a"));
    EXPECT_TRUE(Add("b=2; expires=Wed, 09 Jun 2032 10:18:14 GMT; path=/b"));
    EXPECT_FALSE(Add("c=3; expires=Wed, 09-Jun-32 10:18:14 GMT; path=/c"));
    EXPECT_FALSE(Add("d=4; expires=soon; path=/d"));
    const auto cookies = All();
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].expires, "06/09/2032 10:18:14 GMT");
    EXPECT_EQ(cookies[1].expires, "06/09/2032 10:18:14 GMT");
}

TEST_F(CookieStoreTest, SecureCookieOnlyOnSecureRequests) {
    ASSERT_TRUE(Add("s=1; secure"));
    ASSERT_TRUE(Add("p=2; path=/p"));
    EXPECT_EQ(Header("www.site.test", "/p", false), "p=2");
    EXPECT_EQ(Header("www.site.test", "/p", true), "s=1; p=2");
}

TEST_F(CookieStoreTest, RequestMatchesDomainSuffixAndPathPrefixParentsFirst) {
    ASSERT_TRUE(store_.AddCookie("site.test", "/", false, "a=1", "", kAdded));
    ASSERT_TRUE(store_.AddCookie("site.test", "/Docs", false, "b=2", "", kAdded));
    ASSERT_TRUE(store_.AddCookie("www.site.test", "/", false, "c=3", "", kAdded));
    ASSERT_TRUE(store_.AddCookie(".site.test", "/x", false, "d=4", "", kAdded));
    ASSERT_TRUE(store_.AddCookie("other.test", "/", false, "e=5", "", kAdded));

    EXPECT_EQ(Header("www.site.test", "/docs/page.html"), "a=1; b=2; c=3");
    EXPECT_EQ(Header("WWW.Site.Test", "/x"), "a=1; c=3; d=4");
    EXPECT_EQ(Header("site.test", "/x"), "a=1");  // ".site.test" does not end "site.test"
    EXPECT_EQ(Header("ab.www.site.test", "/"), "a=1; c=3");
    EXPECT_EQ(Header("site.test", ""), "");
    EXPECT_EQ(Header("", "/"), "");
    EXPECT_EQ(Header("test", "/"), "");
}

TEST_F(CookieStoreTest, ExpiredCookieDisappearsOnTheNextRequestOverIt) {
    ASSERT_TRUE(Add("old=1; expires=Mon, 01-Jul-2030 12:30:00 GMT"));
    ASSERT_TRUE(Add("keep=1; path=/k; expires=Mon, 01-Jul-2030 13:30:00 GMT"));
    EXPECT_EQ(Header("www.site.test", "/k"), "old=1; keep=1");

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
    EXPECT_EQ(Header("www.site.test", "/p"), "q=\"quoted\"; p=plain");
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
}

TEST_F(CookieStoreTest, ConcurrentStoresAndQueries) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            const std::string host = "h" + std::to_string(t) + ".site.test";
            for (int i = 0; i < 300; ++i) {
                store_.AddFromHeader(
                    "n" + std::to_string(i % 7) + "=1; path=/" + std::to_string(i % 5), host,
                    kAdded);
                std::string out;
                store_.GetCookieHeader(host, "/1", false, out);
                if (i % 50 == 0) store_.RemoveCookie(host, "/2");
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(All().size(), 20u);  // four hosts, five paths each
}

}  // namespace
}  // namespace tellweir
