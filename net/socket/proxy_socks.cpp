// The SOCKS4 and SOCKS5 tunnel handshakes (all integers in network byte order).
#include <cstdint>
#include <string>

#include "net/socket/proxy_exchange.h"
#include "net/socket/proxy_handshake.h"
#include "net/socket/socket_error.h"

namespace tellweir {
namespace {

constexpr char kSocks4Version = 4;
constexpr unsigned char kSocks4Granted = 90;
constexpr char kSocks5Version = 5;
constexpr char kCommandConnect = 1;
constexpr unsigned char kMethodNone = 0;
constexpr unsigned char kMethodPassword = 2;
constexpr char kPasswordVersion = 1;
constexpr unsigned char kAddressIpv4 = 1;
constexpr unsigned char kAddressName = 3;
constexpr unsigned char kAddressIpv6 = 4;
constexpr std::size_t kMaxCredential = 255;

void AppendPort(std::string& out, int port) {
    out += static_cast<char>((port >> 8) & 0xFF);
    out += static_cast<char>(port & 0xFF);
}

void AppendAddress(std::string& out, Ipv4Address address) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((address >> shift) & 0xFF);
}

// Reads a reply of exactly `size` bytes; a proxy that closes early counts as aborted.
TransferResult ReadReply(ProxyExchange& exchange, unsigned char* reply, std::size_t size) {
    TransferResult error = 0;
    const std::int64_t count = exchange.ReadFull(reply, size, error);
    if (count < 0) return exchange.Failed(error);
    if (static_cast<std::size_t>(count) < size) {
        return exchange.Failed(sockerr::kConnectionAborted);
    }
    return 0;
}

TransferResult Authenticate(ProxyExchange& exchange, std::string_view user,
                            std::string_view password) {
    if (user.empty() || password.empty()) return exchange.Refused();
    if (user.size() > kMaxCredential || password.size() > kMaxCredential) {
        return exchange.Refused();
    }
    std::string request(1, kPasswordVersion);
    request += static_cast<char>(user.size());
    request += user;
    request += static_cast<char>(password.size());
    request += password;
    if (const TransferResult error = exchange.Send(request)) return error;
    unsigned char reply[2] = {};
    if (const TransferResult error = ReadReply(exchange, reply, sizeof reply)) return error;
    if (reply[0] != 1 || reply[1] != 0) return exchange.Refused();
    return 0;
}

// Length of the bound address and port that follow the first four bytes of a connect reply.
std::size_t BoundAddressLength(unsigned char type, unsigned char firstByte) {
    switch (type) {
        case kAddressIpv4:
            return 4 + 2;
        case kAddressIpv6:
            return 16 + 2;
        case kAddressName:
            return 1 + std::size_t(firstByte) + 2;
        default:
            return 0;
    }
}

// Reads the connect reply: version, reply code, reserved, address type, bound address, port.
TransferResult ReadConnectReply(ProxyExchange& exchange) {
    unsigned char head[5] = {};
    TransferResult error = 0;
    const std::int64_t count = exchange.ReadFull(head, sizeof head, error);
    if (count < 0) return exchange.Failed(error);
    if (count < 2) return exchange.Refused(sockerr::kConnectionAborted);
    if (head[0] != kSocks5Version) return exchange.Refused();
    if (head[1] != 0) return exchange.Refused(head[1]);
    const std::size_t rest = BoundAddressLength(head[3], head[4]);
    if (count < 5 || rest == 0) return exchange.Refused();
    std::string bound(rest - 1, '\0');  // the fifth byte is read already
    return ReadReply(exchange, reinterpret_cast<unsigned char*>(bound.data()), bound.size());
}

}  // namespace

TransferResult OpenSocks4Tunnel(const HandshakeChannel& channel, Ipv4Address target, int port,
                                std::string_view user, ILog* log) {
    ProxyExchange exchange(channel, log, FormatAddress(target), port);
    std::string request{kSocks4Version, kCommandConnect};
    AppendPort(request, port);
    AppendAddress(request, target);
    request += user.empty() ? std::string_view("noname") : user;
    request += '\0';
    if (const TransferResult error = exchange.Send(request)) return error;
    unsigned char reply[8] = {};
    if (const TransferResult error = ReadReply(exchange, reply, sizeof reply)) return error;
    if (reply[0] != 0 || reply[1] != kSocks4Granted) return exchange.Refused();
    return 0;
}

TransferResult OpenSocks5Tunnel(const HandshakeChannel& channel, Ipv4Address target, int port,
                                std::string_view user, std::string_view password, ILog* log) {
    ProxyExchange exchange(channel, log, FormatAddress(target), port);
    const unsigned char offered = user.empty() ? kMethodNone : kMethodPassword;
    const std::string greeting{kSocks5Version, 1, static_cast<char>(offered)};
    if (const TransferResult error = exchange.Send(greeting)) return error;
    unsigned char choice[2] = {};
    if (const TransferResult error = ReadReply(exchange, choice, sizeof choice)) return error;
    if (choice[0] != kSocks5Version) return exchange.Refused();
    if (choice[1] == kMethodPassword) {
        if (const TransferResult error = Authenticate(exchange, user, password)) return error;
    } else if (choice[1] != kMethodNone) {
        return exchange.Refused();
    }

    std::string request{kSocks5Version, kCommandConnect, 0, static_cast<char>(kAddressIpv4)};
    AppendAddress(request, target);
    AppendPort(request, port);
    if (const TransferResult error = exchange.Send(request)) return error;
    return ReadConnectReply(exchange);
}

}  // namespace tellweir
