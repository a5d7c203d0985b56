// Local path detection, file-name extensions, and "file:" URIs and relative paths made absolute.
#include "url/local_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tellweir {
namespace {

TEST(UrlLocalPath, DesignedAndNativeFormsAreLocal) {
    struct Case {
        std::string_view text;
        bool local;
    };
    const Case cases[] = {
        {"C:\\data\\x.txt", true},   {"z:", true},
        {"\\\\server\\share", true}, {"//server/share", true},
        {"\\/mixed", true},          {"file:x", true},
        {"/home/u/x.txt", true},     {"/", true},
        {"~/x.txt", true},           {"", false},
        {"File:x", false},           {"1:x", false},
        {"\\single", false},         {"~", false},
        {"~user/x", false},          {"relative/x.txt", false},
        {"http://h/x", false},       {"www.site.test", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsLocalPath(c.text), c.local) << c.text;
}

TEST(UrlLocalPath, ExtensionComesFromTheLastSegmentOnly) {
    struct Case {
        std::string_view path;
        std::string_view extension;
    };
    const Case cases[] = {
        {"/a/b.tar.gz", ".gz"},   {"/a.d/b", ""}, {"a.d\\b", ""}, {"/a/b.", "."},
        {".profile", ".profile"}, {"", ""},       {"/a/b", ""},   {"x.html?q=1", ".html?q=1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFileExtension(c.path), c.extension) << c.path;
}

TEST(UrlLocalPath, FileUriGivesThePathItNames) {
    struct Case {
        std::string_view uri;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"file:///tmp/a.txt", "/tmp/a.txt"},
        {"file://localhost/tmp/a.txt", "/tmp/a.txt"},
        {"FILE://LocalHost/tmp/a.txt", "/tmp/a.txt"},
        {"file:/tmp/a.txt", "/tmp/a.txt"},
        {"file:///tmp/a%20b%25%2fc.txt", "/tmp/a b%/c.txt"},
        {"file:///tmp/caf%C3%A9.txt", "/tmp/caf\xC3\xA9.txt"},
        {"file:///tmp/a.txt?q=1#top", "/tmp/a.txt"},
        {"file:///", "/"},
        {"file://server/share/a.txt", std::nullopt},
        {"file://localhost", std::nullopt},
        {"file:relative.txt", std::nullopt},
        {"file:///tmp/a%2", std::nullopt},
        {"file:///tmp/a%zz", std::nullopt},
        {"file:///tmp/a%00b", std::nullopt},
        {"/tmp/a.txt", std::nullopt},
        {"http://h/a.txt", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathFromFileUri(c.uri), c.path) << c.uri;
}

TEST(UrlLocalPath, TextWithoutSchemeIsAPathBelowTheCurrentFolder) {
    struct Case {
        std::string_view text;
        bool relative;
    };
    const Case cases[] = {
        {"page.txt", true},     {"dir/../page.txt", true}, {"www.site.test/a", true},
        {"/tmp/a.txt", false},  {"~/a.txt", false},        {"file:///tmp/a", false},
        {"File:/tmp/a", false}, {"http://h/", false},      {"sftp://h/x", false},
        {"HTTP://h/", false},   {"mailto:a@b", false},     {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsRelativeLocalPath(c.text), c.relative) << c.text;
    EXPECT_EQ(AbsolutePathIn("/home/u", "page.txt"), "/home/u/page.txt");
    EXPECT_EQ(AbsolutePathIn("/home/u/", "./d/../page.txt"), "/home/u/page.txt");
    EXPECT_EQ(AbsolutePathIn("/home/u", "../../../x"), "/x");
}

}  // namespace
}  // namespace tellweir
