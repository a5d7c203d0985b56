// The transfer operation over a scripted session: the skip, resume and overwrite rules, the
// attempt loop, gzip unpacking, the automatic operation and the progress figures.
#include <sys/stat.h>
#include <zlib.h>

#include <thread>

#include "tests/support/manager_fixture.h"
#include "tests/support/temp_dir.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"
#include "transfer/progress_meter.h"

namespace tellweir::testing {
namespace {

bool Contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

class DownloadTest : public ManagerTest {
  protected:
    // Downloads `url` into `target` (a name in the temporary folder) with the option word.
    TransferStatus Download(std::string_view url, int options, std::string_view target = "t.bin",
                            int operation = prop::kOperationDownload) {
        CTransferRequest request = Request(url, operation);
        request.SetString(prop::kLocalFile, dir_ / target);
        request.SetInt(prop::kOptions, options);
        if (!etag_.empty()) request.SetString(prop::kETag, etag_);
        id_ = Add(request);
        return WaitEnd(id_);
    }
    std::string Log() { return LogOf(id_); }

    TempDir dir_{"download"};
    std::string etag_;
    std::int32_t id_ = 0;
};

constexpr int kResume = 1 << prop::kOptionResume;
constexpr int kResumeBinary = 1 << prop::kOptionResumeBinaryOnly;
constexpr int kRestart = 1 << prop::kOptionRestartRefused;
constexpr int kSkip = 1 << prop::kOptionSkipExisting;

TEST_F(DownloadTest, ExistingTargetIsKeptResumedOrReplaced) {
    struct Case {
        const char* name;
        const char* url;
        int options;
        const char* existing;  // null: none
        const char* serverTag;
        const char* requestTag;
        TransferResult result;
        const char* content;  // the target afterwards
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"by task",
         "http://s.test/f",
         0,
         "old",
         "",
         "",
         0,
         "0123456789",
         {"S:\tOverwrite condition: by task.", "S:\tRemoving file \""}},
        {"same size",
         "http://s.test/f",
         kResume,
         "abcdefghij",
         "",
         "",
         0,
         "abcdefghij",
         {"S:\tTransfer skipped: size is same, option: resume."}},
        {"smaller",
         "http://s.test/f",
         kResume,
         "0123",
         "",
         "",
         0,
         "0123456789",
         {"S:\tTransfer resumed: local size is smaller, option: resume."}},
        {"binary smaller",
         "ftp://s.test/f",
         kResumeBinary,
         "0123",
         "",
         "",
         0,
         "0123456789",
         {"S:\tBinary transfer resumed: local size is smaller, option: resume."}},
        {"folder URL",
         "http://s.test/f/",
         kResume,
         "0123",
         "",
         "",
         0,
         "0123456789",
         {"S:\tOverwrite condition: by task."}},
        {"larger",
         "http://s.test/f",
         kResume,
         "0123456789AB",
         "",
         "",
         0,
         "0123456789",
         {"S:\tOverwrite condition: remote size 10 < local size 12."}},
        {"tag changed",
         "http://s.test/f",
         kResume,
         "0123",
         "\"b\"",
         "\"a\"",
         0,
         "0123456789",
         {"S:\tOverwrite condition: E-Tag changed."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFile(dir_ / "t.bin");
        if (c.existing) dir_.WriteFile("t.bin", c.existing);
        script_.etag = c.serverTag;
        etag_ = c.requestTag;
        const TransferStatus status = Download(c.url, c.options);
        EXPECT_EQ(status.result, c.result) << Log();
        EXPECT_EQ(status.outcome, kOutcomeLocalCopy);
        EXPECT_EQ(dir_.ReadFile("t.bin"), c.content);
        for (const std::string& line : c.lines)
            EXPECT_TRUE(Contains(Log(), line)) << Log();
    }
}

TEST_F(DownloadTest, DirectoryAtTheTarget) {
    // Resume binary only: the directory goes, and the download then refuses to replace it.
    MakeDirectories(dir_ / "t.bin/sub");
    EXPECT_EQ(Download("http://s.test/f", kResumeBinary).result, result::kAccessDenied);
    EXPECT_TRUE(Contains(Log(), "S:\tRemoving dir \""));
    EXPECT_TRUE(Contains(Log(), "E:\tCannot overwrite local directory, remove it first."));

    MakeDirectories(dir_ / "t.bin/sub");
    EXPECT_EQ(Download("http://s.test/f", kResume).result, 0) << Log();
    EXPECT_EQ(dir_.ReadFile("t.bin"), "0123456789");

    MakeDirectories(dir_ / "u.bin");
    EXPECT_EQ(Download("http://s.test/f", 0, "u.bin").result, result::kAccessDenied);
}

TEST_F(DownloadTest, FailedAttemptsAreRepeated) {
    struct Case {
        const char* name;
        int transferRetries;
        int options;
        std::vector<ReceiveStep> steps;
        TransferResult result;
        std::vector<std::string> present;
        std::vector<std::string> absent;
        const char* left = nullptr;  // what a failure leaves in the target; null: no target
    };
    const Case cases[] = {
        {"retried",
         10,
         0,
         {{"", 10054}, {"", 10054}},
         0,
         {"S:\tTransfer retry #1.", "S:\tTransfer retry #2.", "S:\tTransfer finished."},
         {}},
        {"retries exhausted",
         1,
         0,
         {{"", 10054}, {"", 10054}},
         10054,
         {"S:\tTransfer retry #1.", "E:\tTransfer failed."},
         {"Transfer retry #2."}},
        // Repeated at once, but counted all the same.
        {"data arrived",
         10,
         0,
         {{"01234", 10054}},
         0,
         {"S:\tTransfer retry #1.", "S:\tTransfer finished."},
         {"Transfer retry #2."}},
        {"data arrived each time, retries exhausted",
         1,
         0,
         {{"01", 1007}, {"23", 1007}},
         1007,
         {"S:\tTransfer retry #1.", "E:\tTransfer failed."},
         {"Transfer retry #2."},
         "0123"},
        {"too large",
         10,
         0,
         {{"01234", result::kTooLarge}},
         result::kTooLarge,
         {"E:\tTransfer failed."},
         {"retry"}},
        {"not retryable", 10, 0, {{"", 1013}}, 1013, {"E:\tTransfer failed."}, {"retry"}},
        // A full disk ends the download at once, data or not, and its cut file goes.
        {"disk full", 10, 0, {{"01234", 109}}, 109, {"E:\tTransfer failed."}, {"retry"}},
        {"offset refused", 10, 0, {{"", 1020}}, 1020, {"E:\tTransfer failed."}, {"retry"}},
        {"offset refused, restart",
         10,
         kRestart,
         {{"xx", 1020}},
         0,
         {"S:\tTransfer retry #1."},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFile(dir_ / "t.bin");
        settings_.SetInt(setting::kTransferRetries, c.transferRetries);
        script_.receiveSteps.assign(c.steps.begin(), c.steps.end());
        EXPECT_EQ(Download("http://s.test/f", c.options).result, c.result) << Log();
        if (c.result == 0) {
            EXPECT_EQ(dir_.ReadFile("t.bin"), "0123456789");
        } else if (c.left) {
            EXPECT_EQ(dir_.ReadFile("t.bin"), c.left);
        } else {
            // A failed attempt leaves no empty target behind.
            EXPECT_EQ(GetPathKind(dir_ / "t.bin"), PathKind::Missing);
        }
        for (const std::string& line : c.present)
            EXPECT_TRUE(Contains(Log(), line)) << Log();
        for (const std::string& line : c.absent)
            EXPECT_FALSE(Contains(Log(), line)) << Log();
        CTransferManager::Shutdown();
    }
}

std::string Gzip(std::string_view text, const std::string& scratch) {
    gzFile out = gzopen(scratch.c_str(), "wb");
    gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
    gzclose(out);
    std::FILE* in = std::fopen(scratch.c_str(), "rb");
    std::string bytes(4096, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
    std::fclose(in);
    return bytes;
}

TEST_F(DownloadTest, GzipEncodedDownloadIsUnpackedUnlessItIsATarArchive) {
    const std::string packed = Gzip("plain text inside", dir_ / "scratch.gz");
    script_.content = packed;
    script_.encoding = "GZIP";
    script_.contentType = "text/plain";
    EXPECT_EQ(Download("http://s.test/a.txt", 0, "a.txt").result, 0) << Log();
    EXPECT_EQ(dir_.ReadFile("a.txt"), "plain text inside");
    EXPECT_EQ(dir_.ReadFile("a.txt.gz"), packed);
    EXPECT_TRUE(Contains(Log(), "S:\tDecompressing file " + (dir_ / "a.txt") + "."));
    CTransferRequest back;
    EXPECT_EQ(Manager().GetRequest(id_, back), kManagerOk);
    EXPECT_EQ(back.Int64(prop::kSize), 17);

    script_.contentType = "application/x-tar";
    EXPECT_EQ(Download("http://s.test/b.tar", 0, "b.tar").result, 0);
    EXPECT_EQ(dir_.ReadFile("b.tar"), packed);
    EXPECT_EQ(GetPathKind(dir_ / "b.tar.gz"), PathKind::Missing);
}

TEST_F(DownloadTest, UnpackingKeepsAnExistingCompressedFileAndFailsOnAFullDisk) {
    const std::string packed = Gzip("plain text inside", dir_ / "scratch.gz");
    script_.content = packed;
    script_.encoding = "gzip";
    script_.contentType = "text/plain";

    dir_.WriteFile("a.txt.gz", "somebody else's");
    EXPECT_EQ(Download("http://s.test/a.txt", 0, "a.txt").result, 0) << Log();
    EXPECT_EQ(dir_.ReadFile("a.txt"), "plain text inside");
    EXPECT_EQ(dir_.ReadFile("a.txt.gz"), "somebody else's");
    EXPECT_TRUE(
        Contains(Log(), "S:\tCompressed copy not kept: \"" + (dir_ / "a.txt.gz") + "\" exists."))
        << Log();

    // The download itself fits; the unpacked text does not.
    SimulateDiskFullAfter(static_cast<std::int64_t>(packed.size()) + 5);
    const TransferResult full = Download("http://s.test/b.txt", 0, "b.txt").result;
    SimulateDiskFullAfter(-1);
    EXPECT_EQ(full, result::kNoDiskSpace);
    EXPECT_TRUE(Contains(Log(), "E:\tTransfer aborted: cannot write to file, no disk space."))
        << Log();
    EXPECT_EQ(dir_.ReadFile("b.txt"), packed) << "the download stays as it arrived";
    EXPECT_EQ(GetPathKind(dir_ / "b.txt~.xed"), PathKind::Missing);
    EXPECT_EQ(GetPathKind(dir_ / "b.txt.gz"), PathKind::Missing);
}

TEST_F(DownloadTest, FifoAtTheTargetIsNeitherRemovedNorWaitedOn) {
    ASSERT_EQ(::mkfifo((dir_ / "t.bin").c_str(), 0600), 0);
    EXPECT_EQ(Download("http://s.test/f", 0).result, result::kAccessDenied);
    EXPECT_TRUE(Contains(Log(), "E:\tCannot open file \"" + (dir_ / "t.bin") + "\".")) << Log();
    struct stat st {};
    ASSERT_EQ(::lstat((dir_ / "t.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(DownloadTest, SkipOptionKeepsTheTargetOrTakesTheCheckFolderCopy) {
    dir_.WriteFile("t.bin", "kept");
    TransferStatus status = Download("http://s.test/f", kSkip);
    EXPECT_EQ(status.result, 0);
    EXPECT_EQ(status.done, 4);
    EXPECT_TRUE(Contains(Log(), "S:\tTransfer skipped: file exists, option: skip."));
    EXPECT_EQ(dir_.ReadFile("t.bin"), "kept");

    MakeDirectories(dir_ / "check");
    dir_.WriteFile("check/a b.txt", "from check folder");
    settings_.SetString(setting::kCheckFolder, dir_ / "check");
    status = Download("http://s.test/f", kSkip, "out/a%20b.txt");
    EXPECT_EQ(status.result, 0) << Log();
    EXPECT_TRUE(Contains(Log(), "S:\tTransfer skipped: check file exists, option: skip."));
    EXPECT_EQ(dir_.ReadFile("out/a%20b.txt"), "from check folder");
    EXPECT_EQ(script_.connects, 0);  // both runs kept to the local side
}

TEST_F(DownloadTest, FileInformationAndTheAutomaticOperation) {
    script_.exists = false;
    TransferStatus status = Download("http://s.test/missing", 0, "m", prop::kOperationFileInfo);
    EXPECT_EQ(status.result, result::kRemoteNotFound);
    EXPECT_EQ(status.outcome, kOutcomeFileInfo);
    EXPECT_TRUE(Contains(Log(), "S:\tFile not found \"http://s.test/missing\".")) << Log();

    script_.exists = true;
    script_.type = FileType::Archive;
    status = Download("http://s.test/file.zip", 0, "file.zip", prop::kOperationAutomatic);
    EXPECT_EQ(status.result, 0);
    EXPECT_EQ(status.outcome, kOutcomeFileInfo);
    EXPECT_EQ(status.total, 10);
    EXPECT_EQ(GetPathKind(dir_ / "file.zip"), PathKind::Missing);

    status = Download("http://s.test/page.html", 0, "page.html", prop::kOperationAutomatic);
    EXPECT_EQ(status.result, 0);
    EXPECT_EQ(dir_.ReadFile("page.html"), "0123456789");
    EXPECT_TRUE(Contains(Log(), "S:\tTotal bytes received: 10 Bytes, total bytes sent: 0 Bytes."))
        << Log();

    for (int operation : {2, 7}) {
        EXPECT_EQ(Download("http://s.test/x", 0, "x", operation).result, result::kNotSupported);
        EXPECT_TRUE(Contains(Log(), "E:\t")) << Log();
    }
    EXPECT_EQ(Download("http://s.test/x", 0, "x", prop::kOperationEmpty).result, 0);
    EXPECT_TRUE(Contains(Log(), "S:\tEmpty operation is done."));
}

TEST_F(DownloadTest, StoppingADownloadRemovesTheEmptyNewTarget) {
    script_.hold = true;
    CTransferRequest request = Request("http://s.test/f", prop::kOperationDownload);
    request.SetString(prop::kLocalFile, dir_ / "t.bin");
    const std::int32_t id = Add(request);
    ASSERT_TRUE(script_.WaitForRunning(1));
    EXPECT_EQ(Manager().StopTransfer(id), kManagerOk);
    TransferStatus status;
    EXPECT_EQ(Manager().GetStatus(id, status), kManagerOk);
    EXPECT_EQ(status.result, result::kStopped);
    EXPECT_EQ(GetPathKind(dir_ / "t.bin"), PathKind::Missing);
}

TEST(ProgressMeter, FiguresFollowReportsAtMostEveryTenthOfASecond) {
    struct Case {
        std::int64_t position, total;
        std::uint32_t elapsed;
        std::int64_t speed, remaining;
    };
    const Case cases[] = {
        {500, 1000, 5, 500, 1}, {500, 1000, 1000, 500, 1}, {1000, 1000, 2000, 500, 0},
        {10, -1, 1000, 10, -1}, {0, 1000, 1000, 0, -1},    {1200, 1000, 1000, 1200, -1},
    };
    for (const Case& c : cases) {
        const ProgressFigures figures = ComputeProgress(c.position, c.total, c.elapsed);
        EXPECT_EQ(figures.speed, c.speed) << c.position << " " << c.elapsed;
        EXPECT_EQ(figures.remaining, c.remaining) << c.position << " " << c.elapsed;
    }

    CTransferRequest request;
    CTransfer transfer(100, request, nullptr);
    std::uint32_t now = 1000;
    CProgressMeter meter(transfer, CProgressMeter::Direction::Download, [&] { return now; });
    meter.Begin(100, 1100);  // a resumed download: the first 100 bytes were already there
    now += 50;
    meter.SetPosition(200);
    EXPECT_EQ(transfer.GetStatus().done, 100) << "within 100 ms only the position is kept";
    now += 100;
    meter.SetPosition(400);
    TransferStatus status = transfer.GetStatus();
    EXPECT_EQ(status.done, 400);
    EXPECT_EQ(status.speed, 300 * 1000 / 150);
    EXPECT_EQ(transfer.Int64(prop::kAttemptReceived), 300);
    now += 900;  // less than a second since the last report: the refresh waits
    meter.OnPeriodicRefresh();
    EXPECT_EQ(transfer.GetStatus().speed, 300 * 1000 / 150);
    now += 200;
    meter.OnPeriodicRefresh();
    status = transfer.GetStatus();
    EXPECT_EQ(status.speed, 300 * 1000 / 1250);
    EXPECT_EQ(status.elapsed, 1);
    EXPECT_EQ(status.remaining, 2);
}

}  // namespace
}  // namespace tellweir::testing
