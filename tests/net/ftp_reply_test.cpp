// FTP control replies: where a reply ends, its code and warning, several replies in one buffer,
// and the bound on a reply that never ends.
#include "net/ftp/ftp_reply.h"

#include <gtest/gtest.h>

#include <string>

namespace tellweir {
namespace {

TEST(FtpReplyTest, Replies) {
    struct Case {
        const char* buffer;
        FtpReplyState state;
        const char* text;
        int code;
        const char* left;
    };
    const Case cases[] = {
        {"220 ready\r\n", FtpReplyState::Complete, "220 ready\r", 220, ""},
        {"220-Welcome\r\n220-to the server\r\n220 ready\r\n230 next\r\n", FtpReplyState::Complete,
         "220-Welcome\r\n220-to the server\r\n220 ready\r", 220, "230 next\r\n"},
        // Lines inside a reply may carry other codes as long as no blank follows them.
        {"211-Status\r\n 200 ok\r\n211-x\r\n211 end\r\n", FtpReplyState::Complete,
         "211-Status\r\n 200 ok\r\n211-x\r\n211 end\r", 211, ""},
        {"Banner without code\r\n220 ready\r\n", FtpReplyState::CompleteWithWarning,
         "Banner without code\r\n220 ready\r", 220, ""},
        {"220-Welcome\r\n230 ready\r\n", FtpReplyState::CompleteWithWarning,
         "220-Welcome\r\n230 ready\r", 220, ""},
        {"220 ready", FtpReplyState::Incomplete, "", 0, "220 ready"},
        {"220-Welcome\r\n220-more\r\n", FtpReplyState::Incomplete, "", 0,
         "220-Welcome\r\n220-more\r\n"},
        {"220\r\n", FtpReplyState::Incomplete, "", 0, "220\r\n"},
        {"22 ", FtpReplyState::Incomplete, "", 0, "22 "},
    };
    for (const Case& c : cases) {
        std::string buffer = c.buffer;
        std::string text;
        int code = 0;
        EXPECT_EQ(ParseFtpReply(buffer, text, code), c.state) << c.buffer;
        EXPECT_EQ(text, c.text) << c.buffer;
        EXPECT_EQ(code, c.code) << c.buffer;
        EXPECT_EQ(buffer, c.left) << c.buffer;
    }
}

TEST(FtpReplyBufferTest, CollectsPiecesAndBoundsAnEndlessReply) {
    CFtpReplyBuffer replies;
    FtpReply reply;
    EXPECT_EQ(replies.Next(reply), kMoreNeeded);
    replies.Append("331 otp-md5 499 ke1234 ext\r\n2");
    ASSERT_EQ(replies.Next(reply), 0);
    EXPECT_EQ(reply.text, "331 otp-md5 499 ke1234 ext\r");
    EXPECT_EQ(reply.code, 331);
    EXPECT_FALSE(reply.warning);
    EXPECT_EQ(replies.Next(reply), kMoreNeeded);
    replies.Append("30 in\r\n");
    ASSERT_EQ(replies.Next(reply), 0);
    EXPECT_EQ(reply.code, 230);
    EXPECT_TRUE(replies.Empty());

    // A reply whose last line ends within the bound is taken, one byte more is refused.
    const std::string line = "220-" + std::string(1000, 'x') + "\r\n";
    std::string fits;
    while (fits.size() + line.size() + 11 <= CFtpReplyBuffer::kMaxReply)
        fits += line;
    fits += std::string(CFtpReplyBuffer::kMaxReply - fits.size() - 11, 'y') + "\r\n220 end\r\n";
    ASSERT_EQ(fits.size(), CFtpReplyBuffer::kMaxReply);
    replies.Append(fits);
    EXPECT_EQ(replies.Next(reply), 0);
    EXPECT_EQ(reply.code, 220);

    replies.Append("x" + fits);
    EXPECT_EQ(replies.Next(reply), result::kProtocolError);
    EXPECT_TRUE(replies.Empty());

    for (std::size_t sent = 0; sent < CFtpReplyBuffer::kMaxReply - 256; sent += 256) {
        replies.Append(line.substr(0, 256));
        ASSERT_EQ(replies.Next(reply), kMoreNeeded);
    }
    replies.Append(line.substr(0, 256));
    EXPECT_EQ(replies.Next(reply), result::kProtocolError);
}

}  // namespace
}  // namespace tellweir
