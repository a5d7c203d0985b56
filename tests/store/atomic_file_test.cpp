// Atomic rewrites: the old content survives every failure.
#include "store/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;

class AtomicFileTest : public ::testing::Test {
  protected:
    TempDir dir_{"atomic"};
};

TEST_F(AtomicFileTest, ReplacesContentAndSetsMode) {
    const std::string path = dir_ / "Cookies.txt";
    ASSERT_TRUE(WriteFileAtomically(path, "old"));
    ASSERT_TRUE(WriteFileAtomically(path, "new content", 0600));
    EXPECT_EQ(ReadAll(path), "new content");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);
}

TEST_F(AtomicFileTest, AbandonedOrFailedWriteKeepsTheOldFile) {
    const std::string path = dir_ / "InfoCache.txt";
    ASSERT_TRUE(WriteFileAtomically(path, "old"));
    {
        CAtomicFileWriter writer;
        ASSERT_TRUE(writer.Open(path));
        writer.Write("half");
    }  // destroyed without Commit, as after an error on the way
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);

    EXPECT_FALSE(WriteFileAtomically(dir_ / "missing/x.txt", "data"));
}

TEST_F(AtomicFileTest, FailedRenameRemovesTheTemporaryFile) {
    const fs::path target = dir_ / "busy";
    fs::create_directories(target / "child");  // a non-empty folder cannot be renamed over
    EXPECT_FALSE(WriteFileAtomically(target.string(), "data"));
    EXPECT_TRUE(fs::is_directory(target / "child"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tellweir
