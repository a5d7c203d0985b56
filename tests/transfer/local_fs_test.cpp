// File-system operations: kinds, directories, listings, removal, sizes, attributes, copy, move.
#include "transfer/local_fs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class LocalFsTest : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(LocalFsTest, KindsAndExistence) {
    WriteAll(dir_ / "f", "x");
    EXPECT_EQ(GetPathKind(dir_ / "f"), PathKind::File);
    EXPECT_EQ(GetPathKind(dir_.Path()), PathKind::Directory);
    EXPECT_EQ(GetPathKind(dir_ / "missing"), PathKind::Missing);
    EXPECT_TRUE(IsFile(dir_ / "f"));
    EXPECT_FALSE(IsDirectory(dir_ / "f"));
    EXPECT_FALSE(IsFile(""));
    EXPECT_FALSE(IsDirectory(""));
    // Backslashes separate too.
    fs::create_directories(dir_ / "a/b");
    EXPECT_TRUE(IsDirectory(dir_.Path() + "\\a\\b"));
}

TEST_F(LocalFsTest, MakeDirectories) {
    EXPECT_TRUE(MakeDirectories(dir_ / "a/b/c/"));
    EXPECT_TRUE(IsDirectory(dir_ / "a/b/c"));
    EXPECT_TRUE(MakeDirectories(dir_ / "a/b/c"));  // already there

    WriteAll(dir_ / "a/file", "x");
    EXPECT_FALSE(MakeDirectories(dir_ / "a/file/c"));
    EXPECT_FALSE(MakeDirectories(dir_ / "a/file"));
    EXPECT_FALSE(MakeDirectories(""));
}

TEST_F(LocalFsTest, DeleteFileClearsReadOnlyFirst) {
    WriteAll(dir_ / "f", "x");
    ASSERT_TRUE(SetReadOnly(dir_ / "f", true));
    EXPECT_TRUE(IsReadOnly(dir_ / "f"));
    EXPECT_TRUE(DeleteFile(dir_ / "f"));
    EXPECT_FALSE(IsFile(dir_ / "f"));
    EXPECT_FALSE(DeleteFile(dir_ / "f"));
    EXPECT_FALSE(DeleteFile(dir_.Path()));  // a directory is not a file
    EXPECT_FALSE(SetReadOnly(dir_ / "f", true));
}

