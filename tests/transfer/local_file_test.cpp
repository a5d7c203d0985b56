// The unbuffered file: errno mapping, opening, the close-time attributes and line reading.
#include "transfer/local_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <filesystem>

#include "tests/support/file_text.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::MakeTime;
using testing::TempDir;
using testing::WriteAll;

TEST(ResultFromErrno, FollowsTheTable) {
    const std::pair<int, TransferResult> cases[] = {
        {0, 0},        {ENOENT, 106},       {EBADF, 103},  {EACCES, 104},
        {EEXIST, 107}, {EINVAL, 102},       {EMFILE, 105}, {ENOSPC, 109},
        {EPERM, 102},  {ENAMETOOLONG, 102}, {EDQUOT, 109},
    };
    for (const auto& [error, expected] : cases)
        EXPECT_EQ(ResultFromErrno(error), expected) << error;
}

class LocalFileTest : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(LocalFileTest, OpenFailuresGiveResults) {
    CLocalFile file;
    EXPECT_EQ(file.Open(dir_ / "missing", O_RDONLY), result::kNotFound);
    EXPECT_FALSE(file.IsOpen());
    WriteAll(dir_ / "f", "");
    EXPECT_EQ(file.Open(dir_ / "f", O_RDWR | O_CREAT | O_EXCL), result::kAlreadyExists);
    EXPECT_EQ(file.Open(dir_ / std::string(PATH_MAX, 'x'), O_RDONLY), result::kInvalidParameter);
    EXPECT_EQ(file.Open(dir_ / "f", O_RDONLY), result::kOk);
    EXPECT_EQ(file.Length(), 0);
}

// Only a regular file is opened for reading; a FIFO without a writer would block open(2).
TEST_F(LocalFileTest, OpeningForReadingTakesRegularFilesOnlyAndNeverWaits) {
    WriteAll(dir_ / "f", "abc");
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    fs::create_symlink(dir_ / "f", dir_ / "link");
    struct Case {
        const char* name;
        bool followLink;
        TransferResult expected;
    };
    const Case cases[] = {
        {"f", true, result::kOk},
        {"fifo", true, result::kNotSupported},
        {"", true, result::kNotSupported},  // the folder itself
        {"link", true, result::kOk},
        {"link", false, result::kInvalidParameter},
        {"missing", true, result::kNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.followLink ? "" : ", links not followed"));
        CLocalFile file;
        EXPECT_EQ(file.OpenRegularForReading(dir_ / c.name, c.followLink), c.expected);
        EXPECT_EQ(file.IsOpen(), c.expected == result::kOk);
    }
}

TEST_F(LocalFileTest, SimulatedFullDiskCutsWritesShort) {
    CLocalFile file;
    ASSERT_EQ(file.Open(dir_ / "f", O_WRONLY | O_CREAT), result::kOk);
    SimulateDiskFullAfter(4);
    EXPECT_EQ(file.Write("abcdef", 6), 4u);
    EXPECT_EQ(file.LastError(), ENOSPC);
    EXPECT_EQ(file.Write("g", 1), 0u);
    SimulateDiskFullAfter(-1);
    EXPECT_EQ(file.Write("h", 1), 1u);
    file.Close();
    EXPECT_EQ(testing::ReadAll(dir_ / "f"), "abcdh");
}

TEST_F(LocalFileTest, ClosingAWrittenFileClearsReadOnlyAndSetsTheTime) {
    WriteAll(dir_ / "f", "x");
    SetReadOnly(dir_ / "f", true);
    {
        CLocalFile file;
        // The owner may open a read-only file after making it writable; emulate a file that
        // became read-only while open.
        SetReadOnly(dir_ / "f", false);
        ASSERT_EQ(file.Open(dir_ / "f", O_WRONLY | O_APPEND), result::kOk);
        SetReadOnly(dir_ / "f", true);
        file.SetCloseTime(MakeTime(2004, 3, 3, 14, 5, 9));
        EXPECT_EQ(file.Write("yz", 2), 2u);
        EXPECT_TRUE(file.Close());
    }
    EXPECT_FALSE(IsReadOnly(dir_ / "f"));
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "f").c_str(), &st), 0);
    EXPECT_EQ(DateTime::FromUnixTime(st.st_mtime).Format("%m/%d/%Y %H:%M:%S"),
              "03/03/2004 14:05:09");

    // Read-only access changes nothing.
    SetReadOnly(dir_ / "f", true);
    CLocalFile reader;
    ASSERT_EQ(reader.Open(dir_ / "f", O_RDONLY), result::kOk);
    reader.Close();
    EXPECT_TRUE(IsReadOnly(dir_ / "f"));
}

TEST_F(LocalFileTest, ReadLineSplitsAtLineFeedsAndLeavesThePositionAfterThem) {
    std::string text = "first\r\nsec";
    text.push_back('\0');
    text += "ond\n" + std::string(300, 'l') + "\nlast";
    WriteAll(dir_ / "f", text);
    CLocalFile file;
    ASSERT_EQ(file.Open(dir_ / "f", O_RDONLY), result::kOk);
    std::string line;
    bool cut = true;
    ASSERT_TRUE(file.ReadLine(line, &cut));
    EXPECT_EQ(line, "first\r\n");
    EXPECT_FALSE(cut);
    EXPECT_EQ(file.Position(), 7);
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "sec\x01ond\n");
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, std::string(300, 'l') + "\n");
    char c = 0;
    ASSERT_EQ(file.Read(&c, 1), 1);  // a plain read continues right after the line
    EXPECT_EQ(c, 'l');
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "ast");
    EXPECT_FALSE(file.ReadLine(line));
    EXPECT_EQ(line, "");
}

TEST_F(LocalFileTest, OverlongLineIsCutAndItsRestSkipped) {
    const std::size_t limit = CLocalFile::kMaxLineLength;
    WriteAll(dir_ / "f", std::string(limit + 1000, 'a') + "\nnext\n");
    CLocalFile file;
    ASSERT_EQ(file.Open(dir_ / "f", O_RDONLY), result::kOk);
    std::string line;
    bool cut = false;
    ASSERT_TRUE(file.ReadLine(line, &cut));
    EXPECT_TRUE(cut);
    EXPECT_EQ(line.size(), limit);
    ASSERT_TRUE(file.ReadLine(line, &cut));
    EXPECT_FALSE(cut);
    EXPECT_EQ(line, "next\n");
}

}  // namespace
}  // namespace tellweir
