// The buffered file: its two open modes, buffering and positions.
#include "transfer/buffered_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

class BufferedFileTest : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(BufferedFileTest, WriteModeAppendsAndClearsReadOnly) {
    WriteAll(dir_ / "f", "old");
    SetReadOnly(dir_ / "f", true);
    CBufferedFile file;
    ASSERT_EQ(file.Open(dir_ / "f", CBufferedFile::kWrite), result::kOk);
    EXPECT_EQ(file.Write("+new"), 4u);
    EXPECT_EQ(ReadAll(dir_ / "f"), "old");  // still buffered
    EXPECT_EQ(file.Position(), 7);          // asking for the position writes it out
    EXPECT_EQ(ReadAll(dir_ / "f"), "old+new");
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(IsReadOnly(dir_ / "f"));
}

TEST_F(BufferedFileTest, WriteModeOffsetSetsTheLengthFirst) {
    WriteAll(dir_ / "f", "0123456789");
    CBufferedFile file;
    ASSERT_EQ(file.Open(dir_ / "f", CBufferedFile::kWrite, 4), result::kOk);
    file.Write("x");
    file.Close();
    EXPECT_EQ(ReadAll(dir_ / "f"), "0123x");

    ASSERT_EQ(file.Open(dir_ / "g", CBufferedFile::kWrite, 3), result::kOk);  // created, extended
    file.Write("y");
    file.Close();
    EXPECT_EQ(ReadAll(dir_ / "g"), std::string("\0\0\0y", 4));

    EXPECT_NE(file.Open(dir_ / "missing/h", CBufferedFile::kWrite), result::kOk);
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(BufferedFileTest, LargeWritesArriveWhole) {
    std::string data(3 * CBufferedFile::kBufferSize + 123, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    CBufferedFile file;
    ASSERT_EQ(file.Open(dir_ / "f", CBufferedFile::kWrite), result::kOk);
    for (std::size_t pos = 0; pos < data.size(); pos += 1000)
        ASSERT_EQ(file.Write(std::string_view(data).substr(pos, 1000)),
                  std::min<std::size_t>(1000, data.size() - pos));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadAll(dir_ / "f"), data);

    // Read it back in odd pieces, buffered and unbuffered.
    for (bool buffering : {true, false}) {
        ASSERT_EQ(file.Open(dir_ / "f", CBufferedFile::kRead), result::kOk);
        file.SetBuffering(buffering);
        std::string back;
        char piece[777];
        std::int64_t n;
        while ((n = file.Read(piece, sizeof piece)) > 0)
            back.append(piece, static_cast<std::size_t>(n));
        EXPECT_EQ(n, 0);
        EXPECT_EQ(back, data);
        file.Close();
    }
}

TEST_F(BufferedFileTest, ReadModeStartsAtTheOffsetAndTracksPosition) {
    WriteAll(dir_ / "f", "0123456789");
    CBufferedFile file;
    ASSERT_EQ(file.Open(dir_ / "f", CBufferedFile::kRead, 3), result::kOk);
    char buf[4] = {};
    ASSERT_EQ(file.Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "34");
    EXPECT_EQ(file.Position(), 5);  // not the file's read-ahead position
    EXPECT_EQ(file.Seek(1, SEEK_CUR), 6);
    ASSERT_EQ(file.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_EQ(file.Read(buf, 4), 0);
    EXPECT_EQ(file.Write("x"), 0u);  // wrong direction
    file.Close();

    ASSERT_EQ(file.Open(dir_ / "f", CBufferedFile::kRead, -1), result::kOk);
    ASSERT_EQ(file.Read(buf, 1), 1);
    EXPECT_EQ(buf[0], '0');
    EXPECT_EQ(file.Open(dir_ / "missing", CBufferedFile::kRead), result::kNotFound);
}

}  // namespace
}  // namespace tellweir
