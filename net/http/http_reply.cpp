// CHttpSession's reply side: reading a reply's header block, and the two operations the
// transfer operation calls: file information with HEAD, and a download with GET or POST.
#include "base/ascii_text.h"
#include "log/status_message.h"
#include "net/cookie/cookie_store.h"
#include "net/http/header_block.h"
#include "net/http/header_lookup.h"
#include "net/http/http_request.h"
#include "net/http/http_session.h"
#include "net/http/reply_cookie.h"
#include "net/http/reply_file_info.h"
#include "net/http/status_line.h"
#include "net/net_log.h"
#include "net/protocol_props.h"
#include "transfer/download_limit.h"
#include "transfer/file_info.h"
#include "transfer/local_file.h"
#include "transfer/progress_meter.h"
#include "transfer/transfer.h"

namespace tellweir {
namespace {

constexpr std::int32_t kHeaderPiece = 1024;

// The result of a final status other than a body to receive; 2xx ones are not failures.
TransferResult ResultOfStatus(int status, ILog* log) {
    if (status == 401) {
        LogText(log, kLevelError, "401 access denied.");
        return result::kRemoteAccessDenied;
    }
    if (status == 404) {
        LogText(log, kLevelError, "404 not found.");
        return result::kRemoteNotFound;
    }
    LogFormat(log, kLevelError, "Server return error: %d.", status);
    if (status >= 200 && status < 300) return result::kOk;
    if (status >= 400 && status < 500) return result::kHttp4xx;
    if (status >= 500 && status < 600) return result::kHttp5xx;
    return result::kHttpError;
}

// Writes the body after the `offset` bytes the file holds, up to the download size limit.
class CFileBodySink final : public IHttpBodySink {
  public:
    CFileBodySink(CLocalFile& file, std::int64_t offset, const CDownloadLimit& limit)
        : file_(file), size_(offset), limit_(limit) {}
    bool Write(std::string_view bytes) override {
        const std::int64_t size = size_ + static_cast<std::int64_t>(bytes.size());
        tooLarge_ = !limit_.Allows(size);
        if (tooLarge_ || file_.Write(bytes.data(), bytes.size()) != bytes.size()) return false;
        size_ = size;
        return true;
    }
    TransferResult WriteFailure(ILog* log) const override {
        return tooLarge_ ? limit_.Refuse(log) : IHttpBodySink::WriteFailure(log);
    }

  private:
    CLocalFile& file_;
    std::int64_t size_;
    const CDownloadLimit limit_;
    bool tooLarge_ = false;
};

// The URL that Content-Location is resolved against.
std::string ReplyBaseUrl(const CTransfer& transfer) {
    return transfer.ComposedUrl(UrlParts{.path = true, .user = true});
}

// Not the running operation's counter once it has ended: an idle check must not reach it.
class CObserverScope {
  public:
    explicit CObserverScope(CNetSocket& socket) : socket_(socket) {}
    ~CObserverScope() { socket_.SetObserver(nullptr); }

