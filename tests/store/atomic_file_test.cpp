// Atomic rewrites: the old content survives every failure.
#include "store/atomic_file.h"
#include "store/private_folder.h"

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

// Sets the process umask for one scope.
class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

  private:
    mode_t old_;
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

// Whatever the umask, kept files are the owner's alone, a looser file is tightened by its next
// save, and made folders are 0700 while existing ones keep their bits.
TEST_F(AtomicFileTest, FilesAndFoldersAreOwnerOnlyWhateverTheUmask) {
    for (const mode_t mask : {mode_t{0}, mode_t{022}, mode_t{077}}) {
        SCOPED_TRACE(mask);
        ScopedUmask scoped(mask);
        TempDir dir("modes");
        const std::string loose = dir.WriteFile("m.xml", "old");
        ASSERT_EQ(::chmod(loose.c_str(), 0644), 0);
        ASSERT_TRUE(WriteFileAtomically(loose, "<queue/>"));
        EXPECT_EQ(ModeOf(loose), 0600u);

        ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
        const std::string deep = dir / "Cache/a/b";
        ASSERT_TRUE(MakePrivateFolders(deep));
        EXPECT_EQ(ModeOf(dir / "Cache"), 0700u);
        EXPECT_EQ(ModeOf(deep), 0700u);
        EXPECT_EQ(ModeOf(dir.Path()), 0755u);
        EXPECT_TRUE(MakePrivateFolders(deep + "/"));
    }
}

TEST_F(AtomicFileTest, FolderCreationFailsOnAFileInThePath) {
    const std::string file = dir_.WriteFile("plain", "x");
    EXPECT_FALSE(MakePrivateFolders(file));
    EXPECT_FALSE(MakePrivateFolders(file + "/below"));
    EXPECT_FALSE(MakePrivateFolders(""));
}

// A write killed mid-way leaves its temporary file; the next clean-up removes exactly those of
// the file it is given (through its link), and nothing that only looks like one.
TEST_F(AtomicFileTest, StaleTempFilesOfTheFileAreRemoved) {
    const std::string queue = dir_ / "m.xml";
    testing::WriteAll(queue, "queue");
    const char* stale[] = {"m.xml.tmpAb12Z9", "m.xml.tmp000000", "m.xml.tmpzzzzzz"};
    const char* kept[] = {
        "m.xml.tmpAb12Z",    // five
        "m.xml.tmpAb12Z99",  // seven
        "m.xml.tmp-b12Z9",   // not a letter or digit
        "n.xml.tmpAb12Z9",   // another file's
        "xm.xml.tmpAb12Z9",  // a name that ends like it
        "m.xml.TMPAb12Z9",   // another case
        "m.xml.damaged-1",
    };
    for (const char* name : stale)
        testing::WriteAll(dir_ / name, "secret");
    for (const char* name : kept)
        testing::WriteAll(dir_ / name, "mine");
    fs::create_directory(dir_ / "m.xml.tmpFOLDER");
    testing::WriteAll(dir_ / "target.txt", "pointed at");
    fs::create_symlink(dir_ / "target.txt", dir_ / "m.xml.tmpLink00");
    // Given through a link, the files beside the link's target go.
    fs::create_directories(dir_ / "links");
    fs::create_symlink("../m.xml", dir_ / "links/m.xml");
    testing::WriteAll(dir_ / "links/m.xml.tmpAb12Z9", "beside the link");

    EXPECT_EQ(RemoveStaleTempFiles(dir_ / "links/m.xml"), 3);
    for (const char* name : stale)
        EXPECT_FALSE(fs::exists(dir_ / name)) << name;
    for (const char* name : kept)
        EXPECT_EQ(ReadAll(dir_ / name), "mine") << name;
    EXPECT_TRUE(fs::is_directory(dir_ / "m.xml.tmpFOLDER"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "m.xml.tmpLink00"));
    EXPECT_EQ(ReadAll(dir_ / "target.txt"), "pointed at");
    EXPECT_EQ(ReadAll(dir_ / "links/m.xml.tmpAb12Z9"), "beside the link");
    EXPECT_EQ(ReadAll(queue), "queue");
    EXPECT_EQ(RemoveStaleTempFiles(dir_ / "missing/m.xml"), 0);
}

}  // namespace
}  // namespace tellweir
