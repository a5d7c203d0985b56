// The shared local steps: preparing the target directory and describing the target file.
#include "transfer/local_steps.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/file_text.h"
#include "tests/support/recording_log.h"
#include "tests/support/temp_dir.h"
#include "transfer/file_info.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::RecordingLog;
using testing::TempDir;
using testing::WriteAll;

class LocalStepsTest : public ::testing::Test {
  protected:
    TempDir dir_;
    RecordingLog log_;
};

TEST_F(LocalStepsTest, PrepareTargetDirCreatesMissingFolders) {
    EXPECT_EQ(PrepareTargetDir(dir_ / "a\\b\\file.txt", &log_), result::kOk);
    EXPECT_TRUE(IsDirectory(dir_ / "a/b"));
    EXPECT_EQ(log_.Lines(),
              std::vector<std::string>{"0|Creating new local dir " + (dir_ / "a/b") + "."});

    log_.Clear();
    EXPECT_EQ(PrepareTargetDir(dir_ / "a/b/other.txt", &log_), result::kOk);
    EXPECT_EQ(PrepareTargetDir("/root-level-file", &log_), result::kOk);
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_EQ(PrepareTargetDir(dir_ / "c/f", nullptr), result::kOk);
}

TEST_F(LocalStepsTest, PrepareTargetDirFailures) {
    EXPECT_EQ(PrepareTargetDir("file.txt", &log_), result::kInvalidParameter);
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"1|Invalid name file.txt."});

    log_.Clear();
    WriteAll(dir_ / "plain", "");
    const std::string folder = dir_ / "plain/sub";
    EXPECT_EQ(PrepareTargetDir(folder + "/f", &log_), result::kAccessDenied);
    EXPECT_EQ(log_.Lines(), (std::vector<std::string>{"0|Creating new local dir " + folder + ".",
                                                      "1|Cant create local dir " + folder + "."}));
}

TEST_F(LocalStepsTest, LocalFileInfoDescribesAFile) {
    const std::string path = dir_ / "page.txt";
    WriteAll(path, "12345");
    CPropertySet request;
    request.SetString(prop::kLocalFile, path);
    request.SetInt(prop::kLocalType, 99);
    EXPECT_EQ(LocalFileInfo(request, &log_), result::kOk);
    EXPECT_EQ(request.Int64(prop::kLocalSize), 5);
    EXPECT_EQ(request.Int(prop::kLocalType), 1);  // TEXT by its name
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const std::string time = DateTime::FromUnixTime(st.st_mtime).Format(kFileTimeFormat);
    EXPECT_EQ(request.String(prop::kLocalTime), time);
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"0|File: \"" + path +
                                                     "\", size: 5, modified: " + time + "."});
}

TEST_F(LocalStepsTest, LocalFileInfoDescribesAFolder) {
    CPropertySet request;
    request.SetString(prop::kLocalFile, dir_.Path() + "/");
    EXPECT_EQ(LocalFileInfo(request, nullptr), result::kOk);
    EXPECT_EQ(request.Int(prop::kLocalType), 10);
    EXPECT_EQ(request.Int64(prop::kLocalSize), 0);
}

TEST_F(LocalStepsTest, MissingTargetIsLoggedOnlyOutsideDownloads) {
    const std::string path = dir_ / "missing.bin";
    for (int operation : {1, 6, 8}) {
        CPropertySet request;
        request.SetString(prop::kLocalFile, path);
        request.SetInt(prop::kOperation, operation);
        EXPECT_EQ(LocalFileInfo(request, &log_), result::kNotFound);
    }
    EXPECT_TRUE(log_.Lines().empty());

    CPropertySet request;
    request.SetString(prop::kLocalFile, path);
    EXPECT_EQ(LocalFileInfo(request, &log_), result::kNotFound);
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"1|File not found \"" + path + "\"."});
}

}  // namespace
}  // namespace tellweir
