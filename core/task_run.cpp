// One run of a monitor task: starting it (a transfer for a URL), polling it until it ends, and
// turning its outcome into events.
#include <string>

#include "base/byte_count.h"
#include "core/event_table.h"
#include "core/local_clock.h"
#include "core/monitor_task.h"
#include "core/sample_check.h"
#include "core/transfer_link.h"
#include "log/status_message.h"
#include "store/app_settings.h"
#include "transfer/file_info.h"
#include "transfer/local_fs.h"
#include "transfer/request_props.h"
#include "url/local_path.h"
#include "url/protocol.h"

namespace tellweir {

namespace {

bool IsNullUri(std::string_view uri) {
    return uri.starts_with("<null");
}

}  // namespace

void CMonitorTask::StartRun(ITransferLink& transfers) {
    const TaskLock guard = LockTask();
    CancelSampleCheck();
    const DateTime now = LocalNow();
    SetState(TaskState::Working);
    SetInt(task::kStopped, 0);
    RenewStamp();
    ResetRunEvents();
    SetInt64(task::kRunBytesDone, 0);
    SetInt64(task::kRunBytesTotal, -1);
    SetInt(task::kRunVersion, 0);
    SetString(task::kRunChangeSummary, "");
    if (Int(task::kCount) == 0) SetTime(task::kFirstStartTime, now);
    SetTime(task::kLastStartTime, now);
    SetInt(task::kCount, Int(task::kCount) + 1);
    WriteLog(kLevelStatus, "Started (#%d): %s, scheduled: %s.", Int(task::kCount),
             FormatTaskTime(now), FormatTaskTime(GetNextStartTimeShown()));

    const std::string uri = GetUri();
    if (IsLocalPath(uri) || IsNullUri(uri)) return;
    CTransferRequest request;
    request.SetUrl(uri, false);
    request.SetString(prop::kLocalFile, GetObjectPath());
    CopySettingsIntoRequest(AppSettings(), request);
    const bool download = Int(task::kDownload) == 1;
    request.SetInt(prop::kOperation,
                   download ? prop::kOperationDownload : prop::kOperationFileInfo);
    request.SetInt(prop::kOptions, 0);
    WriteLog(
        kLevelStatus,
        download ? "Transfer started: %s (DOWNLOAD)." : "Transfer started: %s (GET FILE INFO).",
        FormatTaskTime(now));
    std::int32_t id = 0;
    // Without a manager the run ends at the next poll as a transfer that went away.
    if (transfers.StartTransfer(request, Int(task::kLogId), id)) SetInt(task::kTransferId, id);
}

bool CMonitorTask::PollRun(ITransferLink& transfers) {
    const TaskLock guard = LockTask();
    // The transfer, if any, has ended: the run waits only for its content check.
    if (sampleCheck_) return sampleCheck_->Done();
    const std::string uri = GetUri();
    if (IsNullUri(uri)) {
        SetLastResult(result::kOk);
        RenewStamp();
        return true;
    }
    if (IsLocalPath(uri)) {
        const std::string object = GetObjectPath();
        const PathStatus status = GetPathStatus(object);
        if (status.kind != PathKind::Missing) {
            SetInt64(task::kRunBytesDone, status.size);
            SetInt64(task::kRunBytesTotal, status.size);
        }
        SetLastResult(result::kOk);
        RenewStamp();
        // A FIFO or a device is never opened: reading one could wait for ever.
        if (status.kind != PathKind::File || status.special) return true;
        // The file is opened once for the whole run: the comparison and the content check use
        // this one open file and the times it gave.
        sampleCheck_ = std::make_unique<CSampleCheck>(object, GetSamplePath());
        if (Int(task::kDownload) == 1) {
            AttachVersionJob(*sampleCheck_);
            return sampleCheck_->Begin();
        }
        sampleCheck_->KeepObjectOnly();
        return true;
    }
    std::int32_t id = Int(task::kTransferId);
    TransferStatus status;
    const bool known = transfers.GetStatus(id, status);
    if (known) {
        SetInt64(task::kRunBytesDone, status.done);
        SetInt64(task::kRunBytesTotal, status.total);
        if (status.state == kTransferQueued || status.state == kTransferRunning) return false;
    }
    const DateTime now = LocalNow();
    if (!known) {
        WriteLog(kLevelStatus, "Download stopped: %s.", FormatTaskTime(now));
        SetLastResult(result::kStopped);
    } else {
        WriteLog(kLevelStatus, "Downloaded: %s.", FormatTaskTime(now));
        CTransferRequest request;
        transfers.GetRequest(id, request);
        SetString(task::kObjectPath, request.String(prop::kLocalFile));
        SetLastResult(status.result);
        SetInt64(task::kSize, request.Int64(prop::kSize));
        SetString(task::kTimeModified, request.String(prop::kTimeModified));
        SetString(task::kETag, request.String(prop::kETag));
        SetString(task::kContentType, request.String(prop::kContentType));
        const std::int64_t sent = request.Int64(prop::kBytesSent);
        const std::int64_t received = request.Int64(prop::kBytesReceived);
        AddBytesSent(sent);
        AddBytesRecv(received);
        AddBytesDownloaded(status.done);
        WriteLog(kLevelStatus, "Bytes sent: %s, bytes received: %s.", FormatByteCount(sent),
                 FormatByteCount(received));
    }
    SetInt(task::kTransferId, 0);
    if (id != 0) {
        transfers.SetTransfersLog(std::span(&id, 1), 0);
        transfers.RemoveTransfers(std::span(&id, 1));
    }
    return !known || status.result != result::kOk || BeginSampleCheck();
}

bool CMonitorTask::BeginSampleCheck() {
    const std::string object = GetObjectPath();
    if (Int(task::kDownload) != 1 || GetPathKind(object) != PathKind::File || IsSpecialFile(object))
        return true;
    sampleCheck_ = std::make_unique<CSampleCheck>(object, GetSamplePath());
    AttachVersionJob(*sampleCheck_);
    return sampleCheck_->Begin();
}

void CMonitorTask::CancelSampleCheck() {
    if (!sampleCheck_) return;
    sampleCheck_->Cancel();
    sampleCheck_.reset();
}

void CMonitorTask::ClassifyOutcome() {
    const TaskLock guard = LockTask();
    ResetRunEvents();
    const std::string uri = GetUri();
    const auto firstOrOk = [this] {
        HandleEvent(Int(task::kCount) == 1 ? kEventFirstTime : kEventOk);
    };
    if (IsNullUri(uri)) {
        firstOrOk();
    } else if (!IsLocalPath(uri)) {
        const ProtocolId protocol = DetectProtocol(uri, false).id;
        if (protocol != ProtocolId::Http && protocol != ProtocolId::Https &&
            protocol != ProtocolId::Ftp) {
            firstOrOk();
        } else {
            if (GetLastResult() == result::kOk && GetPreviousResult() != result::kOk)
                HandleEvent(kEventUp);
            SetPreviousResult(GetLastResult());
            for (std::string_view name : EventsForResult(GetLastResult()))
                HandleEvent(FindEvent(name));
            if (GetLastResult() == result::kOk) CompareWithKept();
        }
    } else {
        // The file the poll opened is a regular file; anything else is looked at now.
        const bool opened = sampleCheck_ && sampleCheck_->Object().opened;
        const PathStatus status =
            opened ? PathStatus{PathKind::File, false, 0} : GetPathStatus(GetObjectPath());
        const PathKind kind = status.kind;
        // A FIFO or a device is never opened: reading one could wait for ever.
        const bool special = status.special;
        if (kind == PathKind::Missing) SetLastResult(result::kNotFound);
        if (kind == PathKind::Directory || special) SetLastResult(result::kNotSupported);
        if (kind != PathKind::File || special) RenewStamp();
        if (GetLastResult() == result::kOk && GetPreviousResult() != result::kOk)
            HandleEvent(kEventUp);
        SetPreviousResult(GetLastResult());
        if (kind == PathKind::Missing) {
            HandleEvent(kEventError);
            HandleEvent(kEventNotExists);
        } else if (kind == PathKind::Directory) {
            HandleEvent(kEventOk);
            HandleEvent(kEventLocalDirExists);
            HandleLocalFolder();
        } else if (special) {
            HandleSpecialFile();
        } else {
            HandleEvent(kEventOk);
            HandleEvent(kEventLocalFileExists);
            CompareWithKept();
        }
    }
    // A check the comparison did not take (the run ended another way) has nothing to report.
    CancelSampleCheck();
    if (GetLastResult() != result::kOk) SetInt(task::kErrors, Int(task::kErrors) + 1);
    RenewStamp();
}

void CMonitorTask::HandleLocalFolder() {
    HandleEvent(kEventError);
    if (ItemLogPtr log = GetLog())
        log->WriteMessage(kLevelError, msg::kNotSupported, "Local folder monitoring");
}

void CMonitorTask::HandleSpecialFile() {
    HandleEvent(kEventError);
    if (ItemLogPtr log = GetLog())
        log->WriteMessage(kLevelError, msg::kNotSupported, "Local special file monitoring");
}

}  // namespace tellweir
