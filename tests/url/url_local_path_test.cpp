// Local path detection and file-name extensions.
#include "url/local_path.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tellweir
