// CHttpSession's request-and-reply cycle: the request with its POST body, the reply, and the
// redirects within the host that it follows.
#include <fcntl.h>

#include <vector>

#include "base/ascii_text.h"
#include "log/status_message.h"
#include "net/http/header_lookup.h"
#include "net/http/http_request.h"
#include "net/http/http_session.h"
#include "net/http/keep_alive.h"
#include "net/http/reply_url.h"
#include "net/socket/socket_error.h"
#include "store/password_store.h"
#include "transfer/file_info.h"
#include "transfer/local_file.h"
#include "transfer/transfer.h"
#include "url/url_resolve.h"

namespace tellweir {
namespace {

constexpr std::int64_t kMaxPostFile = 2147483647;
constexpr std::size_t kPostPiece = 32768;
constexpr std::int32_t kShownBytes = 200;
constexpr std::int32_t kEarlyReplyWaitMs = 1000;
constexpr TransferResult kPostReadFailed = 112;

TransferResult ResultOfStatusClass(int status) {
    if (status >= 400 && status < 500) return result::kHttp4xx;
    if (status >= 500 && status < 600) return result::kHttp5xx;
    return result::kHttpError;
}

}  // namespace

TransferResult CHttpSession::ExecuteRequest(CTransfer& transfer, std::string_view method,
                                            std::int64_t start, std::int64_t length,
                                            std::string& header, int& status, bool connect,
                                            ILog* log, std::string_view postData) {
    if (IsAborted()) return result::kStopped;
    const std::int64_t end = length == -1 ? -1 : start + length - 1;
    const bool viaProxy = ViaHttpProxy();
    const bool post = method == "POST";
    const bool head = EqualsIgnoreAsciiCase(method, "HEAD");
    bool staleRetried = false;
    // A kept-alive connection that the server or a proxy closed between two requests fails the
    // next one before any reply; a GET or HEAD is then sent once more on a new connection.
    const auto retryOnNewConnection = [&](bool reused, TransferResult failed) {
        if (!connect || !reused || post || staleRetried || IsAborted()) return false;
        if (failed != result::kControlClosed && failed != 10053 && failed != 10054) return false;
        staleRetried = true;
        Disconnect();
        received_.clear();
        return true;
    };
    for (int redirects = 0;;) {
        const bool reused = IsConnected();
        if (connect) {
            const TransferResult connected = Connect(transfer, log);
            if (connected != result::kOk) return connected;
        }
        const TransferResult exchanged =
            SendAndReadReply(transfer, method, viaProxy, start, end, header, status, log, postData);
        if (exchanged != result::kOk) {
            if (retryOnNewConnection(reused, exchanged)) continue;
            return exchanged;
        }
        bool connected = IsConnected();
        const std::string location = FindFirstHeader(header, header::kLocation);
        if (location.empty()) {
            UpdateKeepAlive(header, connected);
            if (!connected) SetConnected(false);
            return result::kOk;
        }
        if (redirects == kMaxRedirects) {
            Disconnect();
            return kTooManyRedirects;
        }
        ++redirects;
        if (!head) {
            const TransferResult drained = DrainBody(header, log);
            if (drained != result::kOk) return drained;
        }
        const TransferResult redirected = ApplyRedirect(transfer, location);
        if (redirected != result::kOk) return redirected;
        connected = IsConnected();
        UpdateKeepAlive(header, connected);
        if (!connected) SetConnected(false);
        if (!IsConnected()) received_.clear();
    }
}

TransferResult CHttpSession::SendAndReadReply(CTransfer& transfer, std::string_view method,
                                              bool viaProxy, std::int64_t start, std::int64_t end,
                                              std::string& header, int& status, ILog* log,
                                              std::string_view postData) {
    ApplyCookies(transfer);
    CUrlAddress address = transfer.Address();
    std::string stored;
    if (passwords_.Get(ComposeUrl(address, "", UrlParts{.user = true}), stored))
        address.password = stored;
    const TransferResult sent =
        method == "POST"
            ? SendPost(transfer, address, viaProxy, postData, log)
            : SendRequest(BuildRequest(transfer, address, method, viaProxy, start, end), log);
    if (sent != result::kOk) return sent;
    return ReadReply(transfer, header, status, log);
}

TransferResult CHttpSession::SendPost(CTransfer& transfer, const CUrlAddress& address,
                                      bool viaProxy, std::string_view postData, ILog* log) {
    const PostBody body = ParsePostData(postData);
    CLocalFile file;
    std::int64_t size = static_cast<std::int64_t>(body.text.size());
    if (body.fromFile) {
        const TransferResult opened = file.Open(body.text, O_RDONLY);
        if (opened != result::kOk) {
            if (log) log->WriteMessage(kLevelError, msg::kCannotOpenFile, body.text);
            return opened;
        }
        size = file.Length();
        if (size > kMaxPostFile) {
            if (log)
                log->WriteFormat(kLevelError, "File too big for POST processing: \"%s\".",
                                 body.text);
            return result::kNotSupported;
        }
    }
    const TransferResult sent =
        SendRequest(BuildRequest(transfer, address, "POST", viaProxy, 0, size), log);
    if (sent != result::kOk) return sent;
    const TransferResult early = PeekEarlyReply(transfer, log);
    if (early != result::kOk) return early;
    if (body.fromFile) return SendPostFile(file, body.text, log);
    if (body.text.empty()) return result::kOk;
    return SendData(body.text.data(), static_cast<std::int32_t>(body.text.size()), log,
                    kShownBytes);
}

// A server may refuse a POST from its head alone; its answer then comes before the body is sent.
TransferResult CHttpSession::PeekEarlyReply(CTransfer& transfer, ILog* log) {
    char peek[16];
    std::int32_t size = sizeof peek;
    const TransferResult waited = socket_.WaitReadable(peek, size, kEarlyReplyWaitMs);
    if (IsAborted()) {
        Disconnect();
        return result::kStopped;
    }
    if (waited == result::kOk && size == 0) return result::kOk;
    if (waited == result::kOk) {
        // Pending bytes may be TLS records without data (session tickets): only a read that
        // does not wait tells whether the server has answered.
        char piece[1024];
        const std::int32_t saved = socket_.Timeout();
        socket_.SetTimeout(0);
        const std::int32_t count = socket_.Receive(piece, sizeof piece);
        socket_.SetTimeout(saved);
        if (count < 0 && socket_.LastError() == sockerr::kWouldBlock) return result::kOk;
        if (count > 0) received_.append(piece, static_cast<std::size_t>(count));
    }
    std::string header;
    int status = 0;
    const TransferResult read = ReadReply(transfer, header, status, log);
    if (read != result::kOk) return read;
    if (status >= 100 && status < 200) return result::kOk;
    return ResultOfStatusClass(status);
}

TransferResult CHttpSession::SendPostFile(CLocalFile& file, const std::string& path, ILog* log) {
    std::vector<char> piece(kPostPiece);
    std::int64_t left = file.Length();
    for (bool first = true; left > 0; first = false) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(kPostPiece)));
        if (file.Read(piece.data(), want) != static_cast<std::int64_t>(want)) {
            if (log)
                log->WriteFormat(kLevelError,
                                 "Failed to read from file during POST processing \"%s\".", path);
            return kPostReadFailed;
        }
        const TransferResult sent =
            SendData(piece.data(), static_cast<std::int32_t>(want), log, first ? kShownBytes : 0);
        if (sent != result::kOk) return sent;
        left -= static_cast<std::int64_t>(want);
    }
    return result::kOk;
}

TransferResult CHttpSession::ApplyRedirect(CTransfer& transfer, std::string_view received) {
    if (IsAborted()) return result::kStopped;
    // Folds and control bytes of the reply must not reach the next request line: escaped.
    const std::string location = EscapeReplyUrl(received);
    // Relative to the resource actually asked for, which an earlier redirect may have moved.
    const std::string base =
        ComposeUrl(transfer.Address(), RequestPath(transfer), UrlParts{.path = true});
    std::string reference(location);
    CUrlAddress parsed;
    std::string parsedPath;
    if (ParseUrl(location, true, parsed, parsedPath))
        reference = ComposeUrl(parsed, parsedPath, UrlParts{.path = true});
    const std::string target = ResolveReference(base, reference);
    if (IsSameSite(base, target) && ParseUrl(target, true, parsed, parsedPath)) {
        if (parsedPath.empty())
            transfer.Remove(prop::kRedirPath);
        else
            transfer.SetString(prop::kRedirPath, parsedPath);
        return result::kOk;
    }
    transfer.SetString(prop::kRedirect, location);
    Disconnect();
    return result::kHttpRedirectOutside;
}

}  // namespace tellweir
