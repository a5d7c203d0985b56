// Replacing a file through a temporary copy: what may be replaced, links never written through,
// and failed, full-disk and stopped copies that leave the old file and no temporary file behind.
#include "transfer/file_replace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

class FileReplaceTest : public ::testing::Test {
  protected:
    ~FileReplaceTest() override { SimulateDiskFullAfter(-1); }

    // Replaces `name` with a copy of the source file, stopping when `stop` says so.
    TransferResult Replace(const std::string& name, const std::function<bool()>& stop = {}) {
        CLocalFile source;
        EXPECT_EQ(source.OpenRegularForReading(dir_ / "source"), result::kOk);
        CFileReplacement target;
        const TransferResult created = target.Create(dir_ / name);
        if (created != result::kOk) return created;
        const TransferResult copied = CopyFileData(source, target.File(), source.Length(), stop);
        return copied == result::kOk ? target.Commit() : copied;
    }

    // The names in the folder that look like left-over temporary files.
    std::vector<std::string> TemporaryFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Path()))
            if (entry.path().filename().string().find(".tmp") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }

    TempDir dir_{"replace"};
};

TEST_F(FileReplaceTest, ReplacesFilesAndLinksButNothingElse) {
    WriteAll(dir_ / "source", "new content");
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        TransferResult expected;
    };
    const Case cases[] = {
        {"missing", [](const std::string&) {}, result::kOk},
        {"regular file", [](const std::string& p) { WriteAll(p, "old"); }, result::kOk},
        {"link to another file",
         [&](const std::string& p) { fs::create_symlink(dir_ / "elsewhere", p); }, result::kOk},
        {"dangling link", [&](const std::string& p) { fs::create_symlink(dir_ / "nowhere", p); },
         result::kOk},
        {"FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, result::kAccessDenied},
        {"folder", [](const std::string& p) { fs::create_directory(p); }, result::kAccessDenied},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteAll(dir_ / "elsewhere", "not to be touched");
        const std::string name = "target" + std::to_string(n++);
        c.make(dir_ / name);
        const auto before = fs::symlink_status(dir_ / name).type();
        EXPECT_EQ(Replace(name), c.expected);
        if (c.expected == result::kOk) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir_ / name)));
            EXPECT_EQ(ReadAll(dir_ / name), "new content");
        } else {
            EXPECT_EQ(fs::symlink_status(dir_ / name).type(), before);
        }
        EXPECT_EQ(ReadAll(dir_ / "elsewhere"), "not to be touched");
        EXPECT_EQ(fs::exists(dir_ / "nowhere"), false);
        EXPECT_TRUE(TemporaryFiles().empty());
    }
}

TEST_F(FileReplaceTest, FailedOrStoppedCopyKeepsTheOldFile) {
    WriteAll(dir_ / "source", std::string(200000, 'n'));
    WriteAll(dir_ / "kept", "old");
    struct Case {
        const char* what;
        std::int64_t diskFullAfter;  // -1: no fault
        std::function<bool()> stop;
        TransferResult expected;
    };
    int blocks = 0;
    const Case cases[] = {
        {"disk full at once", 0, {}, result::kNoDiskSpace},
        {"disk full in the second block", 70000, {}, result::kNoDiskSpace},
        {"stopped after a block", -1, [&] { return blocks++ == 1; }, result::kStopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulateDiskFullAfter(c.diskFullAfter);
        EXPECT_EQ(Replace("kept", c.stop), c.expected);
        SimulateDiskFullAfter(-1);
        EXPECT_EQ(ReadAll(dir_ / "kept"), "old");
        EXPECT_TRUE(TemporaryFiles().empty());
    }
    EXPECT_EQ(Replace("kept"), result::kOk);
    EXPECT_EQ(ReadAll(dir_ / "kept"), ReadAll(dir_ / "source"));
}

TEST_F(FileReplaceTest, TemporaryFileIsTheOwnersAlone) {
    WriteAll(dir_ / "source", "x");
    ASSERT_EQ(Replace("target"), result::kOk);
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "target").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace tellweir
