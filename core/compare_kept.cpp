// CompareWithKept: compares the state a run found with the INFO file or the sample copy the
// task kept, raises the change events, and rewrites the INFO file.
#include <memory>

#include "core/event_table.h"
#include "core/info_file.h"
#include "core/monitor_task.h"
#include "core/sample_check.h"
#include "log/status_message.h"
#include "transfer/file_info.h"
#include "transfer/file_path.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"
#include "url/local_path.h"
#include "url/url_mask.h"

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

std::string TimeText(DateTime time) {
    return time.Format(kFileTimeFormat);
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
    current.SetInt64(task::kSize, object.length);
    if (local && object.timesKnown) {
        current.SetString(task::kTimeModified, TimeText(object.lastWrite));
        current.SetString(task::kTimeCreated, object.creation ? TimeText(*object.creation) : "");
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

// Without download: the file information against the INFO file of the previous run (read
// into `kept`, which the rewrite then compares with); no INFO file yet means the first time.
ChangeFlags CompareWithInfoFile(CMonitorTask& task, const std::string& infoPath,
                                const CPropertySet& current, bool local, KeptInfoFile& kept) {
    kept = ReadKeptInfoFile(infoPath);
    if (kept.state == KeptInfoFile::State::Missing) {
        task.HandleEvent(kEventFirstTime);
        return {};
    }
    Log(task, kLevelStatus, "Opening INFO file: \"%s\".", infoPath);
    if (kept.state == KeptInfoFile::State::Unreadable) {
        Log(task, kLevelError, "Cannot access INFO file for reading: \"%s\".", infoPath);
        task.HandleEvent(kEventError);
        return {};
    }
    CPropertySet previous;
    ParseInfoText(kept.text, previous);
    return InfoChanges(current, previous, local);
}

// Keeps the file information found now as the INFO file for the next run. `kept` is what the
// run read from it, when it did.
void WriteKeptInfo(CMonitorTask& task, const std::string& infoPath, const std::string& uri,
                   const CPropertySet& current, const KeptInfoFile* kept) {
    if (infoPath.empty()) {
        Log(task, kLevelError, "INFO file path is not specified.");
        task.HandleEvent(kEventError);
        return;
    }
    switch (WriteKeptInfoFile(infoPath, current, kept)) {
        case InfoWrite::NoFolder:
            if (ItemLogPtr log = task.GetLog())
                log->WriteMessage(kLevelError, msg::kCannotCreateDir, FolderOf(infoPath));
            task.HandleEvent(kEventError);
            break;
        case InfoWrite::Failed:
            Log(task, kLevelError, "Cannot access INFO file for writing: \"%s\".", infoPath);
            task.HandleEvent(kEventError);
            break;
        case InfoWrite::Written:
        case InfoWrite::Unchanged:
            // The file holds the new information either way.
            Log(task, kLevelStatus, "New INFO file created: \"%s\" for \"%s\".", infoPath,
                MaskUrlPassword(uri));
            break;
    }
}

// The event a file-information version is kept with: new content when the size, content type
// or E-Tag changed, else the first change raised; -1 when nothing changed.
int InformationEvent(const ChangeFlags& changed) {
    if (changed.content) return kEventContentChanged;
    if (changed.timeCreated) return kEventTimeCreatedChanged;
    if (changed.timeModified) return kEventTimeModifiedChanged;
    if (changed.contentType) return kEventContentTypeChanged;
    if (changed.etag) return kEventETagChanged;
    if (changed.size) return kEventSizeChanged;
    return -1;
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
    // The content check the run began while polling, with the object it opened; without one
    // the object is opened here and, in whole-content mode, checked at once.
    std::unique_ptr<CSampleCheck> check = std::move(sampleCheck_);
    std::unique_ptr<WatchedObject> own;
    if (!check) own = std::make_unique<WatchedObject>(objectPath);
    WatchedObject& object = check ? check->Object() : *own;
    CPropertySet current;
    DescribeFound(*this, uri, local, object, current);
    LogFound(*this, current, local);

    ChangeFlags changed;
    const std::string infoPath = GetInfoPath();
    KeptInfoFile kept;
    const bool infoMode = Int(task::kDownload) == 0;
    if (infoMode) {
        changed = CompareWithInfoFile(*this, infoPath, current, local, kept);
    } else if (!object.opened) {
        HandleEvent(GetPathKind(objectPath) != PathKind::Missing ? kEventAccessDenied
                                                                 : kEventFirstTime);
    } else {
        if (!check) {
            check = std::make_unique<CSampleCheck>(std::move(own), GetSamplePath());
            AttachVersionJob(*check);
            check->Run();
        }
        const ContentChanges found = check->Report(*this);
        changed.size = found.size;
        changed.content = found.content;
    }
    object.file.Close();

    WriteKeptInfo(*this, infoPath, uri, current, infoMode ? &kept : nullptr);
    RaiseChangeEvents(*this, changed);
    if (infoMode) {
        const bool first = kept.state == KeptInfoFile::State::Missing;
        const int event = first ? kEventFirstTime : InformationEvent(changed);
        if (event >= 0) KeepInformation(current, EventDisplayName(event));
    } else if (check && check->Version()) {
        NoteVersion(*check->Version());
    }
}

}  // namespace tellweir
