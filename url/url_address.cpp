// Parsing a URL text into its address record and path, and composing one back.
#include "url/url_address.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

constexpr std::int32_t kHighestPort = 65534;

// The decimal digits at the start of `text`; none give 0. Fails above kHighestPort without
// reading further, so a long digit string cannot overflow.
bool ReadPort(std::string_view text, std::int32_t& port) {
    port = 0;
    for (char c : text) {
        if (!IsAsciiDigit(c)) break;
        port = port * 10 + (c - '0');
        if (port > kHighestPort) return false;
    }
    return true;
}

std::string CleanHost(std::string_view host) {
    host = TrimAsciiSpace(host);
    while (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    std::string result(host);
    LowerAsciiInPlace(result);
    return result;
}

}  // namespace

bool ParseUrl(std::string_view text, bool strict, CUrlAddress& address, std::string& path) {
    address.Reset();
    path.clear();
    text = TrimLeadingAscii(text, IsAsciiSpace);
    if (text.empty()) return false;

    const DetectedProtocol detected = DetectProtocol(text, strict);
    if (detected.id == ProtocolId::Unknown) return false;
    address.protocol = detected.id;

    std::string_view authority = text.substr(detected.restStart);
    std::size_t stop = 0;
    std::size_t lastAt = std::string_view::npos;
    std::size_t firstColon = std::string_view::npos;
    std::size_t lastColon = std::string_view::npos;
    for (; stop < authority.size() && !IsPathSeparator(authority[stop]); ++stop) {
        if (authority[stop] == '@') lastAt = stop;
        if (authority[stop] == ':') {
            if (firstColon == std::string_view::npos) firstColon = stop;
            lastColon = stop;
        }
    }
    path.assign(authority.substr(stop));
    authority = authority.substr(0, stop);

    std::size_t hostStart = 0;
    if (lastAt != std::string_view::npos) {
        if (firstColon < lastAt) {
            address.user.assign(authority.substr(0, firstColon));
            address.password.assign(authority.substr(firstColon + 1, lastAt - firstColon - 1));
        } else {
            address.user.assign(authority.substr(0, lastAt));
        }
        hostStart = lastAt + 1;
    }
    LowerAsciiInPlace(address.user);

    std::string_view host;
    if (lastColon == std::string_view::npos || lastColon < hostStart) {
        address.port = DefaultPort(address.protocol);
        host = authority.substr(hostStart);
    } else {
        if (!ReadPort(authority.substr(lastColon + 1), address.port)) return false;
        host = authority.substr(hostStart, lastColon - hostStart);
    }
    address.host = CleanHost(host);
    return !address.host.empty();
}

std::string ComposeUrl(ProtocolId protocol, std::string_view host, std::string_view path,
                       std::int32_t port, std::string_view user, std::string_view password) {
    const std::string cleanHost = [&] {
        std::string h(TrimAsciiSpace(host));
        LowerAsciiInPlace(h);
        return h;
    }();
    if (cleanHost.empty() || protocol == ProtocolId::Unknown || !IsKnownProtocolId(protocol)) {
        return {};
    }

    std::string url(ProtocolPrefix(protocol));
    if (!user.empty()) {
        url += user;
        LowerAsciiInPlace(url);
        if (!password.empty()) {
            url += ':';
            url += password;
        }
        url += '@';
    }
    url += cleanHost;
    if (port != DefaultPort(protocol)) {
        url += ':';
        url += std::to_string(port);
    }
    if (!path.empty()) {
        if (path.front() != '/') url += '/';
        url += path;
    }
    return url;
}

std::string ComposeUrl(const CUrlAddress& address, std::string_view path, UrlParts parts) {
    return ComposeUrl(address.protocol, address.host, parts.path ? path : std::string_view(),
                      address.port, parts.user ? std::string_view(address.user) : "",
                      parts.password ? std::string_view(address.password) : "");
}

}  // namespace tellweir
