// Download file names, including the numbering of names for URLs with a query.
#include "url/download_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

constexpr std::int64_t kSeconds = 1234567890;

class DownloadPathTest : public ::testing::Test {
  protected:
    static CUrlAddress Parse(std::string_view url, std::string& path) {
        CUrlAddress address;
        EXPECT_TRUE(ParseUrl(url, true, address, path)) << url;
        return address;
    }

    std::string Make(std::string_view url, std::int32_t counter) const {
        std::string path;
        const CUrlAddress address = Parse(url, path);
        return MakeDownloadPath(folder_, address, path, counter, kSeconds);
    }

    static void Touch(const std::string& file) {
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        testing::WriteAll(file, "x");
    }

    testing::TempDir dir_{"url-dl"};
    const std::string folder_ = dir_.Path();
};

TEST_F(DownloadPathTest, SchemeAndSiteFoldersHoldTheEscapedPath) {
    struct Case {
        std::string_view url;
        std::string expected;  // below the folder
    };
    const Case cases[] = {
        {"http://site.test/a/b.html", "/http/site.test/%2Fa%2Fb.html"},
        {"http://site.test:8080/a", "/http/site.test 8080/%2Fa"},
        {"ftp://User:secret@h/x", "/ftp/user@h/%2Fx"},
        {"https://h", "/https/h/[default]"},
        {"https://h/dir/", "/https/h/%2Fdir%2F[default]"},
        {"http://h/a<b>*\"|:\\c", "/http/h/%2Fa%3Cb%3E%2A%22%7C%3A%5Cc"},
        {"mailto:someone@h", "/mailto/someone@h/[default]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Make(c.url, 0), folder_ + c.expected) << c.url;
}

TEST_F(DownloadPathTest, FolderIsJoinedWithOneSlash) {
    std::string path;
    const CUrlAddress address = Parse("http://site.test/a", path);
    EXPECT_EQ(MakeDownloadPath(folder_ + "//", address, path, 0), folder_ + "/http/site.test/%2Fa");
    EXPECT_EQ(MakeDownloadPath("/", address, path, 0), "/http/site.test/%2Fa");
    EXPECT_EQ(MakeDownloadPath("", address, path, 0), "http/site.test/%2Fa");
}

TEST_F(DownloadPathTest, QueryNamesAreNumberedPastExistingFiles) {
    const std::string stem = folder_ + "/http/site.test/%2Fcgi[1234567890.";
    EXPECT_EQ(Make("http://site.test/cgi?x=1", 0), stem + "0000].xdat");
    EXPECT_EQ(Make("http://site.test/cgi?x=1/y", 7), stem + "0007].xdat");

    Touch(stem + "0000].xdat");
    Touch(stem + "0001].xdat");
    EXPECT_EQ(Make("http://site.test/cgi?x=2", 0), stem + "0002].xdat");

    // A dangling link occupies its name too.
    ASSERT_EQ(::symlink((folder_ + "/nowhere").c_str(), (stem + "0002].xdat").c_str()), 0);
    EXPECT_EQ(Make("http://site.test/cgi?x=2", 0), stem + "0003].xdat");
}

TEST_F(DownloadPathTest, CounterRunsOutOnlyForQueries) {
    const std::string stem = folder_ + "/http/site.test/%2Fcgi[1234567890.";
    EXPECT_EQ(Make("http://site.test/cgi?x=1", 9999), "");
    EXPECT_EQ(Make("http://site.test/cgi", 9999), folder_ + "/http/site.test/%2Fcgi");

    EXPECT_EQ(Make("http://site.test/cgi?x=1", 9998), stem + "9998].xdat");
    Touch(stem + "9998].xdat");
    EXPECT_EQ(Make("http://site.test/cgi?x=1", 9998), "");
}

TEST_F(DownloadPathTest, EmptyRecordGivesNothing) {
    EXPECT_EQ(MakeDownloadPath(folder_, CUrlAddress(), "/x", 0), "");
    EXPECT_EQ(MakeDownloadPath(folder_, CUrlAddress{"h", "", "", 80, ProtocolId::Unknown}, "/x", 0),
              "");
}

TEST_F(DownloadPathTest, UsesTheCurrentTimeWhenNoneIsGiven) {
    std::string path;
    const CUrlAddress address = Parse("http://h/q?1", path);
    const std::int64_t before = std::time(nullptr);
    const std::string made = MakeDownloadPath(folder_, address, path, 0);
    const std::int64_t after = std::time(nullptr);

    const std::string stem = folder_ + "/http/h/%2Fq[";
    ASSERT_TRUE(made.starts_with(stem)) << made;
    ASSERT_TRUE(made.ends_with(".0000].xdat")) << made;
    const std::int64_t seconds = std::atoll(made.c_str() + stem.size());
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, after);
}

}  // namespace
}  // namespace tellweir
