// The fixed protocol table: URL prefixes, protocol names and default ports, and the detection
// of a URL's protocol from its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tellweir {

// The row number of the protocol table. Values are stored in property sets as integers, so
// every lookup accepts any value and treats one outside 0..10 as having no prefix or port.
enum class ProtocolId : std::int32_t {
    Unknown = 0,
    Http = 1,
    Https = 2,
    Ftp = 3,
    Ftps = 4,          // implicit TLS, port 990
    FtpsExplicit = 5,  // same prefix as Ftps, so detection never yields it
    Sftp = 6,
    Socks4 = 7,
    Socks5 = 8,
    Mailto = 9,
    Javascript = 10,
};

struct ProtocolRow {
    std::string_view prefix;  // "http://"
    std::string_view name;    // "HTTP"
    ProtocolId id;
};

// All 11 rows in scan order.
std::span<const ProtocolRow> ProtocolTable();

bool IsKnownProtocolId(ProtocolId id);
// Empty for an id outside the table.
std::string_view ProtocolPrefix(ProtocolId id);
std::string_view ProtocolName(ProtocolId id);
// -1 for Unknown and for an id outside the table.
std::int32_t DefaultPort(ProtocolId id);

struct DetectedProtocol {
    ProtocolId id = ProtocolId::Unknown;
    std::size_t restStart = 0;  // where the text after the scheme begins
};

// Matches the table's prefixes case-sensitively, first row first. Without a match a strict
// detection gives Unknown with the whole text as rest; a lenient one gives Unknown after any
// "://" (an unknown scheme) and otherwise guesses FTP for a host beginning with "ftp", else HTTP,
// with the whole text as rest.
DetectedProtocol DetectProtocol(std::string_view text, bool strict);

}  // namespace tellweir