TEST_F(LocalFsTest, ListDirectoryWithMask) {
    WriteAll(dir_ / "a.txt", "");
    WriteAll(dir_ / "b.log", "");
    WriteAll(dir_ / ".hidden", "");
    fs::create_directories(dir_ / "sub.txt");
    std::vector<std::string> files, directories;
    ASSERT_TRUE(ListDirectory(dir_.Path(), "*", &files, &directories));
    EXPECT_EQ(Sorted(files), (std::vector<std::string>{".hidden", "a.txt", "b.log"}));
    EXPECT_EQ(directories, std::vector<std::string>{"sub.txt"});

    files.clear();
    directories.clear();
    ASSERT_TRUE(ListDirectory(dir_.Path(), "*.txt", &files, &directories));
    EXPECT_EQ(files, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(directories, std::vector<std::string>{"sub.txt"});

    files.clear();
    EXPECT_TRUE(ListDirectory(dir_.Path(), "*.none", &files, nullptr));  // exists, no match
    EXPECT_TRUE(files.empty());
    EXPECT_FALSE(ListDirectory(dir_ / "missing", "*", &files, nullptr));
}

TEST_F(LocalFsTest, DeleteContentsHonoursMaskAndRecursion) {
    fs::create_directories(dir_ / "d/sub/deeper");
    WriteAll(dir_ / "d/a.tmp", "");
    WriteAll(dir_ / "d/keep.txt", "");
    WriteAll(dir_ / "d/sub/deeper/x.tmp", "");

    EXPECT_TRUE(DeleteDirectoryContents(dir_ / "d", "*.tmp", false));
    EXPECT_FALSE(IsFile(dir_ / "d/a.tmp"));
    EXPECT_TRUE(IsFile(dir_ / "d/keep.txt"));
    EXPECT_TRUE(IsFile(dir_ / "d/sub/deeper/x.tmp"));

    EXPECT_TRUE(DeleteDirectoryContents(dir_ / "d", "*", true));
    EXPECT_TRUE(fs::is_empty(dir_ / "d"));
}

TEST_F(LocalFsTest, RemoveDirectoryDeletesLinksWithoutFollowingThem) {
    fs::create_directories(dir_ / "outside");
    WriteAll(dir_ / "outside/precious", "keep");
    fs::create_directories(dir_ / "d/sub");
    WriteAll(dir_ / "d/sub/ro", "");
    SetReadOnly(dir_ / "d/sub/ro", true);
    SetReadOnly(dir_ / "d/sub", true);
    fs::create_directory_symlink(dir_ / "outside", dir_ / "d/link");
    fs::create_symlink(dir_ / "gone", dir_ / "d/dangling");

    EXPECT_TRUE(RemoveDirectory(dir_ / "d", "*"));
    EXPECT_FALSE(fs::exists(dir_ / "d"));
    EXPECT_EQ(ReadAll(dir_ / "outside/precious"), "keep");
}

TEST_F(LocalFsTest, DeleteContentsStopsAtFirstFailure) {
    // The subdirectory keeps a file the mask spares, so it cannot be removed; the matching file
    // listed after it is then left alone.
    fs::create_directories(dir_ / "d/x.tmp");
    WriteAll(dir_ / "d/x.tmp/keep.txt", "");
    WriteAll(dir_ / "d/x.tmp/gone.tmp", "");
    WriteAll(dir_ / "d/a.tmp", "");
    EXPECT_FALSE(DeleteDirectoryContents(dir_ / "d", "*.tmp", true));
    EXPECT_FALSE(fs::exists(dir_ / "d/x.tmp/gone.tmp"));
    EXPECT_TRUE(IsFile(dir_ / "d/x.tmp/keep.txt"));
    EXPECT_TRUE(IsFile(dir_ / "d/a.tmp"));
    EXPECT_FALSE(RemoveDirectory(dir_ / "d", "*.tmp"));
}

TEST_F(LocalFsTest, RemoveTreeKeepsFilesAndTheirDirectories) {
    fs::create_directories(dir_ / "t/empty/empty2");
    fs::create_directories(dir_ / "t/full");
    WriteAll(dir_ / "t/full/f", "");

    EXPECT_TRUE(RemoveDirectoryTree(dir_ / "t", false));
    EXPECT_FALSE(fs::exists(dir_ / "t/empty"));
    EXPECT_TRUE(IsFile(dir_ / "t/full/f"));
    EXPECT_FALSE(RemoveDirectoryTree(dir_ / "t", true));  // t/full still holds a file
    EXPECT_TRUE(IsDirectory(dir_ / "t"));

    DeleteFile(dir_ / "t/full/f");
    EXPECT_TRUE(RemoveDirectoryTree(dir_ / "t", true));
    EXPECT_FALSE(fs::exists(dir_ / "t"));
}

TEST_F(LocalFsTest, FileSizes) {
    EXPECT_EQ(GetFileSize(dir_ / "f"), -1);
    EXPECT_TRUE(SetFileSize(dir_ / "f", 10));  // created and extended
    EXPECT_EQ(GetFileSize(dir_ / "f"), 10);
    WriteAll(dir_ / "f", "0123456789abc");
    EXPECT_TRUE(SetFileSize(dir_ / "f", 4));
    EXPECT_EQ(ReadAll(dir_ / "f"), "0123");
    EXPECT_TRUE(SetFileSize(dir_ / "f", 4));
    EXPECT_FALSE(SetFileSize(dir_ / "missing/f", 1));
}

TEST_F(LocalFsTest, CopyFile) {
    WriteAll(dir_ / "src", "content");
    ASSERT_TRUE(SetReadOnly(dir_ / "src", true));
    ASSERT_TRUE(CopyFile(dir_ / "src", dir_ / "new/dir/dst"));
    EXPECT_EQ(ReadAll(dir_ / "new/dir/dst"), "content");
    EXPECT_TRUE(IsReadOnly(dir_ / "new/dir/dst"));
    EXPECT_EQ(fs::last_write_time(dir_ / "src"), fs::last_write_time(dir_ / "new/dir/dst"));

    WriteAll(dir_ / "existing", "old");
    EXPECT_FALSE(CopyFile(dir_ / "src", dir_ / "existing"));
    EXPECT_EQ(ReadAll(dir_ / "existing"), "old");
    EXPECT_FALSE(CopyFile(dir_ / "missing", dir_ / "x"));
    EXPECT_FALSE(fs::exists(dir_ / "x"));
}

TEST_F(LocalFsTest, MoveFileInOneStep) {
    WriteAll(dir_ / "a", "A");
    SetReadOnly(dir_ / "a", true);
    EXPECT_TRUE(MoveFile(dir_ / "a", dir_ / "b"));
    EXPECT_EQ(ReadAll(dir_ / "b"), "A");
    EXPECT_FALSE(IsReadOnly(dir_ / "b"));
    // A plain rename creates no directories.
    EXPECT_FALSE(MoveFile(dir_ / "b", dir_ / "sub/c"));
    EXPECT_TRUE(IsFile(dir_ / "b"));
    EXPECT_FALSE(MoveFile(dir_ / "missing", dir_ / "c"));
}

TEST_F(LocalFsTest, MoveFileToALongerNameParksItUnderAFreeName) {
    WriteAll(dir_ / "x.txt", "data");
    WriteAll(dir_ / "x.txt_0", "other");
    EXPECT_EQ(FreeTemporaryName(dir_ / "x.txt"), dir_ / "x.txt_1");

    EXPECT_TRUE(MoveFile(dir_ / "x.txt", dir_ / "x.txt.gz"));
    EXPECT_EQ(ReadAll(dir_ / "x.txt.gz"), "data");
    EXPECT_EQ(ReadAll(dir_ / "x.txt_0"), "other");
    EXPECT_FALSE(fs::exists(dir_ / "x.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "x.txt_1"));

    // The second step may need a directory, which it creates.
    EXPECT_TRUE(MoveFile(dir_ / "x.txt.gz", dir_ / "x.txt.gz/inside"));
    EXPECT_EQ(ReadAll(dir_ / "x.txt.gz/inside"), "data");
}

TEST_F(LocalFsTest, FailedSecondStepIsUndone) {
    WriteAll(dir_ / "y", "data");
    fs::create_directories(dir_ / "y.gz/full");  // a non-empty directory cannot be replaced
    WriteAll(dir_ / "y.gz/full/f", "");
    EXPECT_FALSE(MoveFile(dir_ / "y", dir_ / "y.gz"));
    EXPECT_EQ(ReadAll(dir_ / "y"), "data");
    EXPECT_FALSE(fs::exists(dir_ / "y_0"));
}

TEST(PercentDecode, DecodesEscapedBytes) {
    EXPECT_EQ(PercentDecode("a%20b%2Fc%2f"), "a b/c/");
    EXPECT_EQ(PercentDecode("100%"), "100%");
    EXPECT_EQ(PercentDecode("%4"), "%4");
    EXPECT_EQ(PercentDecode("%zz%41"), "%zzA");
    EXPECT_EQ(PercentDecode("#41", '#'), "A");
    EXPECT_EQ(PercentDecode(std::string("%00", 3)), std::string(1, '\0'));
}

}  // namespace
}  // namespace tellweir
