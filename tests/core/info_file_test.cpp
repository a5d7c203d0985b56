// The INFO file of a monitor task (its exact text, reading it back) and the block-wise
// comparison and copy of file contents behind the whole-content check.
#include "core/info_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/task_properties.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

using testing::TempDir;

// Descriptors of files opened for one test, closed at the end.
class OpenFiles {
  public:
    ~OpenFiles() {
        for (int fd : fds_)
            ::close(fd);
    }
    int Open(const std::string& path, int flags = O_RDONLY) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd >= 0) fds_.push_back(fd);
        return fd;
    }

  private:
    std::vector<int> fds_;
};

struct InfoValues {
    std::string url, etag, contentType;
    std::int64_t size = 0;
    std::string modified, created;
};

CPropertySet ToSet(const InfoValues& v) {
    CPropertySet set;
    set.SetString(task::kUri, v.url);
    set.SetString(task::kETag, v.etag);
    set.SetString(task::kContentType, v.contentType);
    set.SetInt64(task::kSize, v.size);
    set.SetString(task::kTimeModified, v.modified);
    set.SetString(task::kTimeCreated, v.created);
    return set;
}

TEST(InfoFile, WritesNonDefaultPairsInTableOrderAndReadsThemBack) {
    struct Case {
        const char* what;
        InfoValues values;
        const char* text;
    };
    const Case cases[] = {
        {"http page with a quoted e-tag, no time",
         {"http://site.test/", "\"5e-29c1\"", "text/html", 10689, "", ""},
         "URL=\"http://site.test/\" ETag=\"&quot;5e-29c1&quot;\" ContentType=\"text/html\" "
         "Size=\"10689\""},
        {"local file: times last",
         {"/data/a&b.txt", "", "", 3, "03/04/2004 08:00:00", "03/03/2004 14:05:09"},
         "URL=\"/data/a&amp;b.txt\" Size=\"3\" TimeModified=\"03/04/2004 08:00:00\" "
         "TimeCreated=\"03/03/2004 14:05:09\""},
        {"defaults are left out", {"<x>", "", "", 0, "", ""}, "URL=\"&lt;x&gt;\""},
        {"unknown size",
         {"ftp://f.test/a", "", "", -1, "", ""},
         "URL=\"ftp://f.test/a\" Size=\"-1\""},
    };
    TempDir dir("info-file");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir / "page.info";
        ASSERT_TRUE(WriteInfoFile(path, ToSet(c.values)));
        EXPECT_EQ(dir.ReadFile("page.info"), c.text);  // no line end either

        CPropertySet back;
        back.SetString(task::kETag,
                       "stale");  // every field is replaced by the file's or its default
        ASSERT_TRUE(ReadInfoFile(path, back));
        EXPECT_EQ(back.String(task::kUri), c.values.url);
        EXPECT_EQ(back.String(task::kETag), c.values.etag);
        EXPECT_EQ(back.String(task::kContentType), c.values.contentType);
        EXPECT_EQ(back.Int64(task::kSize), c.values.size);
        EXPECT_EQ(back.String(task::kTimeModified), c.values.modified);
        EXPECT_EQ(back.String(task::kTimeCreated), c.values.created);
    }
}

TEST(InfoFile, ReadingMatchesKeysCaseSensitivelyAndIgnoresOthers) {
    TempDir dir("info-file");
    const std::string path =
        dir.WriteFile("a.info", "size=\"5\" Extra=\"x\" Size=\"7\" ETAG=\"e\" ETag=\"&quot;\"");
    CPropertySet info;
    ASSERT_TRUE(ReadInfoFile(path, info));
    EXPECT_EQ(info.Int64(task::kSize), 7);
    EXPECT_EQ(info.String(task::kETag), "\"");
    EXPECT_EQ(info.String(task::kUri), "");

    EXPECT_FALSE(ReadInfoFile(dir / "missing.info", info));
    EXPECT_FALSE(ReadInfoFile(dir.Path(), info)) << "a folder is not readable as an INFO file";
}

