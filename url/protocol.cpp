// The protocol table and protocol detection.
#include "url/protocol.h"

#include <array>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

constexpr std::array<ProtocolRow, 11> kRows = {{
    {"unknown://", "UNKNOWN", ProtocolId::Unknown},
    {"http://", "HTTP", ProtocolId::Http},
    {"https://", "HTTPS", ProtocolId::Https},
    {"ftp://", "FTP", ProtocolId::Ftp},
    {"ftps://", "FTPS", ProtocolId::Ftps},
    {"ftps://", "FTPS", ProtocolId::FtpsExplicit},
    {"sftp://", "SFTP", ProtocolId::Sftp},
    {"socks4://", "SOCKS4", ProtocolId::Socks4},
    {"socks5://", "SOCKS5", ProtocolId::Socks5},
    {"mailto:", "SMTP", ProtocolId::Mailto},
    {"javascript:", "JAVASCRIPT", ProtocolId::Javascript},
}};

constexpr std::array<std::int32_t, 11> kDefaultPorts = {-1, 80,   443,  21, 990, 21,
                                                        22, 1080, 1080, 25, 0};

// Lenient guess for a text typed without a scheme: the host is what follows the last '@'
// before the first separator.
ProtocolId GuessProtocol(std::string_view text) {
    std::size_t hostStart = 0;
    for (std::size_t i = 0; i < text.size() && !IsPathSeparator(text[i]); ++i) {
        if (text[i] == '@') hostStart = i + 1;
    }
    const std::string_view host = text.substr(hostStart);
    return StartsWithIgnoreAsciiCase(host, "ftp") ? ProtocolId::Ftp : ProtocolId::Http;
}

}  // namespace

std::span<const ProtocolRow> ProtocolTable() {
    return kRows;
}

bool IsKnownProtocolId(ProtocolId id) {
    const auto index = static_cast<std::int32_t>(id);
    return index >= 0 && index < static_cast<std::int32_t>(kRows.size());
}

std::string_view ProtocolPrefix(ProtocolId id) {
    return IsKnownProtocolId(id) ? kRows[static_cast<std::size_t>(id)].prefix : std::string_view();
}

std::string_view ProtocolName(ProtocolId id) {
    return IsKnownProtocolId(id) ? kRows[static_cast<std::size_t>(id)].name : std::string_view();
}

std::int32_t DefaultPort(ProtocolId id) {
    return IsKnownProtocolId(id) ? kDefaultPorts[static_cast<std::size_t>(id)] : -1;
}

DetectedProtocol DetectProtocol(std::string_view text, bool strict) {
    if (text.empty()) return {};
    for (const ProtocolRow& row : kRows) {
        if (text.starts_with(row.prefix)) return {row.id, row.prefix.size()};
    }
    if (strict) return {ProtocolId::Unknown, 0};
    const std::size_t scheme = text.find("://");
    if (scheme != std::string_view::npos) return {ProtocolId::Unknown, scheme + 3};
    return {GuessProtocol(text), 0};
}

}  // namespace tellweir
