// Download: the skip, resume and overwrite rules for an existing local target, then the attempt
// loop that repeats failed downloads, continuing a partial file where it can.

#include "base/text_format.h"
#include "log/log_pair.h"
#include "log/log_registry.h"
#include "log/status_message.h"
#include "transfer/file_info.h"
#include "transfer/local_fs.h"
#include "transfer/progress_meter.h"
#include "transfer/request_props.h"
#include "transfer/transfer_manager.h"
#include "transfer/transfer_operation.h"
#include "url/file_type.h"

namespace tellweir {

namespace {

constexpr std::int32_t kLocalFolderType = static_cast<std::int32_t>(FileType::LocalFolder);

struct ResumeFlags {
    bool resume = false;        // option bit 11
    bool binaryOnly = false;    // option bit 19
    bool restart = false;       // option bit 20
    std::int32_t transferType;  // property 58: 0 binary, 1 ASCII
};

bool IsResumable(const CTransfer& transfer) {
    const ProtocolId protocol = transfer.Protocol();
    if (transfer.Has(prop::kBody) &&
        (protocol == ProtocolId::Http || protocol == ProtocolId::Https))
        return false;
    const std::string url = transfer.ComposedUrl(UrlParts{.path = true});
    if (transfer.Address().host.empty()) return false;
    if (ClassifyContent(transfer.String(prop::kContentType), transfer.String(prop::kPath)) ==
        FileType::Html)
        return false;
    return url.find('?') == std::string::npos && !url.ends_with('/');
}

TransferResult DeleteTarget(const std::string& target, ILog* log) {
    if (DeleteFile(target)) return result::kOk;
    if (log) log->WriteMessage(kLevelError, msg::kCannotRemoveFile, target);
    return result::kAccessDenied;
}

TransferResult ReplaceTarget(const std::string& target, const char* condition, ILog* log) {
    if (log) {
        log->Write(kLevelStatus, condition);
        log->WriteMessage(kLevelStatus, msg::kRemovingFile, target);
    }
    return DeleteTarget(target, log);
}

// The transfer type a resumed download uses: the request's, or ASCII for text resources.
std::int32_t ChooseTransferType(CTransfer& transfer, std::int32_t requested, ILog* log) {
    if (requested != 0) return requested;
    const auto type = static_cast<FileType>(transfer.Int(prop::kType));
    if (type != FileType::Text && type != FileType::Html && type != FileType::UrlList) return 0;
    if (log) log->Write(kLevelStatus, "File type updated to ASCII.");
    transfer.SetInt(prop::kTransferType, 1);
    return 1;
}

// Decides what happens to an existing file target when resuming is asked for. Returns 0 to go
// on, with `exists` and `flags.resume` updated; kFolderSkipDone when nothing is left to do.
TransferResult CheckResumeOfFile(TransferContext& context, ResumeFlags& flags, bool& exists,
                                 ILog* log) {
    CTransfer& transfer = context.transfer;
    const std::string target = transfer.String(prop::kLocalFile);
    const std::string oldTag = transfer.String(prop::kETag);
    const TransferResult fetched = FetchFileInfo(context, false, true, log);
    if (fetched != result::kOk) return fetched;
    const bool tagChanged = !oldTag.empty() && oldTag != transfer.String(prop::kETag);
    flags.transferType = ChooseTransferType(transfer, flags.transferType, log);
    const bool binaryOnlyAsked = flags.binaryOnly;
    if (flags.binaryOnly) flags.resume = flags.transferType == 0;

    const std::int64_t remote = transfer.Has(prop::kSize) ? transfer.Int64(prop::kSize) : -1;
    const std::int64_t local = transfer.Int64(prop::kLocalSize);
    std::string condition;
    if (tagChanged)
        condition = "Overwrite condition: E-Tag changed.";
    else if (remote == -1)
        condition = "Overwrite condition: remote size unknown.";
    else if (remote < local)
        condition =
            Format("Overwrite condition: remote size %I64d < local size %I64d.", remote, local);
    else if (transfer.Int(prop::kType) == static_cast<std::int32_t>(FileType::FtpList))
        condition = "Overwrite condition: listing.";
    if (!condition.empty()) {
        const TransferResult deleted = ReplaceTarget(target, condition.c_str(), log);
        if (deleted != result::kOk) return deleted;
        flags.resume = false;
        exists = false;
        return result::kOk;
    }
    if (!flags.resume) return result::kOk;
    if (remote == local) {
        transfer.UpdateStatus([local](TransferStatus& status) {
            status.done = status.total = local;
            status.outcome = kOutcomeLocalCopy;
        });
        if (log)
            log->Write(kLevelStatus, binaryOnlyAsked
                                         ? "Transfer skipped: size is same, option: resume binary."
                                         : "Transfer skipped: size is same, option: resume.");
        return kFolderSkipDone;
    }
    if (log)
        log->Write(kLevelStatus,
                   binaryOnlyAsked
                       ? "Binary transfer resumed: local size is smaller, option: resume."
                       : "Transfer resumed: local size is smaller, option: resume.");
    return result::kOk;
}

// Settles an existing target before the attempts: kept (resumed), replaced, or refused.
// kFolderSkipDone means the target already is the resource.
TransferResult SettleExistingTarget(TransferContext& context, ResumeFlags& flags, ILog* log) {
    CTransfer& transfer = context.transfer;
    const std::string target = transfer.String(prop::kLocalFile);
    const bool directory = transfer.Int(prop::kLocalType) == kLocalFolderType;
    bool exists = true;
    if (flags.resume || flags.binaryOnly) {
        if (directory) {
            // The directory goes, but still counts as existing below.
            if (log) log->WriteMessage(kLevelStatus, msg::kRemovingDir, target);
            if (!RemoveDirectory(target, "*")) {
                if (log) log->WriteMessage(kLevelError, msg::kCannotRemoveDir, target);
                return result::kAccessDenied;
            }
        } else {
            const TransferResult checked = CheckResumeOfFile(context, flags, exists, log);
            if (checked != result::kOk) return checked;
        }
    }
    if (flags.resume || !exists) return result::kOk;
    if (directory) {
        if (log) log->Write(kLevelError, "Cannot overwrite local directory, remove it first.");
        return result::kAccessDenied;
    }
    return ReplaceTarget(target, "Overwrite condition: by task.", log);
}

// What one download attempt came to.
struct AttemptOutcome {
    TransferResult result = result::kOk;
    bool connected = false;     // a failed connection ends the download as it is
    bool movedForward = false;  // data arrived before the attempt failed
};

// One download attempt through a registered progress meter.
AttemptOutcome RunAttempt(TransferContext& context) {
    CTransfer& transfer = context.transfer;
    CProgressMeter meter(transfer, CProgressMeter::Direction::Download);
    context.manager.RegisterPeriodicHook(&meter);
    AttemptOutcome outcome;
    outcome.result = ConnectWithRetries(context.session, transfer, context.log);
    outcome.connected = outcome.result == result::kOk;
    if (outcome.connected) {
        const ItemLogPtr sessionLog = context.manager.Logs().GetLog(context.session.LogId());
        const RefPtr<ILog> pair = MakeLogPair(context.log, sessionLog.get());
        outcome.result = context.session.DownloadToFile(transfer, pair.get(), meter);
        transfer.UpdateStatus([](TransferStatus& status) { status.outcome = kOutcomeLocalCopy; });
        context.session.LocalFileInfo(transfer, nullptr);
        outcome.movedForward = meter.Position() > meter.StartPosition();
    }
    context.manager.UnregisterPeriodicHook(&meter);
    return outcome;
}

// The resume options the transfer asks for; resuming binary files only has no meaning for a
// text transfer.
ResumeFlags ReadResumeFlags(const CTransfer& transfer) {
    ResumeFlags flags;
    flags.resume = transfer.TestBit(prop::kOptions, prop::kOptionResume);
    flags.binaryOnly = transfer.TestBit(prop::kOptions, prop::kOptionResumeBinaryOnly);
    flags.restart = transfer.TestBit(prop::kOptions, prop::kOptionRestartRefused);
    flags.transferType = transfer.Int(prop::kTransferType);
    if (flags.transferType != 0) flags.binaryOnly = false;
    return flags;
}

// Reads the local target's file information and starts the progress from its size. Returns
// the result of reading it: 0 when the target exists.
TransferResult StartProgress(TransferContext& context, ILog* log) {
    CTransfer& transfer = context.transfer;
    const TransferResult local = context.session.LocalFileInfo(transfer, log);
    const std::int64_t localSize = local == result::kOk ? transfer.Int64(prop::kLocalSize) : 0;
    const std::int64_t remoteSize = transfer.Has(prop::kSize) ? transfer.Int64(prop::kSize) : -1;
    transfer.UpdateStatus([&](TransferStatus& status) {
        status.done = localSize;
        status.total = remoteSize;
        status.speed = -1;
        status.elapsed = 0;
        status.remaining = 0;
    });
    return local;
}

// Everything before the first attempt: the skip rule, the target's folder and an existing
// target. Returns 0 to download, kFolderSkipDone when nothing is left to do, else the failure.
TransferResult PrepareTarget(TransferContext& context, ResumeFlags& flags, TransferResult local,
                             ILog* log) {
    CTransfer& transfer = context.transfer;
    const TransferResult skip = CheckFolderSkip(context, log, local);
    if (skip != kFolderSkipGoOn) return skip;
    if (!IsResumable(transfer)) flags.resume = flags.binaryOnly = false;
    const TransferResult prepared =
        context.session.PrepareTargetDir(transfer.String(prop::kLocalFile), log);
    if (prepared != result::kOk) return prepared;
    if (local != result::kOk) return result::kOk;
    return SettleExistingTarget(context, flags, log);
}

// The attempts, until one succeeds or the failure is final. Every failed attempt counts against
// the retries, also one that moved the file forward, so that a server that sends a little and
// then fails each time is given up on; such an attempt is repeated at once, others after the
// connection delay. A wrong offset starts the file over when restarting is allowed.
TransferResult RunAttempts(TransferContext& context, bool restart, ILog* log) {
    CTransfer& transfer = context.transfer;
    const std::string target = transfer.String(prop::kLocalFile);
    std::int32_t attempts = 0;
    bool deleteFirst = false;
    const auto fail = [log](TransferResult result) {
        if (log) log->WriteMessage(kLevelError, msg::kTransferFailed);
        return result;
    };
    for (;;) {
        if (deleteFirst && GetPathKind(target) != PathKind::Missing) {
            const TransferResult deleted = DeleteTarget(target, log);
            if (deleted != result::kOk) return deleted;
        }
        const AttemptOutcome outcome = RunAttempt(context);
        const TransferResult attempt = outcome.result;
        if (!outcome.connected || attempt == result::kOk) return attempt;
        if (context.session.IsAborted()) return result::kStopped;
        // A full disk stays full, and a download past the size limit would pass it again:
        // another attempt would only run into the same wall.
        if (attempt == result::kNoDiskSpace || attempt == result::kTooLarge) return fail(attempt);
        const bool wrongOffset = attempt == result::kWrongOffset;
        if (wrongOffset) deleteFirst = true;
        const bool atOnce = !wrongOffset && outcome.movedForward;
        const bool retryable = wrongOffset ? restart : atOnce || IsRetryableResult(attempt);
        if (!retryable || ++attempts > transfer.Int(prop::kTransferRetries)) return fail(attempt);
        if (log) log->WriteMessage(kLevelStatus, msg::kTransferRetry, attempts);
        if (atOnce) continue;
        if (!context.session.WaitUnlessAborted(transfer.Int(prop::kConnectDelay)))
            return result::kStopped;
    }
}

}  // namespace

TransferResult Download(TransferContext& context, ILog* log) {
    CTransfer& transfer = context.transfer;
    ResumeFlags flags = ReadResumeFlags(transfer);
    const TransferResult local = StartProgress(context, log);
    // A FIFO, a socket or a device in the target's place is neither removed nor written.
    if (IsSpecialFile(transfer.String(prop::kLocalFile))) {
        if (log)
            log->WriteMessage(kLevelError, msg::kCannotOpenFile, transfer.String(prop::kLocalFile));
        return result::kAccessDenied;
    }
    const TransferResult prepared = PrepareTarget(context, flags, local, log);
    if (prepared == kFolderSkipDone) return result::kOk;
    if (prepared != result::kOk) return prepared;

    transfer.SetInt(prop::kTransferType, flags.transferType);
    // Every further attempt continues the partial file.
    transfer.SetBit(prop::kOptions, prop::kOptionResume, true);
    if (log) log->WriteMessage(kLevelStatus, msg::kTransferring);
    const TransferResult downloaded = RunAttempts(context, flags.restart, log);
    if (downloaded != result::kOk) return downloaded;
    if (log) log->WriteMessage(kLevelStatus, msg::kTransferFinished);
    return result::kOk;
}

}  // namespace tellweir