// The INFO file is rewritten after every run: the same bytes are left in place, and what is
// written replaces a link in the file's place instead of writing through it.
TEST(InfoFile, RewriteKeepsSameBytesAndNeverWritesThroughALink) {
    TempDir dir("info");
    const std::string path = dir / "a.info";
    CPropertySet info;
    info.SetInt64(task::kSize, 5);
    ASSERT_TRUE(WriteInfoFile(path, info));
    struct stat first {};
    ASSERT_EQ(::stat(path.c_str(), &first), 0);
    EXPECT_EQ(first.st_mode & 0777, 0600u);

    ASSERT_TRUE(WriteInfoFile(path, info));
    struct stat again {};
    ASSERT_EQ(::stat(path.c_str(), &again), 0);
    EXPECT_EQ(again.st_ino, first.st_ino) << "the same bytes were written again";

    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(WriteInfoFile(path, info));
    ASSERT_EQ(::stat(path.c_str(), &again), 0);
    EXPECT_EQ(again.st_mode & 0777, 0600u) << "a looser file is tightened";

    const std::string outside = dir.WriteFile("outside.txt", "keep me");
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), path.c_str()), 0);
    ASSERT_TRUE(WriteInfoFile(path, info));
    EXPECT_EQ(dir.ReadFile("outside.txt"), "keep me");
    struct stat link {};
    ASSERT_EQ(::lstat(path.c_str(), &link), 0);
    EXPECT_TRUE(S_ISREG(link.st_mode));
    EXPECT_EQ(dir.ReadFile("a.info"), "Size=\"5\"");
}

TEST(FileContents, CompareReportsEqualDifferentOrError) {
    const std::string big(65536 + 100, 'x');
    std::string bigChanged = big;
    bigChanged[65536 + 50] = 'y';  // in the second block
    struct Case {
        const char* what;
        std::string a, b;
        std::int64_t size;
        int expected;
    };
    const Case cases[] = {
        {"equal", "abcdef", "abcdef", 6, 0},
        {"last byte differs", "abcdef", "abcdeg", 6, 1},
        {"equal over two blocks", big, big, std::int64_t(big.size()), 0},
        {"differs in the second block", big, bigChanged, std::int64_t(big.size()), 1},
        {"only the first size bytes count", "abcX", "abcY", 3, 0},
        {"one file shorter than the size", "abcdef", "abc", 6, 1},
        {"both shorter: the end stops the compare", "abc", "abc", 10, 0},
        {"size 0", "a", "b", 0, 0},
    };
    TempDir dir("contents");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenFiles files;
        const int a = files.Open(dir.WriteFile("a", c.a));
        const int b = files.Open(dir.WriteFile("b", c.b));
        ::lseek(a, 2, SEEK_SET);  // the compare starts from offset 0 wherever the files stand
        EXPECT_EQ(CompareFileContents(a, b, c.size), c.expected);
    }
    OpenFiles files;
    const int a = files.Open(dir.WriteFile("a", "abc"));
    EXPECT_EQ(CompareFileContents(a, -1, 3), -1);
    EXPECT_EQ(CompareFileContents(a, files.Open(dir.Path(), O_RDONLY | O_DIRECTORY), 3), -1);
}

TEST(FileContents, CopyOverwritesTheStartOfTheTarget) {
    TempDir dir("contents");
    const std::string big(3 * 65536 + 7, 'q');
    struct Case {
        const char* what;
        std::string source, target;
        std::int64_t size;
        int expected;
        std::string result;
    };
    const Case cases[] = {
        {"over a longer target", "new", "old-longer", 3, 0, "new-longer"},
        {"into an empty target", big, "", std::int64_t(big.size()), 0, big},
        {"size 0 copies nothing", "abc", "xyz", 0, 0, "xyz"},
        {"source shorter than the size", "ab", "", 5, -1, "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenFiles files;
        const int source = files.Open(dir.WriteFile("s", c.source));
        const int target = files.Open(dir.WriteFile("t", c.target), O_RDWR);
        ::lseek(source, 1, SEEK_SET);
        ::lseek(target, 0, SEEK_END);
        EXPECT_EQ(CopyFileContents(source, target, c.size), c.expected);
        EXPECT_EQ(dir.ReadFile("t"), c.result);
    }
    OpenFiles files;
    const int readOnly = files.Open(dir.WriteFile("r", ""));
    EXPECT_EQ(CopyFileContents(files.Open(dir.WriteFile("s", "abc")), readOnly, 3), -1);
}

}  // namespace
}  // namespace tellweir
