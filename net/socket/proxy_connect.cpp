// The HTTP CONNECT tunnel through an HTTPS proxy.
#include <string>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "net/net_log.h"
#include "net/socket/proxy_exchange.h"
#include "net/socket/proxy_handshake.h"

namespace tellweir {
namespace {

// True when the first line is "HTTP/<version> 200 ..." with exactly three status digits.
bool IsStatus200(std::string_view reply) {
    if (!reply.starts_with("HTTP/")) return false;
    const std::string_view line = reply.substr(0, reply.find("\r\n"));
    std::size_t at = line.find(' ');
    if (at == std::string_view::npos) return false;
    while (at < line.size() && line[at] == ' ')
        ++at;
    std::size_t end = at;
    while (end < line.size() && IsAsciiDigit(line[end]))
        ++end;
    if (end < line.size() && line[end] != ' ') return false;
    return line.substr(at, end - at) == "200";
}

}  // namespace

TransferResult OpenConnectTunnel(const HandshakeChannel& channel, std::string_view host, int port,
                                 ILog* log) {
    ProxyExchange exchange(channel, log, std::string(host), port);
    const std::string request = Format("CONNECT %s:%d HTTP/1.0\r\n\r\n", host, port);
    LogMessage(log, kLevelStatus, msg::kSendingRequest, "HTTP CONNECT");
    LogText(log, kLogLevelSent, request);
    if (const TransferResult error = exchange.Send(request)) return error;

    std::string reply;
    std::size_t headerEnd = 0;
    if (const TransferResult error = exchange.ReadHeaderBlock(reply, headerEnd)) return error;
    LogText(log, kLogLevelReceived, std::string_view(reply).substr(0, headerEnd));
    // Bytes after the header would belong to the tunnel before it was asked for.
    if (!IsStatus200(reply) || reply.size() != headerEnd) return exchange.Refused();
    return 0;
}

}  // namespace tellweir
