// Resolving references against URL and local bases, and the same-site test.
#include "url/url_resolve.h"

#include <gtest/gtest.h>

#include <string>

namespace tellweir {
namespace {

struct ResolveCase {
    std::string_view base;
    std::string_view reference;
    std::string_view expected;
};

void ExpectResolved(const ResolveCase& c) {
    EXPECT_EQ(ResolveReference(c.base, c.reference), c.expected)
        << "base " << c.base << ", reference " << c.reference;
}

TEST(UrlResolve, AgainstAUrlBase) {
    const ResolveCase cases[] = {
        {"http://h/a/b/page.html", "../c.html", "http://h/a/c.html"},
        {"http://h/a/b", "/x", "http://h/x"},
        {"http://h", "x", "http://h/x"},
        {"http://h/a/b/", "c", "http://h/a/b/c"},
        {"http://h/a/b/page", "../", "http://h/a"},
        {"http://h/a/page", "../../../x", "http://h/x"},
        {"http://h/a\\b\\page", "..\\c", "http://h/a/c"},
        // User and port stay, the password never does.
        {"http://User:pw@H:8080/a/b", "c?q=1", "http://user@h:8080/a/c?q=1"},
        {"http://h/a/b/page", "", "http://h/a/b/page"},
        // A full URL is taken as it is, not normalised.
        {"http://h/a", "https://Other.test/x", "https://Other.test/x"},
        {"HTTP://h/a", "x", ""},
        {"not a url", "x", ""},
        {"", "x", ""},
    };
    for (const ResolveCase& c : cases)
        ExpectResolved(c);
}

TEST(UrlResolve, FileUrlGivesAnAbsoluteLocalPath) {
    const ResolveCase cases[] = {
        {"http://h/a", "file:///home/u/x.txt", "/home/u/x.txt"},
        {"/home/u/a.html", "file://\\\\/srv/x", "/srv/x"},
        {"", "file://", "/"},
    };
    for (const ResolveCase& c : cases)
        ExpectResolved(c);
}

TEST(UrlResolve, AgainstALocalBase) {
    const ResolveCase cases[] = {
        {"/home/u/site/page.html", "img/a.png", "/home/u/site/img/a.png"},
        {"/home/u/site/page.html", "../x.html", "/home/u/x.html"},
        {"/home/u/site/", "x", "/home/u/site/x"},
        {"/home/page.html", "../x", "/x"},
        {"/top.html", "../../x", "/x"},
        {"~/site/page.html", "a.html", "~/site/a.html"},
        // Links written with backslashes still climb and join with '/'.
        {"/home/u/site/page.html", "..\\x\\y.html", "/home/u/x/y.html"},
        {"/home/u/page.html", "/etc/x", "/etc/x"},
        {"/home/u/page.html", "~/x", "~/x"},
        {"/home/u/page.html", "http://h/x", "http://h/x"},
        {"/home/u/page.html", "\\x", ""},
    };
    for (const ResolveCase& c : cases)
        ExpectResolved(c);
}

TEST(UrlResolve, SameSiteComparesHostsOrLocality) {
    struct Case {
        std::string_view first;
        std::string_view second;
        bool same;
    };
    const Case cases[] = {
        {"http://A.site.test/x", "https://a.site.test:8443/", true},
        {"http://user@h/", "ftp://h:21/y", true},
        {"http://a.site.test/", "http://b.site.test/", false},
        {"www.site.test/", "http://www.site.test/", false},  // strict parse only
        {"http://h/", "/home/u/a", false},
        {"http://h/", "file:///home/a", false},
        {"/home/u/a", "http://h/", false},
        {"/home/a", "file:///home/b", true},
        {"file:///home/a", "/home/b", true},
        {"file:///home/a", "file://\\x", true},
        {"C:\\a", "D:\\b", true},
        {"", "http://h/", false},
        {"http://h/", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSameSite(c.first, c.second), c.same) << c.first << " vs " << c.second;
}

}  // namespace
}  // namespace tellweir
