// CFtpSession: connecting and reusing the control connection, stopping, and the file
// information of a path (CWD, SIZE, MDTM).
#include "net/ftp/ftp_session.h"

#include <algorithm>

#include "base/date_time.h"
#include "base/text_format.h"
#include "net/ftp/reply_values.h"
#include "net/net_log.h"
#include "net/protocol_props.h"
#include "net/socket/idle_connection.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "transfer/file_info.h"
#include "transfer/progress_meter.h"
#include "transfer/transfer.h"
#include "transfer/transfer_manager.h"
#include "url/file_type.h"

namespace tellweir {
namespace {

constexpr std::int32_t kMinTimeoutMs = 1000;

void SetStatusLine(CTransfer& transfer, std::string_view reply) {
    transfer.SetString(prop::kStatusLine, FtpStatusLineProperty(reply));
}

}  // namespace

void CFtpSession::CTrafficRelay::OnReceived(std::int64_t count) {
    if (ITrafficObserver* observer = session_.TrafficObserver()) observer->OnReceived(count);
}

void CFtpSession::CTrafficRelay::OnSent(std::int64_t count) {
    if (ITrafficObserver* observer = session_.TrafficObserver()) observer->OnSent(count);
}

CFtpSession::CFtpSession(const SessionParams& params, const CPropertySet* settings)
    : CTransferSession(params), settings_(settings) {
    control_.SetObserver(&relay_);
    data_.SetObserver(&relay_);
    control_.SetStopCheck([this] { return IsAborted(); });
}

CFtpSession::~CFtpSession() = default;

const CPropertySet& CFtpSession::Settings() const {
    if (settings_ != nullptr) return *settings_;
    if (const CTransferManager* manager = CTransferManager::Get()) return manager->Settings();
    return AppSettings();
}

std::int32_t CFtpSession::ConnectionTimeoutMs() const {
    const std::int64_t seconds = Settings().Int(setting::kConnectionTimeout);
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(seconds * 1000, kMinTimeoutMs, std::int64_t{3600} * 1000));
}

void CFtpSession::Close() {
    Stop();  // the abort flag and a pending prompt
    Disconnect();
    CTransferSession::Close();
}

void CFtpSession::Interrupt() {
    control_.Interrupt();
    data_.Interrupt();
    listener_.Interrupt();
}

void CFtpSession::Disconnect() {
    SetConnected(false);
    control_.Close();
    data_.Close();
    listener_.Close();
    replies_.Clear();
}

TransferResult CFtpSession::SocketFailure(const CNetSocket& socket) const {
    return IsAborted() ? result::kStopped : socket.LastError();
}

bool CFtpSession::IsIdleConnectionUsable() {
    const bool usable = TestIdleConnection(IsConnected(), control_, &data_);
    if (!usable) Disconnect();
    return usable;
}

void CFtpSession::CheckAlive() {
    IsIdleConnectionUsable();
}

TransferResult CFtpSession::Connect(CTransfer& transfer, ILog* log) {
    if (IsAborted()) return result::kStopped;
    const std::int32_t timeout = ConnectionTimeoutMs();
    control_.SetTimeout(timeout);
    data_.SetTimeout(timeout);
    listener_.SetTimeout(timeout);
    if (IsIdleConnectionUsable()) return result::kOk;

    replies_.Clear();
    typeState_ = -1;
    restartState_ = -1;
    LogMessage(log, kLevelStatus, msg::kConnectingPlain);
    const CUrlAddress& address = transfer.Address();
    if (!control_.ConnectVia(address.host, address.port, ProxyUrl(), log)) {
        const TransferResult error = SocketFailure(control_);
        control_.Close();
        return error;
    }
    if (IsAborted()) {
        Disconnect();
        return result::kStopped;
    }
    const TransferResult logged = LoginWithCredentials(transfer, log);
    if (logged != result::kOk) {
        Disconnect();
        return logged;
    }
    SetConnected(true);
    return result::kOk;
}

TransferResult CFtpSession::GetFileInfo(CTransfer& transfer, ILog* log) {
    if (IsAborted()) return result::kStopped;
    for (PropertyId id :
         {prop::kContentType, prop::kContentLocation, prop::kSize, prop::kTimeModified, prop::kType,
          prop::kSizeKnown, prop::kETag, prop::kContentEncoding, prop::kRedirPath, prop::kRedirect})
        transfer.Remove(id);
    transfer.SetString(prop::kAdded, DateTime::Now().Format(kFileTimeFormat));
    const std::string path = transfer.String(prop::kPath);

    int code = 0;
    std::string reply;
    TransferResult step = Command(Format("CWD %s", path), log, code, reply);
    if (step != result::kOk) {
        SetStatusLine(transfer, reply);
        return step;
    }
    if (code / 100 == 2) {
        transfer.SetInt64(prop::kSize, -1);
        transfer.SetInt(prop::kType, static_cast<std::int32_t>(FileType::FtpList));
        transfer.Remove(prop::kSizeKnown);
        transfer.Remove(prop::kTimeModified);
        return result::kOk;
    }

    // Servers refuse SIZE in ASCII mode, the type a login starts in; in binary mode the size
    // is the byte count a download gives. Once in force, TYPE I is not sent again.
    step = Command("TYPE I", log, code, reply);
    if (step != result::kOk) return step;
    step = Command(Format("SIZE %s", path), log, code, reply);
    if (step != result::kOk) return step;
    if (code / 100 != 2) {
        SetStatusLine(transfer, reply);
        return result::kRemoteNotFound;
    }
    transfer.SetInt64(prop::kSize, ParseFtpSize(reply));
    transfer.SetInt(prop::kType, static_cast<std::int32_t>(ClassifyContent("", path)));
    transfer.SetInt(prop::kSizeKnown, 1);

    step = Command(Format("MDTM %s", path), log, code, reply);
    if (step != result::kOk) return step;
    if (code / 100 == 2) {
        const std::string_view value = FtpReplyValue(reply);
        CivilTime time;
        if (ParseMdtmTime(value, time)) {
            transfer.SetString(prop::kTimeModified, FormatCivilTime(time));
            transfer.SetString(prop::kStatusLine, "");
        } else {
            transfer.Remove(prop::kTimeModified);
            transfer.SetString(prop::kStatusLine, "Cannot parse: " + std::string(value));
        }
    } else {
        transfer.Remove(prop::kTimeModified);
        SetStatusLine(transfer, reply);
    }
    return result::kOk;
}

TransferResult CFtpSession::ReceiveFile(CTransfer& transfer, CLocalFile& file, std::int64_t offset,
                                        ILog* log, CProgressMeter& meter) {
    if (IsAborted()) return result::kStopped;
    if (!HasKnownFileType(transfer)) {
        const TransferResult info = GetFileInfo(transfer, log);
        if (info != result::kOk) return info;
    }
    if (transfer.Int(prop::kType) == static_cast<std::int32_t>(FileType::FtpList))
        return ListToFile(transfer, file, log, &meter);
    if (transfer.Int(prop::kSizeKnown) != 0 && transfer.Int64(prop::kSize) >= 0)
        meter.SetTotal(transfer.Int64(prop::kSize));
    return RetrieveToFile(transfer, file, offset, -1, log, &meter);
}

}  // namespace tellweir
