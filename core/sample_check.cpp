// The whole-content comparison of a run and the sample copy it keeps.
#include "core/sample_check.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "base/byte_count.h"
#include "base/text_format.h"
#include "core/event_table.h"
#include "core/info_file.h"
#include "core/monitor_task.h"
#include "core/version_keeping.h"
#include "log/log.h"
#include "log/status_message.h"
#include "transfer/file_path.h"
#include "transfer/file_replace.h"
#include "transfer/local_fs.h"
#include "transfer/thread_priority.h"

namespace tellweir {

namespace {

// Whole seconds: the times are shown and compared as "%m/%d/%Y %H:%M:%S" texts, and a rounded
// fraction would move them to the next second.
DateTime FromTimestamp(const struct statx_timestamp& t) {
    return DateTime::FromUnixTime(static_cast<std::time_t>(t.tv_sec));
}

}  // namespace

WatchedObject::WatchedObject(std::string objectPath) : path(std::move(objectPath)) {
    // Opened without waiting (a FIFO would block the open), then described by the open file
    // itself, which is the one compared even if the name is meanwhile given to another.
    if (path.empty() || file.Open(path, O_RDONLY | O_NONBLOCK) != result::kOk) return;
    constexpr unsigned kFields = STATX_BASIC_STATS | STATX_BTIME;
    struct statx sx {};
    if (::statx(file.Descriptor(), "", AT_EMPTY_PATH, kFields, &sx) != 0 || !S_ISREG(sx.stx_mode)) {
        file.Close();
        return;
    }
    opened = timesKnown = true;
    length = static_cast<std::int64_t>(sx.stx_size);
    lastWrite = FromTimestamp(sx.stx_mtime);
    lastAccess = FromTimestamp(sx.stx_atime);
    if (sx.stx_mask & STATX_BTIME) creation = FromTimestamp(sx.stx_btime);
}

std::string_view FolderOf(std::string_view path) {
    return path.find_last_of("/\\") == std::string_view::npos ? std::string_view()
                                                              : PathDirectory(path);
}

bool MakeFolderOf(std::string_view path) {
    const std::string_view folder = FolderOf(path);
    return folder.empty() || MakeDirectories(folder);
}

CSampleCheck::CSampleCheck(std::string objectPath, std::string samplePath)
    : CSampleCheck(std::make_unique<WatchedObject>(std::move(objectPath)), std::move(samplePath)) {}

CSampleCheck::CSampleCheck(std::unique_ptr<WatchedObject> object, std::string samplePath)
    : object_(std::move(object)), samplePath_(std::move(samplePath)) {}

CSampleCheck::~CSampleCheck() {
    Cancel();
}

void CSampleCheck::KeepVersions(std::unique_ptr<VersionJob> job) {
    versionJob_ = std::move(job);
}

bool CSampleCheck::Begin() {
    if (!object_->opened) {
        done_.store(true, std::memory_order_release);
        return true;
    }
    if (object_->length > kThreadThreshold) {
        try {
            thread_ = std::thread([this] {
                SetLowestThreadPriority();
                Run();
            });
            return false;
        } catch (const std::system_error&) {
            // No thread to be had: the check runs here, as a short one would.
        }
    }
    Run();
    return true;
}

void CSampleCheck::Cancel() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
}

void CSampleCheck::Record(std::string text) {
    notes_.push_back({kLevelStatus, std::move(text), false});
}

void CSampleCheck::Fail(std::string text) {
    notes_.push_back({kLevelError, std::move(text), true});
}

void CSampleCheck::Run() {
    Record(Format("Checking local file for changes: \"%s\".", object_->path));
    if (samplePath_.empty())
        Fail("Sample file path is not specified.");
    else if (!EntryExists(samplePath_))
        CreateSample();
    else
        UpdateSample();
    done_.store(true, std::memory_order_release);
}

void CSampleCheck::CopyTimesTo(int fd) const {
    if (!object_->timesKnown) return;
    // Creation times cannot be set here; access and last write times can.
    const timespec times[2] = {{object_->lastAccess.ToUnixTime(), 0},
                               {object_->lastWrite.ToUnixTime(), 0}};
    ::futimens(fd, times);
}

