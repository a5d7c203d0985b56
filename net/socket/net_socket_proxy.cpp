// CNetSocket: connecting through a proxy named by a proxy URL.
#include <string>

#include "base/ascii_text.h"
#include "net/net_log.h"
#include "net/socket/net_socket.h"
#include "net/socket/proxy_handshake.h"
#include "url/url_address.h"

namespace tellweir {

bool CNetSocket::ConnectVia(std::string_view host, int port, std::string_view proxy, ILog* log) {
    if (proxy.empty() || EqualsIgnoreAsciiCase(proxy, "no")) return ConnectHost(host, port, log);
    CUrlAddress parsed;
    std::string path;
    if (!ParseUrl(proxy, false, parsed, path)) {
        lastError_ = result::kInvalidParameter;
        LogMessage(log, kLevelError, msg::kIncorrectParameter, "proxy url");
        return false;
    }
    Ipv4Address target = 0;
    switch (parsed.protocol) {
        case ProtocolId::Http:
        case ProtocolId::Ftp:
            // The HTTP and FTP clients speak to such a proxy themselves.
            return ConnectHost(parsed.host, parsed.port, log);
        case ProtocolId::Https:
            break;
        case ProtocolId::Socks4:
        case ProtocolId::Socks5:
            if (ResolveName(host, target, log)) break;
            return false;
        default:
            lastError_ = result::kInvalidParameter;
            LogMessage(log, kLevelError, msg::kIncorrectParameter, "proxy type");
            return false;
    }
    if (!ConnectHost(parsed.host, parsed.port, log)) return false;
    return OpenTunnel(parsed.protocol, host, target, port, parsed.user, parsed.password, log);
}

bool CNetSocket::ConnectViaAddress(Ipv4Address address, int port, std::string_view proxy,
                                   ILog* log) {
    return ConnectVia(FormatAddress(address), port, proxy, log);
}

bool CNetSocket::OpenTunnel(ProtocolId protocol, std::string_view host, Ipv4Address target,
                            int port, std::string_view user, std::string_view password, ILog* log) {
    const HandshakeChannel channel{handle_, timeoutMs_};
    TransferResult error = 0;
    if (protocol == ProtocolId::Https) {
        error = OpenConnectTunnel(channel, host, port, log);
    } else if (protocol == ProtocolId::Socks4) {
        error = OpenSocks4Tunnel(channel, target, port, user, log);
    } else {
        error = OpenSocks5Tunnel(channel, target, port, user, password, log);
    }
    lastError_ = Failure(error);
    if (lastError_ != 0) return false;
    serverName_ = host;
    return true;
}

}  // namespace tellweir
