// DownloadToFile: receives the resource into the local target through the protocol session,
// then unpacks a gzip-encoded download next to its compressed copy.
#include <fcntl.h>
#include <sys/stat.h>

#include "base/ascii_text.h"
#include "log/status_message.h"
#include "transfer/download_limit.h"
#include "transfer/file_info.h"
#include "transfer/gzip_inflate.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"
#include "transfer/progress_meter.h"
#include "transfer/request_props.h"
#include "transfer/transfer.h"
#include "transfer/transfer_session.h"

namespace tellweir {

namespace {

bool IsGzipEncoded(const CTransfer& transfer) {
    return EqualsIgnoreAsciiCase(transfer.String(prop::kContentEncoding), "gzip") &&
           !EqualsIgnoreAsciiCase(transfer.String(prop::kContentType), "application/x-tar");
}

// Inflates `target` into place. The compressed bytes stay beside it as target + ".gz" when that
// name is free; something already there is kept as it is and the compressed copy is dropped, as
// the log says. Inflating that fails, is stopped or cannot write everything (a full disk) leaves
// the download as it arrived and removes the partial output; unpacked bytes beyond `limit` end
// it with 113.
TransferResult InflateInPlace(const std::string& target, CTransferSession& session,
                              const CDownloadLimit& limit, ILog* log) {
    const std::string inflated = target + "~.xed";
    // A left-over of an earlier run goes first, and a link there with it: it is never followed.
    DeleteFile(inflated);
    TransferResult unpacked;
    {
        CFileInflateSink file(inflated, [&session] { return session.IsAborted(); });
        CLimitedInflateSink sink(file, limit);
        unpacked = InflateGzipFile(target, sink);
    }  // the sink closes the inflated file here
    if (unpacked == result::kOk && session.IsAborted()) unpacked = result::kStopped;
    if (unpacked != result::kOk) {
        DeleteFile(inflated);
        if (unpacked == result::kNoDiskSpace && log)
            log->Write(kLevelError, "Transfer aborted: cannot write to file, no disk space.");
        if (unpacked == result::kTooLarge) (void)limit.Refuse(log, true);  // the code is known
        return unpacked;
    }
    const std::string packed = target + ".gz";
    if (EntryExists(packed)) {
        if (log) log->WriteFormat(kLevelStatus, "Compressed copy not kept: \"%s\" exists.", packed);
    } else if (!MoveFile(target, packed)) {
        DeleteFile(inflated);
        return result::kAccessDenied;
    }
    if (!MoveFile(inflated, target)) return result::kAccessDenied;
    return result::kOk;
}

// Opens the download's target for writing: created when missing, never through a symbolic link,
// and refused (108) unless it is a regular file, so that a FIFO or a device in its place is
// neither waited on nor written.
TransferResult OpenTarget(CLocalFile& file, const std::string& target) {
    const TransferResult opened = file.Open(target, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK);
    if (opened != result::kOk) return opened;
    struct stat st {};
    if (::fstat(file.Descriptor(), &st) == 0 && S_ISREG(st.st_mode)) return result::kOk;
    file.Close();
    return result::kAccessDenied;
}

}  // namespace

TransferResult CTransferSession::DownloadToFile(CTransfer& transfer, ILog* log,
                                                CProgressMeter& meter) {
    if (IsAborted()) return result::kStopped;
    const std::string target = transfer.String(prop::kLocalFile);
    const TransferResult prepared = PrepareTargetDir(target, log);
    if (prepared != result::kOk) return prepared;

    const bool existed = GetPathKind(target) != PathKind::Missing;
    CLocalFile file;
    const TransferResult opened = OpenTarget(file, target);
    if (opened != result::kOk) {
        if (log) log->WriteMessage(kLevelError, msg::kCannotOpenFile, target);
        return opened;
    }
    const std::int64_t offset = file.Length();
    file.Seek(offset, SEEK_SET);
    meter.Begin(offset, transfer.Has(prop::kSize) ? transfer.Int64(prop::kSize) : -1);
    TransferResult received = ReceiveFile(transfer, file, offset, log, meter);
    const std::string modified = transfer.String(prop::kTimeModified);
    DateTime time;
    if (!modified.empty() && ParseDateText(modified, time)) file.SetCloseTime(time);
    std::int64_t endLength = file.Length();
    file.Close();

    if (received != result::kOk) {
        // What a full disk cut short is no use to anyone and only takes more of the space; nor
        // is a download cut at the size limit.
        if ((!existed && endLength == 0) || received == result::kNoDiskSpace ||
            received == result::kTooLarge)
            DeleteFile(target);
        return received;
    }
    if (IsGzipEncoded(transfer)) {
        if (log) log->WriteFormat(kLevelStatus, "Decompressing file %s.", target);
        received = InflateInPlace(target, *this, CDownloadLimit::ForRequest(transfer), log);
        // A bomb is not kept in its packed form either.
        if (received == result::kTooLarge) {
            DeleteFile(target);
            return received;
        }
    }
    endLength = GetFileSize(target);
    meter.Finish(endLength, endLength);
    transfer.SetInt64(prop::kSize, endLength);
    return received;
}

}  // namespace tellweir
