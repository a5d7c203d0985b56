// RunTransfer and its file-information and skip steps.
#include "transfer/transfer_operation.h"

#include "base/byte_count.h"
#include "base/date_time.h"
#include "log/item_log.h"
#include "log/log_pair.h"
#include "log/log_registry.h"
#include "log/status_message.h"
#include "store/setting_ids.h"
#include "transfer/file_info.h"
#include "transfer/file_path.h"
#include "transfer/local_fs.h"
#include "transfer/request_props.h"
#include "transfer/traffic_observer.h"
#include "transfer/transfer_manager.h"
#include "url/file_info_text.h"
#include "url/file_type.h"

namespace tellweir {

namespace {

// Adds what the session's sockets move to the transfer's totals.
class CByteCounter final : public ITrafficObserver {
  public:
    explicit CByteCounter(CTransfer& transfer) : transfer_(transfer) {}
    void OnReceived(std::int64_t count) override {
        if (count > 0) transfer_.AddInt64(prop::kBytesReceived, count);
    }
    void OnSent(std::int64_t count) override {
        if (count > 0) transfer_.AddInt64(prop::kBytesSent, count);
    }

  private:
    CTransfer& transfer_;
};

std::int64_t SizeOrUnknown(const CPropertySet& request, PropertyId id) {
    return request.Has(id) ? request.Int64(id) : -1;
}

// The status after file information was fetched: the local and the remote size.
void ReportSizes(CTransfer& transfer) {
    const std::int64_t local = transfer.Int64(prop::kLocalSize);
    const std::int64_t remote = SizeOrUnknown(transfer, prop::kSize);
    transfer.UpdateStatus([&](TransferStatus& status) {
        status.done = local;
        status.total = remote;
        status.speed = -1;
        status.elapsed = 0;
        status.remaining = 0;
    });
}

bool IsHttpProtocol(ProtocolId protocol) {
    return protocol == ProtocolId::Http || protocol == ProtocolId::Https;
}

TransferResult RunAutomatic(TransferContext& context) {
    CTransfer& transfer = context.transfer;
    if (IsHttpProtocol(transfer.Protocol()) && transfer.Has(prop::kBody))
        return Download(context, context.log);
    const std::string url = transfer.ComposedUrl(UrlParts{.path = true});
    const bool html = ClassifyContent(transfer.String(prop::kContentType),
                                      transfer.String(prop::kPath)) == FileType::Html;
    if (transfer.Address().host.empty() || html || url.find('?') != std::string::npos ||
        url.ends_with('/'))
        return Download(context, context.log);
    const TransferResult fetched = FetchFileInfo(context, true, false, context.log);
    if (fetched != result::kOk) return fetched;
    const std::int32_t type = transfer.Int(prop::kType);
    if (type == static_cast<std::int32_t>(FileType::Html) ||
        type == static_cast<std::int32_t>(FileType::FtpList))
        return Download(context, context.log);
    context.session.LocalFileInfo(transfer, nullptr);
    ReportSizes(transfer);
    return result::kOk;
}

TransferResult RunOperation(TransferContext& context) {
    CTransfer& transfer = context.transfer;
    ILog* log = context.log;
    switch (transfer.Int(prop::kOperation)) {
        case prop::kOperationEmpty:
            if (log) log->Write(kLevelStatus, "Empty operation is done.");
            return result::kOk;
        case prop::kOperationDownload:
            return Download(context, log);
        case prop::kOperationUpload:
            if (log) log->Write(kLevelError, "Upload is not implemeted.");
            return result::kNotSupported;
        case prop::kOperationFileInfo: {
            context.session.LocalFileInfo(transfer, nullptr);
            const TransferResult fetched = FetchFileInfo(context, true, false, log);
            ReportSizes(transfer);
            return fetched;
        }
        case prop::kOperationAutomatic:
            return RunAutomatic(context);
        default:
            if (log) log->Write(kLevelError, "Operation is not supported or implemeted.");
            return result::kNotSupported;
    }
}

}  // namespace

TransferState RunTransfer(CTransfer& transfer, CTransferSession& session,
                          CTransferManager& manager) {
    CopySettingsIntoRequest(manager.Settings(), transfer);
    const ItemLogPtr log = manager.Logs().GetLog(transfer.Int(prop::kLogId));
    TransferContext context{transfer, session, manager, log.get()};
    CByteCounter counter(transfer);
    session.SetTrafficObserver(&counter);
    session.LocalFileInfo(transfer, nullptr);
    transfer.UpdateStatus([](TransferStatus& status) { status.outcome = kOutcomeNothing; });

    TransferResult outcome = RunOperation(context);
    if (outcome != result::kOk && transfer.TimeLimitReached()) {
        outcome = result::kTimeout;
        if (log)
            log->WriteFormat(kLevelError,
                             "Transfer aborted: it took longer than %d seconds (\"Connections/"
                             "Transfer Time Limit\").",
                             manager.Settings().Int(setting::kTransferTimeLimit));
    }

    session.SetTrafficObserver(nullptr);
    if (log)
        log->WriteFormat(kLevelStatus, "Total bytes received: %s, total bytes sent: %s.",
                         FormatByteCount(transfer.Int64(prop::kBytesReceived)),
                         FormatByteCount(transfer.Int64(prop::kBytesSent)));
    transfer.UpdateStatus([outcome](TransferStatus& status) { status.result = outcome; });
    if (log) {
        if (outcome == result::kStopped) log->WriteMessage(kLevelStatus, msg::kConnectionClosed);
        TrimToMax(*log, manager.Settings().Int(setting::kMaxLogLines));
    }
    return outcome == result::kOk ? kTransferFinished : kTransferStopped;
}

TransferResult FetchFileInfo(TransferContext& context, bool force, bool notFoundIsError,
                             ILog* log) {
    CTransfer& transfer = context.transfer;
    const bool knownType = HasKnownFileType(transfer);
    if (!force && knownType && IsAddedTimeFresh(transfer.String(prop::kAdded), DateTime::Now()))
        return result::kOk;
    if (log && knownType) {
        FileInfoSummary summary;
        summary.type = static_cast<FileType>(transfer.Int(prop::kType));
        summary.size = SizeOrUnknown(transfer, prop::kSize);
        summary.sizeKnown = transfer.Int(prop::kSizeKnown) != 0;
        summary.timeModified = transfer.String(prop::kTimeModified);
        summary.etag = transfer.String(prop::kETag);
        log->WriteFormat(kLevelStatus, "Available remote file info: %s.",
                         DescribeFileInfo(summary));
    }
    const TransferResult connected = ConnectWithRetries(context.session, transfer, log);
    if (connected != result::kOk) return connected;
    const std::string url = transfer.ComposedUrl(UrlParts{.path = true});
    if (log) log->WriteMessage(kLevelStatus, msg::kGettingFileInfo, url);
    const ItemLogPtr sessionLog = context.manager.Logs().GetLog(context.session.LogId());
    const RefPtr<ILog> pair = MakeLogPair(log, sessionLog.get());
    const TransferResult fetched = context.session.GetFileInfo(transfer, pair.get());
    transfer.UpdateStatus([](TransferStatus& status) { status.outcome = kOutcomeFileInfo; });
    if (fetched == result::kRemoteNotFound) {
        if (log)
            log->WriteMessage(notFoundIsError ? kLevelError : kLevelStatus, msg::kFileNotFound,
                              url);
    } else if (fetched != result::kOk && fetched != result::kStopped && log) {
        log->WriteMessage(kLevelError, msg::kCannotGetFileInfo, url);
    }
    return fetched;
}

TransferResult CheckFolderSkip(TransferContext& context, ILog* log, TransferResult localResult) {
    CTransfer& transfer = context.transfer;
    if (!transfer.TestBit(prop::kOptions, prop::kOptionSkipExisting)) return kFolderSkipGoOn;
    const auto keep = [&](std::int64_t size, const char* line) {
        transfer.UpdateStatus([size](TransferStatus& status) {
            status.done = size;
            status.total = -1;
            status.outcome = kOutcomeLocalCopy;
        });
        if (log) log->Write(kLevelStatus, line);
        return kFolderSkipDone;
    };
    if (localResult == result::kOk)
        return keep(transfer.Int64(prop::kLocalSize),
                    "Transfer skipped: file exists, option: skip.");
    const std::string folder = context.manager.Settings().String(setting::kCheckFolder);
    if (folder.empty() || !IsDirectory(folder)) return kFolderSkipGoOn;
    const std::string target = transfer.String(prop::kLocalFile);
    const std::string_view name = PathFileName(target);
    std::string candidate = JoinPath(folder, name);
    if (!IsFile(candidate)) {
        candidate = JoinPath(folder, PercentDecode(name));
        if (!IsFile(candidate)) return kFolderSkipGoOn;
    }
    if (!CopyFile(candidate, target)) {
        if (log) log->WriteMessage(kLevelError, msg::kCannotCopyFile, candidate, target);
        return result::kAccessDenied;
    }
    return keep(GetFileSize(target), "Transfer skipped: check file exists, option: skip.");
}

}  // namespace tellweir
