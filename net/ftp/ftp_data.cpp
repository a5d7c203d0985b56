// FTP data connections: opening them passively (PASV, the command sent before or after
// connecting) or actively (PORT and accept), always with the server itself, receiving a file or
// a listing into the local file, and reading the reply that ends the transfer.
#include <algorithm>
#include <chrono>
#include <memory>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "log/item_log.h"
#include "net/ftp/ftp_session.h"
#include "net/ftp/pasv_reply.h"
#include "net/net_log.h"
#include "transfer/file_info.h"
#include "transfer/local_file.h"
#include "transfer/progress_meter.h"
#include "transfer/request_props.h"
#include "transfer/transfer.h"
#include "url/url_address.h"

namespace tellweir {
namespace {

// The most one receive of the data connection asks for; a fast connection fills it.
constexpr std::int64_t kPieceSize = 256 * 1024;

// A proxy that carries the control connection through to the server (CONNECT, SOCKS): the
// connection's peer is then the proxy. HTTP and FTP proxies are spoken to, so they are the
// peer the data connections belong to.
bool IsTunnelProxy(std::string_view proxy) {
    if (proxy.empty() || EqualsIgnoreAsciiCase(proxy, "no")) return false;
    CUrlAddress parsed;
    std::string path;
    if (!ParseUrl(proxy, false, parsed, path)) return false;
    return parsed.protocol == ProtocolId::Https || parsed.protocol == ProtocolId::Socks4 ||
           parsed.protocol == ProtocolId::Socks5;
}

}  // namespace

TransferResult CFtpSession::ServerAddress(const CTransfer& transfer, Ipv4Address& address,
                                          ILog* log) {
    if (IsTunnelProxy(ProxyUrl())) {
        if (control_.ResolveName(transfer.Address().host, address, log)) return result::kOk;
        return SocketFailure(control_);
    }
    int port = 0;
    if (control_.GetPeerAddress(address, port)) return result::kOk;
    const TransferResult error = SocketFailure(control_);
    return error != result::kOk ? error : result::kInvalidHandle;
}

TransferResult CFtpSession::SendRestart(std::int64_t restartOffset, ILog* log) {
    if (restartOffset < 0) return result::kOk;
    int code = 0;
    const TransferResult step = CommandExpect(Format("REST %I64d", restartOffset), log, code, 3);
    // Some servers refuse REST in ASCII mode; a transfer from the start needs no marker, so
    // only a refused resume is a failure.
    if (restartOffset == 0 && step >= result::kFtp4xx && step <= result::kFtpError)
        return result::kOk;
    return step;
}

TransferResult CFtpSession::OpenDataConnection(CTransfer& transfer, std::string_view command,
                                               std::int64_t restartOffset, ILog* log) {
    if (IsAborted()) return result::kStopped;
    const int type = transfer.Int(prop::kFtpDataConnection);
    if (type == kFtpDataActive) return OpenActive(transfer, command, restartOffset, log);
    return OpenPassive(transfer, command, restartOffset, log);
}

TransferResult CFtpSession::OpenPassive(CTransfer& transfer, std::string_view command,
                                        std::int64_t restartOffset, ILog* log) {
    int code = 0;
    std::string reply;
    TransferResult step = Command("PASV", log, code, reply);
    if (step != result::kOk) return step;
    if (code / 100 != 2) return FtpResultForClass(code);
    Ipv4Address named = 0;
    int port = 0;
    if (!ParsePasvReply(reply, named, port)) {
        LogMessage(log, kLevelError, msg::kProtocolError, "unreadable PASV reply");
        return result::kProtocolError;
    }
    // Only the port is taken from the reply: connecting to any host it names would let a
    // server make the client fetch from an internal service and save that as the file.
    Ipv4Address address = 0;
    step = ServerAddress(transfer, address, log);
    if (step != result::kOk) return step;
    if (named != address)
        LogFormat(log, kLevelDetail,
                  "PASV reply names %s, not the server's address %s; connecting to the server.",
                  FormatAddress(named), FormatAddress(address));
    step = SendRestart(restartOffset, log);
    if (step != result::kOk) return step;

    const bool sendFirst = transfer.Int(prop::kFtpDataConnection) == kFtpDataPassive;
    if (sendFirst) {
        step = SendCommand(command, log);
        if (step != result::kOk) return step;
    }
    // The data connection goes straight to the server: a proxy URL would lead to the proxy's
    // own port, where no data is served.
    if (!data_.ConnectViaAddress(address, port, "", log) || IsAborted()) {
        const TransferResult error = SocketFailure(data_);
        data_.Close();
        // The command's reply would still be on its way; the connection cannot be trusted.
        if (sendFirst) Disconnect();
        return error;
    }
    LogText(log, kLevelStatus, "PASV - data connection established.");
    if (!sendFirst) {
        step = SendCommand(command, log);
        if (step != result::kOk) {
            data_.Close();
            return step;
        }
    }
    step = ReadFtpReply(log, reply, code);
    if (step == result::kOk && code / 100 != 1) step = FtpResultForClass(code);
    if (step != result::kOk) data_.Close();
    return step;
}

TransferResult CFtpSession::OpenActive(CTransfer& transfer, std::string_view command,
                                       std::int64_t restartOffset, ILog* log) {
    Ipv4Address local = 0;
    int localPort = 0;
    if (!control_.GetLocalAddress(local, localPort)) {
        const TransferResult error = SocketFailure(control_);
        return error != result::kOk ? error : result::kInvalidHandle;
    }
    Ipv4Address server = 0;
    TransferResult step = ServerAddress(transfer, server, log);
    if (step != result::kOk) return step;
    if (!listener_.BindAndListen(local, 0, 1, log) || IsAborted()) {
        step = SocketFailure(listener_);
    } else {
        Ipv4Address bound = 0;
        int port = 0;
        listener_.GetLocalAddress(bound, port);
        int code = 0;
        step = CommandExpect(
            Format("PORT %d,%d,%d,%d,%d,%d", (local >> 24) & 0xFF, (local >> 16) & 0xFF,
                   (local >> 8) & 0xFF, local & 0xFF, port / 256, port % 256),
            log, code, 2);
        if (step == result::kOk) step = SendRestart(restartOffset, log);
        if (step == result::kOk) step = CommandExpect(command, log, code, 1);
        if (step == result::kOk) {
            step = AcceptFrom(server, log);
            // The server has announced the transfer; its final reply would follow.
            if (step != result::kOk) Disconnect();
        }
    }
    listener_.Close();
    if (step == result::kOk && IsAborted()) step = result::kStopped;
    if (step != result::kOk) data_.Close();
    return step;
}

TransferResult CFtpSession::AcceptFrom(Ipv4Address server, ILog* log) {
    using Clock = std::chrono::steady_clock;
    const std::int32_t limit = listener_.Timeout();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit);
    TransferResult step = result::kOk;
    for (;;) {
        if (!listener_.Accept(data_, log)) {
            step = SocketFailure(listener_);
            break;
        }
        Ipv4Address peer = 0;
        int port = 0;
        if (data_.GetPeerAddress(peer, port) && peer == server) break;
        // Anyone who can reach the listening port could otherwise supply the file.
        data_.Close();
        LogFormat(log, kLevelError,
                  "Data connection from %s:%d closed: not the server's address %s.",
                  FormatAddress(peer), port, FormatAddress(server));
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        // At least a millisecond, as 0 would make the next accept wait for nothing.
        listener_.SetTimeout(static_cast<std::int32_t>(std::max<std::int64_t>(left.count(), 1)));
    }
    listener_.SetTimeout(limit);
    return step;
}

