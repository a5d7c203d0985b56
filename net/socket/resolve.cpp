// Dotted decimal addresses and the system's name lookup.
#include "net/socket/resolve.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

constexpr Ipv4Address kNoAddress = 0;
constexpr Ipv4Address kBroadcast = 0xFFFFFFFF;

bool IsUsable(Ipv4Address address) {
    return address != kNoAddress && address != kBroadcast;
}

}  // namespace

std::optional<Ipv4Address> ParseDottedAddress(std::string_view text) {
    Ipv4Address address = 0;
    int part = 0;  // index of the part being read
    unsigned value = 0;
    for (char c : text) {
        if (c == '.') {
            address |= value << (8 * (3 - part));
            value = 0;
            if (++part == 4) break;
        } else if (IsAsciiDigit(c)) {
            value = value * 10 + unsigned(c - '0');
            if (value > 255) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (part < 4) address |= value << (8 * (3 - part));
    if (!IsUsable(address)) return std::nullopt;
    return address;
}

std::optional<Ipv4Address> ResolveHost(std::string_view host) {
    if (std::optional<Ipv4Address> dotted = ParseDottedAddress(host)) return dotted;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(std::string(host).c_str(), nullptr, &hints, &found) != 0) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> result;
    if (found != nullptr && found->ai_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        const Ipv4Address address = ntohl(in->sin_addr.s_addr);
        if (IsUsable(address)) result = address;
    }
    ::freeaddrinfo(found);
    return result;
}

std::string FormatAddress(Ipv4Address address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

}  // namespace tellweir
