// The local-host rule of the proxy choice. A proxy cannot reach this machine's loopback services
// as this machine, so they are local whatever their spelling.
#include "url/local_host.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <string>

#include "base/ascii_text.h"
#include "url/dotted_address.h"

namespace tellweir {
namespace {

bool IsLoopbackIpv6(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.find(':') == std::string_view::npos) return false;
    in6_addr address{};
    if (::inet_pton(AF_INET6, std::string(host).c_str(), &address) != 1) return false;
    return IN6_IS_ADDR_LOOPBACK(&address) ||
           (IN6_IS_ADDR_V4MAPPED(&address) && address.s6_addr[12] == 127);
}

bool IsLocalhostName(std::string_view host) {
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);  // fully qualified form
    return EqualsIgnoreAsciiCase(host, "localhost") || EndsWithIgnoreAsciiCase(host, ".localhost");
}

}  // namespace

bool IsLocalHost(std::string_view host) {
    const std::size_t dot = host.find('.');
    if (dot == std::string_view::npos || dot + 1 == host.size()) return true;
    if (IsLocalhostName(host)) return true;
    if (const std::optional<Ipv4Address> address = ParseDottedAddress(host))
        return (*address >> 24) == 127;
    return IsLoopbackIpv6(host);
}

}  // namespace tellweir