TransferResult CFtpSession::ReceiveData(CLocalFile& file, std::int64_t offset, std::int64_t length,
                                        ILog* log, bool listing, CProgressMeter* meter,
                                        const CDownloadLimit& limit) {
    // The socket's receive buffer is left to the system, which grows it as the data flows.
    const std::int64_t piece = length >= 1 && length < kPieceSize ? length : kPieceSize;
    const std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(piece)]);
    std::int64_t received = 0;
    for (;;) {
        if (IsAborted()) {
            data_.Close();
            return result::kStopped;
        }
        std::int64_t ask = piece;
        if (length >= 0) ask = std::min(ask, length - received);
        const std::int32_t count =
            ask > 0 ? data_.Receive(buffer.get(), static_cast<std::int32_t>(ask)) : 0;
        if (count == 0) break;
        if (count < 0) {
            const TransferResult error = SocketFailure(data_);
            if (error == result::kTimeout) {
                LogMessage(log, kLevelError, msg::kTimeoutOn, "FTP recv body");
            } else {
                LogMessage(log, kLevelError, msg::kDataClosedCode, error);
            }
            data_.Close();
            return error;
        }
        const std::size_t size = static_cast<std::size_t>(count);
        if (!limit.Allows(offset + received + count)) {
            data_.Close();
            return limit.Refuse(log);
        }
        if (file.Write(buffer.get(), size) != size) {
            data_.Close();
            LogText(log, kLevelError, "Transfer aborted: cannot write to file, no disk space.");
            return result::kNoDiskSpace;
        }
        received += count;
        if (meter) meter->Advance(count);
        if (listing) LogText(log, kLevelContinuation, std::string_view(buffer.get(), size));
        if (length >= 0 && received >= length) break;
    }
    data_.Close();
    if (length < 0 || received >= length) {
        if (meter) meter->SetTotal(meter->Position());
        return result::kOk;
    }
    LogFormat(log, kLevelError,
              "Transfer aborted: connection closed by server, bytes expected %I64d, received "
              "%I64d.",
              length, received);
    return result::kDataClosed;
}

