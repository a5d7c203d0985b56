// Protocol table and protocol detection.
#include "url/protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace tellweir {
namespace {

TEST(UrlProtocol, TableRowsAreIndexedByTheirIdWithTheirDefaultPorts) {
    const auto table = ProtocolTable();
    ASSERT_EQ(table.size(), 11u);
    for (std::size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(static_cast<std::size_t>(table[i].id), i);

    struct Case {
        ProtocolId id;
        std::string_view prefix;
        std::string_view name;
        std::int32_t port;
    };
    const Case cases[] = {
        {ProtocolId::Unknown, "unknown://", "UNKNOWN", -1},
        {ProtocolId::Http, "http://", "HTTP", 80},
        {ProtocolId::Https, "https://", "HTTPS", 443},
        {ProtocolId::Ftp, "ftp://", "FTP", 21},
        {ProtocolId::Ftps, "ftps://", "FTPS", 990},
        {ProtocolId::FtpsExplicit, "ftps://", "FTPS", 21},
        {ProtocolId::Sftp, "sftp://", "SFTP", 22},
        {ProtocolId::Socks4, "socks4://", "SOCKS4", 1080},
        {ProtocolId::Socks5, "socks5://", "SOCKS5", 1080},
        {ProtocolId::Mailto, "mailto:", "SMTP", 25},
        {ProtocolId::Javascript, "javascript:", "JAVASCRIPT", 0},
        {static_cast<ProtocolId>(11), "", "", -1},
        {static_cast<ProtocolId>(-1), "", "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.id));
        EXPECT_EQ(ProtocolPrefix(c.id), c.prefix);
        EXPECT_EQ(ProtocolName(c.id), c.name);
        EXPECT_EQ(DefaultPort(c.id), c.port);
    }
}

TEST(UrlProtocol, DetectsPrefixesAndGuessesOnlyWhenLenient) {
    struct Case {
        std::string_view text;
        bool strict;
        ProtocolId id;
        std::size_t restStart;
    };
    const Case cases[] = {
        {"", false, ProtocolId::Unknown, 0},
        {"http://h/x", true, ProtocolId::Http, 7},
        {"https://h", true, ProtocolId::Https, 8},
        {"ftps://h", true, ProtocolId::Ftps, 7},  // the first of the two FTPS rows
        {"mailto:a@b", true, ProtocolId::Mailto, 7},
        {"javascript:void(0)", false, ProtocolId::Javascript, 11},
        {"unknown://h", false, ProtocolId::Unknown, 10},
        // Prefixes are case-sensitive; an unknown scheme is never guessed away.
        {"HTTP://h", true, ProtocolId::Unknown, 0},
        {"HTTP://h", false, ProtocolId::Unknown, 7},
        {"gopher://h/x://y", false, ProtocolId::Unknown, 9},
        {"www.site.test", true, ProtocolId::Unknown, 0},
        // Guesses look at the host after the last '@' before the first separator.
        {"www.site.test/a", false, ProtocolId::Http, 0},
        {"FTP.site.test", false, ProtocolId::Ftp, 0},
        {"user@ftp.site.test/x", false, ProtocolId::Ftp, 0},
        {"a@b@ftp.site.test", false, ProtocolId::Ftp, 0},
        {"ftpuser@www.site.test", false, ProtocolId::Http, 0},
        {"www.site.test\\x@ftp.h", false, ProtocolId::Http, 0},
        {"ft", false, ProtocolId::Http, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.strict ? " strict" : " lenient"));
        const DetectedProtocol detected = DetectProtocol(c.text, c.strict);
        EXPECT_EQ(detected.id, c.id);
        EXPECT_EQ(detected.restStart, c.restStart);
    }
}

}  // namespace
}  // namespace tellweir
