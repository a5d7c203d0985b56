// CompareWithKept: compares the state a run found with the INFO file or the sample copy the
// task kept, raises the change events, and rewrites the INFO file.
#include <fcntl.h>
#include <sys/stat.h>

#include "core/event_table.h"
#include "core/info_file.h"
#include "core/monitor_task.h"
#include "url/local_path.h"
#include "transfer/file_info.h"
#include "transfer/file_path.h"
#include "transfer/find_file.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"
#include "log/status_message.h"

namespace tellweir {

namespace {

struct ChangeFlags {
    bool timeCreated = false;
    bool timeModified = false;
    bool contentType = false;
    bool etag = false;
    bool size = false;
    bool content = false;
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

}  // namespace

void CMonitorTask::CompareWithKept() {
    const TaskLock guard = LockTask();
    const std::string uri = GetUri();
    const bool local = IsLocalPath(uri);
    const std::string objectPath = GetObjectPath();
    CPropertySet current;
    CPropertySet previous;
    InfoFileTable().ApplyDefaults(current);
    current.SetString(task::kUri, uri);
    if (!local) {
        current.SetInt64(task::kSize, Int64(task::kSize));
        current.SetString(task::kTimeModified, String(task::kTimeModified));
        current.SetString(task::kETag, String(task::kETag));
        current.SetString(task::kContentType, String(task::kContentType));
    }

    CLocalFile object;
    const bool opened = !objectPath.empty() && object.Open(objectPath, O_RDONLY) == 0;
    CFindFile found;
    const bool timesKnown = opened && found.Find(objectPath);
    if (opened) {
        current.SetInt64(task::kSize, object.Length());
        if (local && timesKnown) {
            current.SetString(task::kTimeModified, TimeText(found.LastWriteTime()));
            current.SetString(task::kTimeCreated,
                              found.CreationTime() ? TimeText(*found.CreationTime()) : "");
        }
    }
    const std::int64_t size = current.Int64(task::kSize);
    if (local)
        WriteLog(kLevelStatus, "File size: [%I64d], time modified: [%s], time created: [%s].", size,
                 current.String(task::kTimeModified), current.String(task::kTimeCreated));
    else
        WriteLog(kLevelStatus,
                 "File size: [%I64d], time modified: [%s], E-Tag: [%s], Content-Type: [%s].", size,
                 current.String(task::kTimeModified), current.String(task::kETag),
                 current.String(task::kContentType));

    ChangeFlags changed;
    const std::string infoPath = GetInfoPath();
    if (Int(task::kDownload) == 0) {
        if (!infoPath.empty() && GetPathKind(infoPath) != PathKind::Missing) {
            WriteLog(kLevelStatus, "Opening INFO file: \"%s\".", infoPath);
            if (!ReadInfoFile(infoPath, previous)) {
                WriteLog(kLevelError, "Cannot access INFO file for reading: \"%s\".", infoPath);
                HandleEvent(kEventError);
            } else {
                const auto differs = [&](PropertyId id) {
                    return current.String(id) != previous.String(id);
                };
                if (current.Int64(task::kSize) != previous.Int64(task::kSize))
                    changed.size = changed.content = true;
                changed.timeModified = differs(task::kTimeModified);
                if (local) {
                    changed.timeCreated = differs(task::kTimeCreated);
                } else {
                    if (differs(task::kContentType)) changed.contentType = changed.content = true;
                    if (differs(task::kETag)) changed.etag = changed.content = true;
                }
            }
        } else {
            HandleEvent(kEventFirstTime);
        }
    } else if (!opened) {
        HandleEvent(GetPathKind(objectPath) != PathKind::Missing ? kEventAccessDenied
                                                                 : kEventFirstTime);
    } else {
        WriteLog(kLevelStatus, "Checking local file for changes: \"%s\".", objectPath);
        const std::string samplePath = GetSamplePath();
        if (!samplePath.empty() && GetPathKind(samplePath) != PathKind::Missing) {
            CLocalFile sample;
            if (sample.Open(samplePath, O_RDWR) != 0) {
                WriteLog(kLevelError, "Cannot access sample file: \"%s\".", samplePath);
                HandleEvent(kEventError);
            } else {
                if (sample.Length() == size) {
                    if (size > 0) {
                        const int compared =
                            CompareFileContents(object.Descriptor(), sample.Descriptor(), size);
                        if (compared < 0) {
                            WriteLog(kLevelError,
                                     "All file content comparison was applied: error occured "
                                     "during compare process.");
                            HandleEvent(kEventError);
                        } else if (compared > 0) {
                            WriteLog(kLevelStatus,
                                     "All file content comparison was applied: files are NOT "
                                     "identical.");
                            changed.content = true;
                        } else {
                            WriteLog(kLevelStatus,
                                     "All file content comparison was applied: files are "
                                     "identical.");
                        }
                    }
                } else {
                    changed.size = changed.content = true;
                }
                if (changed.content &&
                    (!sample.SetLength(0) ||
                     CopyFileContents(object.Descriptor(), sample.Descriptor(), size) != 0)) {
                    WriteLog(kLevelError, "Error on creating sample copy of monitored object.");
                    HandleEvent(kEventError);
                }
                sample.Close();
                if (timesKnown) CopyFileTimes(samplePath, found);
            }
        } else if (samplePath.empty()) {
            WriteLog(kLevelError, "Sample file path is not specified.");
            HandleEvent(kEventError);
        } else if (MakeFolderOf(samplePath) && CopyFile(objectPath, samplePath)) {
            // The copy carries the content's access and last write times with it.
            WriteLog(kLevelStatus, "Sample file created: \"%s\" from \"%s\".", samplePath,
                     objectPath);
        } else {
            if (ItemLogPtr log = GetLog())
                log->WriteMessage(kLevelError, msg::kCannotCopyFile, objectPath, samplePath);
            HandleEvent(kEventError);
        }
    }
    object.Close();

    if (infoPath.empty()) {
        WriteLog(kLevelError, "INFO file path is not specified.");
        HandleEvent(kEventError);
    } else if (!MakeFolderOf(infoPath)) {
        if (ItemLogPtr log = GetLog())
            log->WriteMessage(kLevelError, msg::kCannotCreateDir, FolderOf(infoPath));
        HandleEvent(kEventError);
    } else if (!WriteInfoFile(infoPath, current)) {
        WriteLog(kLevelError, "Cannot access INFO file for writing: \"%s\".", infoPath);
        HandleEvent(kEventError);
    } else {
        WriteLog(kLevelStatus, "New INFO file created: \"%s\" for \"%s\".", infoPath, uri);
    }

    if (changed.timeCreated) HandleEvent(kEventTimeCreatedChanged);
    if (changed.timeModified) HandleEvent(kEventTimeModifiedChanged);
    if (changed.contentType) HandleEvent(kEventContentTypeChanged);
    if (changed.etag) HandleEvent(kEventETagChanged);
    if (changed.size) HandleEvent(kEventSizeChanged);
    if (changed.content) HandleEvent(kEventContentChanged);
}

}  // namespace tellweir
