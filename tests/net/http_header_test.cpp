// The header side of HTTP replies: splitting the header block off the received bytes, the status
// line, header lookup and the keep-alive rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/http/header_block.h"
#include "net/http/header_lookup.h"
#include "net/http/keep_alive.h"
#include "net/http/status_line.h"

namespace tellweir {
namespace {

TEST(HeaderBlockTest, SplitsAtTheFirstEmptyLine) {
    std::string buffer = "HTTP/1.1 200 OK\r\nA: 1\r\n\r\nbody\r\n\r\nmore";
    std::string header = "old";
    ASSERT_EQ(SplitHeaderBlock(buffer, header), 0);
    EXPECT_EQ(header, "HTTP/1.1 200 OK\r\nA: 1\r\n\r\n");
    EXPECT_EQ(buffer, "body\r\n\r\nmore");

    for (std::string partial : {"", "HTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK\r\n\r"}) {
        EXPECT_EQ(SplitHeaderBlock(partial, header), kMoreNeeded) << partial;
    }
}

// Some servers send the range after the head, behind a second empty line.
TEST(HeaderBlockTest, ContentRangeAfterTheEmptyLineBelongsToTheHeader) {
    const std::string head = "HTTP/1.1 206 Partial\r\nContent-Length: 100\r\n\r\n";
    const std::string range = "content-range: bytes 100-199/1000\r\n\r\n";
    std::string buffer = head + range.substr(0, 20);
    std::string header;
    EXPECT_EQ(SplitHeaderBlock(buffer, header), kMoreNeeded);
    buffer = head + range + "BODY";
    ASSERT_EQ(SplitHeaderBlock(buffer, header), 0);
    EXPECT_EQ(header, head + range);
    EXPECT_EQ(buffer, "BODY");
    EXPECT_EQ(FindFirstHeader(header, "Content-Range:"), "bytes 100-199/1000");
}

TEST(HeaderBlockTest, BlockOverOneMebibyteIsAProtocolError) {
    const std::string head = "HTTP/1.1 200 OK\r\nX: ";
    const std::string end = "\r\n\r\n";
    std::string header;

    std::string fits = head + std::string(kMaxHeaderBlock - head.size() - end.size(), 'a') + end;
    EXPECT_EQ(SplitHeaderBlock(fits, header), 0);
    EXPECT_EQ(header.size(), kMaxHeaderBlock);

    std::string over = head + std::string(kMaxHeaderBlock - head.size(), 'a') + end;
    EXPECT_EQ(SplitHeaderBlock(over, header), result::kProtocolError);

    std::string endless = head + std::string(kMaxHeaderBlock - head.size() - 1, 'a');
    EXPECT_EQ(SplitHeaderBlock(endless, header), kMoreNeeded);
    endless += 'a';
    EXPECT_EQ(SplitHeaderBlock(endless, header), result::kProtocolError);
}

TEST(StatusLineTest, Forms) {
    struct Case {
        const char* block;
        bool valid;
        const char* version;
        const char* text;
        int code;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\n\r\n", true, "1.1", "200 OK", 200},
        {"HTTP/1.0 404 Not Found\r\nA: b\r\n\r\n", true, "1.0", "404 Not Found", 404},
        {"HTTP/1.1 204\r\n\r\n", true, "1.1", "204", 204},
        {"HTTP/1.1 20\r\n\r\n", false, "", "", 0},
        {"HTTP/1.1 2x0 OK\r\n\r\n", false, "", "", 0},
        {" HTTP/1.1 200 OK\r\n\r\n", false, "", "", 0},
        {"ICY 200 OK\r\n\r\n", false, "", "", 0},
        {"HTTP/1.1\r\nX: 200 OK\r\n\r\n", false, "", "", 0},
        {"HTTP/1.1 200 OK", false, "", "", 0},
    };
    for (const Case& c : cases) {
        const auto line = ParseStatusLine(c.block);
        ASSERT_EQ(line.has_value(), c.valid) << c.block;
        if (!line) continue;
        EXPECT_EQ(line->version, c.version);
        EXPECT_EQ(line->text, c.text);
        EXPECT_EQ(line->code, c.code);
    }
    EXPECT_EQ(StatusLineProperty("  HTTP/1.1 200 OK\r\nA: b\r\n\r\n"), "HTTP/1.1 200 OK\r");
}

TEST(HeaderLookupTest, ValuesInOrderFoldedAndOnlyFromTheHeader) {
    const std::string block =
        "HTTP/1.1 200 OK\r\n"
        "set-cookie: a=1\r\n"
        "X-Set-Cookie: no=1\r\n"
        "Folded:  first\r\n"
        "\tsecond  \r\n"
        "Set-Cookie:b=2\r\n"
        "Empty:\r\n"
        "\r\n"
        "Set-Cookie: body=1\r\n";
    EXPECT_EQ(FindHeader(block, "Set-Cookie:"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(FindFirstHeader(block, "SET-COOKIE:"), "a=1");
    EXPECT_EQ(FindFirstHeader(block, "Folded:"), "first\r\n\tsecond");
    EXPECT_EQ(FindFirstHeader(block, "Missing:"), "");
    EXPECT_TRUE(HasHeader(block, "Empty:"));
    EXPECT_FALSE(HasHeader(block, "Missing:"));
}

TEST(KeepAliveTest, WhichRepliesCloseTheConnection) {
    const std::pair<const char*, bool> cases[] = {
        {"", false},
        {"Connection: close\r\n", true},
        {"Connection: Keep-Alive\r\n", false},
        {"Proxy-Connection: CLOSE\r\nConnection: keep-alive\r\n", true},
        {"Proxy-Connection: keep-alive\r\nConnection: close\r\n", false},
        {"Proxy-Connection:\r\nConnection: close\r\n", true},
        {"Keep-Alive: timeout=1, max=5\r\n", false},
        {"Keep-Alive: timeout=1 max=5\r\n", true},
        {"Keep-Alive: timeout=15 max=5\r\n", false},
    };
    for (const auto& [headers, closes] : cases) {
        const std::string block = std::string("HTTP/1.1 200 OK\r\n") + headers + "\r\n";
        bool connected = true;
        UpdateKeepAlive(block, connected);
        EXPECT_EQ(connected, !closes) << headers;
    }
}

}  // namespace
}  // namespace tellweir
