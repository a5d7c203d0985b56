// CompareWithKept: compares the state a run found with the INFO file or the sample copy the
// task kept, raises the change events, and rewrites the INFO file.
#include <fcntl.h>
#include <sys/stat.h>

#include "core/event_table.h"
#include "core/info_file.h"
#include "core/monitor_task.h"
#include "log/status_message.h"
#include "transfer/file_info.h"
#include "transfer/file_path.h"
#include "transfer/find_file.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"
#include "url/local_path.h"

namespace tellweir {

namespace {

// What differs from the kept state; each flag raises its event once the INFO file is written.
struct ChangeFlags {
    bool timeCreated = false;
    bool timeModified = false;
    bool contentType = false;
    bool etag = false;
    bool size = false;
    bool content = false;
};

// The copy of the watched object that the run left (or the local object itself), opened for
// reading, with its file times when they could be read.
struct WatchedObject {
    explicit WatchedObject(const std::string& path) {
        opened = !path.empty() && file.Open(path, O_RDONLY) == 0;
        timesKnown = opened && times.Find(path);
    }

    CLocalFile file;
    CFindFile times;
    bool opened = false;
    bool timesKnown = false;
};

std::string TimeText(DateTime time) {
    return time.Format(kFileTimeFormat);
}

// The folder part of a file path, empty when the path names no folder: a bare file name lives in
// the current folder, and making its "folder" would create a directory in the file's place.
std::string_view FolderOf(std::string_view path) {
    return path.find_last_of("/\\") == std::string_view::npos ? std::string_view()
                                                              : PathDirectory(path);
}

// Creates the folder of `path` when it names one; false when that fails.
bool MakeFolderOf(std::string_view path) {
    const std::string_view folder = FolderOf(path);
    return folder.empty() || MakeDirectories(folder);
}

// Gives the sample the access and last write times of the content it copies (creation times
// cannot be set here).
void CopyFileTimes(const std::string& target, const CFindFile& source) {
    const timespec times[2] = {{source.LastAccessTime().ToUnixTime(), 0},
                               {source.LastWriteTime().ToUnixTime(), 0}};
    ::utimensat(AT_FDCWD, NativePath(target).c_str(), times, 0);
}

// A line in the task's log, when it has one (the task's own WriteLog is private to it).
template <class... Args>
void Log(const CMonitorTask& task, int level, std::string_view format, const Args&... args) {
    if (ItemLogPtr log = task.GetLog()) log->WriteFormat(level, format, args...);
}

// The file information the run found, as the INFO file keeps it: what the transfer reported
// for a URL, the copy's length as the size and, for a local object, its file times.
void DescribeFound(const CMonitorTask& task, const std::string& uri, bool local,
                   WatchedObject& object, CPropertySet& current) {
    InfoFileTable().ApplyDefaults(current);
    current.SetString(task::kUri, uri);
    if (!local) {
        current.SetInt64(task::kSize, task.Int64(task::kSize));
        current.SetString(task::kTimeModified, task.String(task::kTimeModified));
        current.SetString(task::kETag, task.String(task::kETag));
        current.SetString(task::kContentType, task.String(task::kContentType));
    }
    if (!object.opened) return;
    current.SetInt64(task::kSize, object.file.Length());
    if (local && object.timesKnown) {
        current.SetString(task::kTimeModified, TimeText(object.times.LastWriteTime()));
        current.SetString(task::kTimeCreated, object.times.CreationTime()
                                                  ? TimeText(*object.times.CreationTime())
                                                  : "");
    }
}

void LogFound(const CMonitorTask& task, const CPropertySet& current, bool local) {
    const std::int64_t size = current.Int64(task::kSize);
    if (local)
        Log(task, kLevelStatus, "File size: [%I64d], time modified: [%s], time created: [%s].",
            size, current.String(task::kTimeModified), current.String(task::kTimeCreated));
    else
        Log(task, kLevelStatus,
            "File size: [%I64d], time modified: [%s], E-Tag: [%s], Content-Type: [%s].", size,
            current.String(task::kTimeModified), current.String(task::kETag),
            current.String(task::kContentType));
}

// What differs between the file information found now and the one the INFO file kept. A new
// size, content type or E-Tag also counts as new content.
ChangeFlags InfoChanges(const CPropertySet& current, const CPropertySet& previous, bool local) {
    const auto differs = [&](PropertyId id) { return current.String(id) != previous.String(id); };
    ChangeFlags changed;
    if (current.Int64(task::kSize) != previous.Int64(task::kSize))
        changed.size = changed.content = true;
    changed.timeModified = differs(task::kTimeModified);
    if (local) {
        changed.timeCreated = differs(task::kTimeCreated);
    } else {
        if (differs(task::kContentType)) changed.contentType = changed.content = true;
        if (differs(task::kETag)) changed.etag = changed.content = true;
    }
    return changed;
}

// Without download: the file information against the INFO file of the previous run; no INFO
// file yet means the first time.
ChangeFlags CompareWithInfoFile(CMonitorTask& task, const std::string& infoPath,
                                const CPropertySet& current, bool local) {
    if (infoPath.empty() || GetPathKind(infoPath) == PathKind::Missing) {
        task.HandleEvent(kEventFirstTime);
        return {};
    }
    Log(task, kLevelStatus, "Opening INFO file: \"%s\".", infoPath);
    CPropertySet previous;
    if (!ReadInfoFile(infoPath, previous)) {
        Log(task, kLevelError, "Cannot access INFO file for reading: \"%s\".", infoPath);
        task.HandleEvent(kEventError);
        return {};
    }
    return InfoChanges(current, previous, local);
}

// True when the contents of two files of `size` bytes (more than none) differ; a failed
// comparison is an error and counts as no change.
bool ContentDiffers(CMonitorTask& task, int objectFd, int sampleFd, std::int64_t size) {
    const int compared = CompareFileContents(objectFd, sampleFd, size);
    if (compared < 0) {
        Log(task, kLevelError,
            "All file content comparison was applied: error occured during compare process.");
        task.HandleEvent(kEventError);
    } else if (compared > 0) {
        Log(task, kLevelStatus,
            "All file content comparison was applied: files are NOT identical.");
    } else {
        Log(task, kLevelStatus, "All file content comparison was applied: files are identical.");
    }
    return compared > 0;
}

// Compares the object with the existing sample and, when it changed, makes the sample a copy of
// it again; the sample takes the object's file times either way.
ChangeFlags UpdateSample(CMonitorTask& task, const std::string& samplePath, WatchedObject& object,
                         std::int64_t size) {
    ChangeFlags changed;
    CLocalFile sample;
    if (sample.Open(samplePath, O_RDWR) != 0) {
        Log(task, kLevelError, "Cannot access sample file: \"%s\".", samplePath);
        task.HandleEvent(kEventError);
        return changed;
    }
    if (sample.Length() != size)
        changed.size = changed.content = true;
    else if (size > 0)
        changed.content = ContentDiffers(task, object.file.Descriptor(), sample.Descriptor(), size);
    if (changed.content &&
        (!sample.SetLength(0) ||
         CopyFileContents(object.file.Descriptor(), sample.Descriptor(), size) != 0)) {
        Log(task, kLevelError, "Error on creating sample copy of monitored object.");
        task.HandleEvent(kEventError);
    }
    sample.Close();
    if (object.timesKnown) CopyFileTimes(samplePath, object.times);
    return changed;
}

// The first sample of the object: a copy, which carries the content's access and last write
// times with it.
void CreateSample(CMonitorTask& task, const std::string& objectPath,
                  const std::string& samplePath) {
    if (MakeFolderOf(samplePath) && CopyFile(objectPath, samplePath)) {
        Log(task, kLevelStatus, "Sample file created: \"%s\" from \"%s\".", samplePath, objectPath);
        return;
    }
    if (ItemLogPtr log = task.GetLog())
        log->WriteMessage(kLevelError, msg::kCannotCopyFile, objectPath, samplePath);
    task.HandleEvent(kEventError);
}

// With download: the object's content against the sample copy of the previous run; no sample
// yet is made from the object.
ChangeFlags CompareWithSample(CMonitorTask& task, const std::string& objectPath,
                              WatchedObject& object, std::int64_t size) {
    Log(task, kLevelStatus, "Checking local file for changes: \"%s\".", objectPath);
    const std::string samplePath = task.GetSamplePath();
    if (samplePath.empty()) {
        Log(task, kLevelError, "Sample file path is not specified.");
        task.HandleEvent(kEventError);
        return {};
    }
    if (GetPathKind(samplePath) == PathKind::Missing) {
        CreateSample(task, objectPath, samplePath);
        return {};
    }
    return UpdateSample(task, samplePath, object, size);
}

// Keeps the file information found now as the INFO file for the next run.
void WriteKeptInfo(CMonitorTask& task, const std::string& infoPath, const std::string& uri,
                   const CPropertySet& current) {
    if (infoPath.empty()) {
        Log(task, kLevelError, "INFO file path is not specified.");
        task.HandleEvent(kEventError);
    } else if (!MakeFolderOf(infoPath)) {
        if (ItemLogPtr log = task.GetLog())
            log->WriteMessage(kLevelError, msg::kCannotCreateDir, FolderOf(infoPath));
        task.HandleEvent(kEventError);
    } else if (!WriteInfoFile(infoPath, current)) {
        Log(task, kLevelError, "Cannot access INFO file for writing: \"%s\".", infoPath);
        task.HandleEvent(kEventError);
    } else {
        Log(task, kLevelStatus, "New INFO file created: \"%s\" for \"%s\".", infoPath, uri);
    }
}

void RaiseChangeEvents(CMonitorTask& task, const ChangeFlags& changed) {
    if (changed.timeCreated) task.HandleEvent(kEventTimeCreatedChanged);
    if (changed.timeModified) task.HandleEvent(kEventTimeModifiedChanged);
    if (changed.contentType) task.HandleEvent(kEventContentTypeChanged);
    if (changed.etag) task.HandleEvent(kEventETagChanged);
    if (changed.size) task.HandleEvent(kEventSizeChanged);
    if (changed.content) task.HandleEvent(kEventContentChanged);
}

}  // namespace

void CMonitorTask::CompareWithKept() {
    const TaskLock guard = LockTask();
    const std::string uri = GetUri();
    const bool local = IsLocalPath(uri);
    const std::string objectPath = GetObjectPath();
    WatchedObject object(objectPath);
    CPropertySet current;
    DescribeFound(*this, uri, local, object, current);
    LogFound(*this, current, local);

    ChangeFlags changed;
    const std::string infoPath = GetInfoPath();
    if (Int(task::kDownload) == 0)
        changed = CompareWithInfoFile(*this, infoPath, current, local);
    else if (!object.opened)
        HandleEvent(GetPathKind(objectPath) != PathKind::Missing ? kEventAccessDenied
                                                                 : kEventFirstTime);
    else
        changed = CompareWithSample(*this, objectPath, object, current.Int64(task::kSize));
    object.file.Close();

    WriteKeptInfo(*this, infoPath, uri, current);
    RaiseChangeEvents(*this, changed);
}

}  // namespace tellweir