TransferResult CSampleCheck::WriteSample() {
    CFileReplacement sample;
    TransferResult written = sample.Create(samplePath_);
    if (written != result::kOk) return written;
    written = CopyFileData(object_->file, sample.File(), object_->length,
                           [this] { return stop_.load(); });
    if (written != result::kOk) return written;  // the replacement removes the partial copy
    CopyTimesTo(sample.File().Descriptor());
    return sample.Commit();
}

// The first sample of the object: a copy that carries the content's access and last write times.
void CSampleCheck::CreateSample() {
    const TransferResult created =
        MakeFolderOf(samplePath_) ? WriteSample() : result::kAccessDenied;
    if (created == result::kStopped) return;
    if (created != result::kOk) {
        const FormatArg args[] = {object_->path, samplePath_};
        Fail(FormatStatusMessage(msg::kCannotCopyFile, args));
        return;
    }
    Record(Format("Sample file created: \"%s\" from \"%s\".", samplePath_, object_->path));
    KeepContent(EventDisplayName(kEventFirstTime));
}

// Compares the object with the existing sample and, when it changed, writes the sample anew; an
// unchanged sample takes the object's file times.
void CSampleCheck::UpdateSample() {
    CLocalFile sample;
    // Read only, and never through a link: whatever the sample path names is only replaced.
    if (sample.OpenRegularForReading(samplePath_, false) != result::kOk) {
        Fail(Format("Cannot access sample file: \"%s\".", samplePath_));
        return;
    }
    const std::int64_t size = object_->length;
    if (sample.Length() != size) {
        changes_.size = changes_.content = true;
    } else if (size > 0) {
        const int compared =
            CompareFileContents(object_->file.Descriptor(), sample.Descriptor(), size, &stop_);
        if (stop_.load()) return;
        if (compared < 0) {
            Fail(
                "All file content comparison was applied: error occured during compare "
                "process.");
        } else if (compared > 0) {
            Record("All file content comparison was applied: files are NOT identical.");
            changes_.content = true;
        } else {
            Record("All file content comparison was applied: files are identical.");
        }
    }
    if (!changes_.content) {
        CopyTimesTo(sample.Descriptor());
        return;
    }
    sample.Close();
    const TransferResult written = WriteSample();
    if (written == result::kStopped) return;
    if (written != result::kOk) Fail("Error on creating sample copy of monitored object.");
    // The change is kept even when the sample could not be: the content read is whole.
    KeepContent(EventDisplayName(kEventContentChanged));
}

void CSampleCheck::KeepContent(std::string_view event) {
    if (!versionJob_ || stop_.load()) return;
    auto kept = std::make_unique<KeptVersion>();
    const std::int64_t length = object_->length;
    if (versionJob_->limits.kept <= 0) {
        *kept = KeepVersion(*versionJob_, event, {});
    } else if (length > kMaxVersionContent) {
        kept->error = Format("Version not kept: the content (%s) is larger than %s.",
                             FormatShortSize(length), FormatShortSize(kMaxVersionContent));
    } else {
        // Read from the open object, the one compared, in blocks so that a stop is felt.
        std::string content(static_cast<std::size_t>(length), '\0');
        constexpr std::size_t kBlock = std::size_t{1} << 20;
        std::size_t done = 0;
        while (done < content.size()) {
            if (stop_.load()) return;
            const ssize_t got =
                ::pread(object_->file.Descriptor(), content.data() + done,
                        std::min(kBlock, content.size() - done), static_cast<off_t>(done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
        }
        if (done < content.size()) {
            kept->error = Format("Version not kept: cannot read \"%s\".", object_->path);
        } else {
            if (stop_.load()) return;
            *kept = KeepVersion(*versionJob_, event, content);
        }
    }
    version_ = std::move(kept);
}

ContentChanges CSampleCheck::Report(CMonitorTask& task) {
    if (thread_.joinable()) thread_.join();
    const ItemLogPtr log = task.GetLog();
    for (const Note& note : notes_) {
        if (log) log->Write(note.level, note.text);
        if (note.error) task.HandleEvent(kEventError);
    }
    return changes_;
}

}  // namespace tellweir
