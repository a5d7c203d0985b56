// The bounded sends and reads of a proxy handshake.
#include "net/socket/proxy_exchange.h"

#include <utility>

#include "net/net_log.h"
#include "net/socket/socket_error.h"
#include "net/socket/socket_io.h"
#include "net/socket/socket_watchdog.h"

namespace tellweir {
namespace {

constexpr std::size_t kHeaderPiece = 256;
// A reply header that grows beyond this without ending is not a proxy speaking HTTP.
constexpr std::size_t kMaxHeaderBlock = 64 * 1024;
constexpr std::string_view kHeaderEnd = "\r\n\r\n";

}  // namespace

ProxyExchange::ProxyExchange(const HandshakeChannel& channel, ILog* log, std::string target,
                             int port)
    : channel_(channel), log_(log), target_(std::move(target)), port_(port) {}

std::int64_t ProxyExchange::Deadline() const {
    return MonotonicMs() + channel_.timeoutMs;
}

TransferResult ProxyExchange::Send(std::string_view bytes) {
    TransferResult error = 0;
    if (SendAll(channel_.handle, bytes.data(), bytes.size(), Deadline(), error) < 0) {
        return Failed(error);
    }
    return 0;
}

std::int64_t ProxyExchange::ReadFull(void* buffer, std::size_t size, TransferResult& error) {
    return ReceiveFull(channel_.handle, buffer, size, Deadline(), error);
}

TransferResult ProxyExchange::ReadHeaderBlock(std::string& reply, std::size_t& headerEnd) {
    const std::int64_t deadline = Deadline();
    for (;;) {
        char piece[kHeaderPiece];
        TransferResult error = 0;
        const std::int64_t count =
            ReceiveSome(channel_.handle, piece, sizeof piece, deadline, error);
        if (count < 0) return Failed(error);
        if (count == 0) return Failed(sockerr::kConnectionAborted);
        const std::size_t searchFrom = reply.size() < 3 ? 0 : reply.size() - 3;
        reply.append(piece, static_cast<std::size_t>(count));
        const std::size_t end = reply.find(kHeaderEnd, searchFrom);
        if (end != std::string::npos) {
            headerEnd = end + kHeaderEnd.size();
            return 0;
        }
        if (reply.size() > kMaxHeaderBlock) return Refused();
    }
}

TransferResult ProxyExchange::Refused(TransferResult code) {
    LogMessage(log_, kLevelError, msg::kProxyRefused, target_, port_);
    return code;
}

TransferResult ProxyExchange::Failed(TransferResult code) {
    LogMessage(log_, kLevelError, msg::kProxyFailed, target_, port_, code);
    return code;
}

}  // namespace tellweir
