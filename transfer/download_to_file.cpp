// DownloadToFile: receives the resource into the local target through the protocol session,
// then unpacks a gzip-encoded download next to its compressed copy.
#include <fcntl.h>

#include "base/ascii_text.h"
#include "log/status_message.h"
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

// Inflates `target` into place, keeping the compressed bytes as target + ".gz".
TransferResult InflateInPlace(const std::string& target, CTransferSession& session) {
    const std::string inflated = target + "~.xed";
    TransferResult unpacked;
    {
        CFileInflateSink sink(inflated, [&session] { return session.IsAborted(); });
        unpacked = InflateGzipFile(target, sink);
    }  // the sink closes the inflated file here
    if (unpacked != result::kOk) return unpacked;
    const std::string packed = target + ".gz";
    if (GetPathKind(packed) != PathKind::Missing && !DeleteFile(packed))
        return result::kAccessDenied;
    if (!MoveFile(target, packed) || !MoveFile(inflated, target)) return result::kAccessDenied;
    return result::kOk;
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
    const TransferResult opened = file.Open(target, O_WRONLY | O_CREAT);
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
        if (!existed && endLength == 0) DeleteFile(target);
        return received;
    }
    if (IsGzipEncoded(transfer)) {
        if (log) log->WriteFormat(kLevelStatus, "Decompressing file %s.", target);
        received = InflateInPlace(target, *this);
    }
    endLength = GetFileSize(target);
    meter.Finish(endLength, endLength);
    transfer.SetInt64(prop::kSize, endLength);
    return received;
}

}  // namespace tellweir
