// CHttpSession: connecting (directly, through a proxy, with TLS for https), the idle connection
// check, stop and close, sending a request head and data, and the cookies of a request.
#include "net/http/http_session.h"

#include <algorithm>
#include <vector>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "log/error_words.h"
#include "log/status_message.h"
#include "net/cookie/cookie_store.h"
#include "net/http/http_request.h"
#include "net/net_log.h"
#include "net/socket/socket_error.h"
#include "store/password_store.h"
#include "store/setting_ids.h"
#include "transfer/request_props.h"
#include "transfer/transfer.h"

namespace tellweir {
namespace {

constexpr std::int32_t kPeekSize = 255;
constexpr std::int32_t kTrashSize = 10240;

// The text a sent head is announced with: "HTTP" and the method.
std::string RequestLabel(std::string_view head) {
    const std::size_t blank = head.find(' ');
    if (blank == std::string_view::npos || blank == 0) return "HTTP";
    std::string label = "HTTP ";
    label.append(head.substr(0, blank));
    return label;
}

}  // namespace

CHttpSession::CHttpSession(const SessionParams& params, const CPropertySet& settings,
                           CCookieStore& cookies, CPasswordStore& passwords)
    : CTransferSession(params), settings_(settings), cookies_(cookies), passwords_(passwords) {
    socket_.SetStopCheck([this] { return IsAborted(); });
}

CHttpSession::~CHttpSession() = default;

void CHttpSession::Close() {
    Disconnect();
    CTransferSession::Close();
}

void CHttpSession::Interrupt() {
    socket_.Interrupt();
}

void CHttpSession::Disconnect() {
    SetConnected(false);
    socket_.Close();
}

std::int32_t CHttpSession::TimeoutMs() const {
    const std::int64_t seconds = settings_.Int(setting::kConnectionTimeout);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(seconds * 1000, 0, INT32_MAX));
}

void CHttpSession::ArmSocket() {
    socket_.SetObserver(TrafficObserver());
    socket_.SetTimeout(TimeoutMs());
}

bool CHttpSession::ViaHttpProxy() const {
    const std::string& proxy = ProxyUrl();
    return !proxy.empty() && DetectProtocol(proxy, true).id == ProtocolId::Http;
}

TransferResult CHttpSession::Connect(CTransfer& transfer, ILog* log) {
    if (IsAborted()) return result::kStopped;
    if (IdleConnectionUsable(log)) return result::kOk;
    received_.clear();
    ArmSocket();
    const CUrlAddress& address = transfer.Address();
    TransferResult outcome = result::kOk;
    if (!socket_.ConnectVia(address.host, address.port, ProxyUrl(), log)) {
        outcome =
            socket_.LastError() != result::kOk ? socket_.LastError() : result::kRemoteUnavailable;
    } else if (transfer.Protocol() == ProtocolId::Https) {
        TlsOptions tls;
        tls.method = settings_.Int(setting::kSslTlsVersion);
        if (tls.method < 0 || tls.method > 3) tls.method = 1;
        tls.acceptUntrusted = settings_.Int(setting::kAcceptUntrustedCertificates) != 0;
        if (!socket_.StartTls(tls, log)) outcome = socket_.LastError();
    }
    if (outcome == result::kOk && IsAborted()) outcome = result::kStopped;
    socket_.SetObserver(nullptr);
    if (outcome != result::kOk) {
        Disconnect();
        return outcome;
    }
    SetConnected(true);
    return result::kOk;
}

void CHttpSession::CheckAlive() {
    socket_.SetObserver(nullptr);
    IdleConnectionUsable(nullptr);
}

bool CHttpSession::IdleConnectionUsable(ILog* log) {
    if (!IsConnected() || !socket_.IsOpen()) {
        Disconnect();
        return false;
    }
    // Bytes left over from the last reply mean the stream is out of step with the replies.
    if (!received_.empty()) {
        TrashResponse(received_, log);
        return false;
    }
    char peek[kPeekSize];
    std::int32_t size = kPeekSize;
    if (socket_.WaitReadable(peek, size, 0) != result::kOk) {
        Disconnect();
        return false;
    }
    if (size == 0) return true;
    // Whatever a server sends to an idle connection (typically its time-out notice before it
    // closes) means the connection cannot carry another request.
    std::vector<char> trash(kTrashSize);
    const std::int32_t saved = socket_.Timeout();
    socket_.SetTimeout(0);
    const std::int32_t count = socket_.Receive(trash.data(), kTrashSize);
    socket_.SetTimeout(saved);
    // TLS records that carried no data (a session ticket) leave the connection usable.
    if (count < 0 && socket_.LastError() == sockerr::kWouldBlock) return true;
    TrashResponse(std::string_view(trash.data(), count > 0 ? std::size_t(count) : 0), log);
    return false;
}

void CHttpSession::TrashResponse(std::string_view bytes, ILog* log) {
    if (log && !bytes.empty()) {
        log->Write(kLogLevelReceived, bytes);
        log->Write(kLevelError, "Trashed response received.");
    }
    Disconnect();
    received_.clear();
}

TransferResult CHttpSession::SendRequest(std::string_view head, ILog* log) {
    if (log) {
        log->WriteMessage(kLevelStatus, msg::kSendingRequest, RequestLabel(head));
        log->Write(kLogLevelSent, MaskCredentialHeaders(head));
    }
    ArmSocket();
    if (socket_.Send(head.data(), static_cast<std::int32_t>(head.size())) >= 0) return result::kOk;
    const TransferResult error = socket_.LastError();
    Disconnect();
    if (log && error == result::kTimeout)
        log->WriteMessage(kLevelError, msg::kTimeoutOn, "HTTP");
    else if (log)
        log->WriteFormat(kLevelError, "Request failed on sending: connection closed (error: %s).",
                         ErrorNumberText(error));
    return error;
}

TransferResult CHttpSession::SendData(const char* bytes, std::int32_t length, ILog* log,
                                      std::int32_t shown) {
    if (log) {
        log->WriteFormat(kLevelStatus, "Sending data: %d bytes.", length);
        if (shown > 0) {
            std::string view(bytes, static_cast<std::size_t>(std::min(length, shown)));
            std::replace(view.begin(), view.end(), '\0', '?');
            log->Write(kLogLevelSent, view);
        }
    }
    ArmSocket();
    if (socket_.Send(bytes, length) >= 0) return result::kOk;
    const TransferResult error = socket_.LastError();
    Disconnect();
    if (log && error == result::kTimeout)
        log->WriteMessage(kLevelError, msg::kTimeoutOn, "HTTP data send.");
    else if (log)
        log->Write(kLevelError, "Data send failed.");
    return error;
}

void CHttpSession::ApplyCookies(CTransfer& transfer) {
    if (!transfer.TestBit(prop::kFlags, prop::kFlagCookies)) return;
    std::string host = transfer.Address().host;
    if (host.find('.') == std::string::npos) host += ".local";
    const std::string requestPath = RequestPath(transfer);
    const std::string_view path = requestPath.empty() ? std::string_view("/") : requestPath;
    std::string cookie;
    cookies_.GetCookieHeader(host, path, transfer.Protocol() == ProtocolId::Https, cookie);
    transfer.SetString(prop::kCookie, cookie);
}

}  // namespace tellweir