  private:
    CNetSocket& socket_;
};

}  // namespace

TransferResult CHttpSession::ReadReply(CTransfer& transfer, std::string& header, int& status,
                                       ILog* log) {
    LogMessage(log, kLevelStatus, msg::kReceivedReply);
    header.clear();
    for (;;) {
        const TransferResult split = SplitHeaderBlock(received_, header);
        if (split == result::kOk) break;
        if (split != kMoreNeeded) {
            Disconnect();
            LogMessage(log, kLevelError, msg::kProtocolError, "HTTP, reply header too long");
            return split;
        }
        char piece[kHeaderPiece];
        ArmSocket();
        const std::int32_t count = socket_.Receive(piece, kHeaderPiece);
        if (IsAborted()) {
            Disconnect();
            return result::kStopped;
        }
        if (count == 0) {
            Disconnect();
            LogMessage(log, kLevelError, msg::kControlClosed);
            return result::kControlClosed;
        }
        if (count < 0) {
            const TransferResult error = socket_.LastError();
            Disconnect();
            if (error == result::kTimeout)
                LogMessage(log, kLevelError, msg::kTimeoutOn, "HTTP reply read");
            else
                LogMessage(log, kLevelError, msg::kControlClosedCode, error);
            return error;
        }
        received_.append(piece, static_cast<std::size_t>(count));
    }
    LogText(log, kLogLevelReceived, header);
    const std::optional<HttpStatusLine> line = ParseStatusLine(header);
    if (!line) {
        Disconnect();
        return result::kProtocolError;
    }
    CaptureCookie(transfer, transfer.Address().host, header, cookies_, DateTime::Now());
    status = line->code;
    return result::kOk;
}

TransferResult CHttpSession::GetFileInfo(CTransfer& transfer, ILog* log) {
    if (IsAborted()) return result::kStopped;
    const CObserverScope scope(socket_);
    std::string header;
    int status = 0;
    const TransferResult executed =
        ExecuteRequest(transfer, "HEAD", 0, -1, header, status, true, log);
    if (executed != result::kOk) return executed;
    transfer.SetString(prop::kStatusLine, StatusLineProperty(header));
    ReplyLengths lengths;
    // A HEAD reply has no body, so its lengths cannot disagree with one: only the properties
    // matter here.
    (void)ExtractFileInfo(status, transfer, ReplyBaseUrl(transfer), header, DateTime::Now(),
                          lengths);
    if (status == 200) return result::kOk;
    return ResultOfStatus(status, log);
}

TransferResult CHttpSession::ReceiveFile(CTransfer& transfer, CLocalFile& file, std::int64_t offset,
                                         ILog* log, CProgressMeter& meter) {
    if (IsAborted()) return result::kStopped;
    const CObserverScope scope(socket_);
    const bool post = transfer.Has(prop::kBody);
    std::string postData;
    if (post) {
        const Bytes bytes = transfer.GetBytes(prop::kBody);
        postData =
            bytes.empty() ? transfer.String(prop::kBody) : std::string(bytes.begin(), bytes.end());
    }
    std::string header;
    int status = 0;
    const TransferResult executed = ExecuteRequest(transfer, post ? "POST" : "GET", offset, -1,
                                                   header, status, true, log, postData);
    if (executed != result::kOk) return executed;
    return FinishReceive(transfer, file, offset, header, status, log, meter);
}

TransferResult CHttpSession::FinishReceive(CTransfer& transfer, CLocalFile& file,
                                           std::int64_t offset, const std::string& header,
                                           int status, ILog* log, CProgressMeter& meter) {
    const bool chunked =
        EqualsIgnoreAsciiCase(FindFirstHeader(header, header::kTransferEncoding), "chunked");
    transfer.SetString(prop::kStatusLine, StatusLineProperty(header));
    ReplyLengths lengths;
    const TransferResult extracted =
        ExtractFileInfo(status, transfer, ReplyBaseUrl(transfer), header, DateTime::Now(), lengths);
    std::int64_t length = -1;
    if (status == 206) {
        if (chunked || extracted != result::kOk) {
            Disconnect();
            LogMessage(log, kLevelError, msg::kProtocolError,
                       chunked ? "HTTP, chunked in partial content is not supported."
                               : "HTTP, incorrect or unknown byte range.");
            return result::kProtocolError;
        }
        if (lengths.rangeStart != offset) {
            Disconnect();
            LogFormat(log, kLevelError, "Incorrect offset returned: %I64d, expected: %I64d",
                      lengths.rangeStart, offset);
            return result::kWrongOffset;
        }
        length = lengths.contentLength;
    } else if (status == 200) {
        // The server ignored the range: appending its whole body would corrupt the file.
        if (offset != 0) {
            Disconnect();
            LogFormat(log, kLevelError, "Incorrect offset returned: %I64d, expected: %I64d",
                      std::int64_t{0}, offset);
            return result::kWrongOffset;
        }
        if (!chunked) length = lengths.contentLength;
    } else {
        // The error status is the result; draining only decides whether the connection can
        // carry another request.
        (void)DrainBody(header, log);
        if (IsAborted()) return result::kStopped;
        return ResultOfStatus(status, log);
    }
    const CDownloadLimit limit = CDownloadLimit::ForRequest(transfer);
    // A body announced beyond the limit is not even begun.
    if (length != -1 && !limit.Allows(offset + length)) {
        Disconnect();
        return limit.Refuse(log);
    }
    if (lengths.size != -1) meter.SetTotal(lengths.size);
    LogText(log, kLevelStatus, "Downloading HTTP body.");
    CFileBodySink sink(file, offset, limit);
    return ReceiveBody(sink, length, chunked, log, &meter);
}

}  // namespace tellweir