TransferResult CFtpSession::ReadTransferEnd(ILog* log, TransferResult received) {
    if (IsAborted()) return result::kStopped;
    if (!control_.IsOpen()) return received;
    std::string reply;
    int code = 0;
    const TransferResult read = ReadFtpReply(log, reply, code);
    if (received != result::kOk) return received;
    if (read != result::kOk) return read;
    // A server that gave up mid-way closes the data connection as at the end and says so only
    // here ("426 Connection closed; transfer aborted"): the data is incomplete.
    if (code / 100 == 4 || code / 100 == 5) {
        LogFormat(log, kLevelError, "Transfer aborted: the server ended the transfer with %d.",
                  code);
        return result::kDataClosed;
    }
    return result::kOk;
}

TransferResult CFtpSession::ListToFile(CTransfer& transfer, CLocalFile& file, ILog* log,
                                       CProgressMeter* meter) {
    const std::string path = transfer.String(prop::kPath);
    int code = 0;
    std::string reply;
    TransferResult step = CommandExpect(Format("CWD %s", path), log, code, 2);
    if (step == result::kOk) step = Command("TYPE A", log, code, reply);
    if (step == result::kOk) step = OpenDataConnection(transfer, "LIST", 0, log);
    if (step != result::kOk) return step;
    LogText(log, kLevelStatus, "Starting read from data socket.");
    const TransferResult received =
        ReceiveData(file, 0, -1, log, true, meter, CDownloadLimit::ForRequest(transfer));
    if (received == result::kOk) LogText(log, kLevelStatus, "Read from data socket finished.");
    return ReadTransferEnd(log, received);
}

TransferResult CFtpSession::RetrieveToFile(CTransfer& transfer, CLocalFile& file,
                                           std::int64_t offset, std::int64_t length, ILog* log,
                                           CProgressMeter* meter) {
    const CDownloadLimit limit = CDownloadLimit::ForRequest(transfer);
    // A file whose size is known to pass the limit is not even asked for.
    if (transfer.Int(prop::kSizeKnown) != 0 && !limit.Allows(transfer.Int64(prop::kSize)))
        return limit.Refuse(log);
    offset = std::max<std::int64_t>(offset, 0);
    int code = 0;
    const bool ascii = transfer.Int(prop::kTransferType) != 0;
    TransferResult step = CommandExpect(ascii ? "TYPE A" : "TYPE I", log, code, 2);
    if (step == result::kOk)
        step = OpenDataConnection(transfer, Format("RETR %s", transfer.String(prop::kPath)), offset,
                                  log);
    if (step != result::kOk) return step;
    const TransferResult received = ReceiveData(file, offset, length, log, false, meter, limit);
    return ReadTransferEnd(log, received);
}

}  // namespace tellweir
