// Values the FTP client reads from single replies: PASV addresses, SIZE, MDTM times, the status
// line, and one-time-password challenges.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "net/ftp/otp_challenge.h"
#include "net/ftp/pasv_reply.h"
#include "net/ftp/reply_values.h"

namespace tellweir {
namespace {

TEST(PasvReplyTest, BothFormsAndTheirLimits) {
    struct Case {
        const char* text;
        bool read;
        Ipv4Address address;
        int port;
    };
    const Case cases[] = {
        {"227 Entering Passive Mode (10,0,0,1,4,1)\r", true, 0x0A000001, 1025},
        {"227 Entering Passive Mode (10, 0, 0, 1, 4, 1).", true, 0x0A000001, 1025},
        {"227 Entering Passive Mode =10,0,0,1,4,1\r", true, 0x0A000001, 1025},
        {"227 10,0,0,1,4,1", true, 0x0A000001, 1025},
        {"227 ok [192,168,0,0x10,0x10,010]).\r\n", true, 0xC0A80010, 4104},
        {"227 Passive (255,255,255,255,255,255)", true, 0xFFFFFFFF, 65535},
        {"227 Passive (10,0,0,1,4)", false, 0, 0},
        {"227 Passive (10,0,0,256,4,1)", false, 0, 0},
        {"227 Passive (10,0,0,-1,4,1)", false, 0, 0},
        {"227 Passive (10,0,0,99999999999999999999,4,1)", false, 0, 0},
        {"227 Passive mode", false, 0, 0},
        {"(10,0,0,1,4,1)", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        Ipv4Address address = 0;
        int port = 0;
        ASSERT_EQ(ParsePasvReply(c.text, address, port), c.read) << c.text;
        if (!c.read) continue;
        EXPECT_EQ(address, c.address) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
}

TEST(FtpReplyValuesTest, SizeAndStatusLine) {
    EXPECT_EQ(ParseFtpSize("213 1234\r"), 1234);
    EXPECT_EQ(ParseFtpSize("213 \r"), -1);
    EXPECT_EQ(ParseFtpSize("213 big"), -1);
    EXPECT_EQ(ParseFtpSize("213 99999999999999999999"), -1);
    EXPECT_EQ(FtpStatusLineProperty("550 No such file.\r"), "550 No such file.");
    EXPECT_EQ(FtpStatusLineProperty("550-Denied\r\n 550 really\r\n550 end\r"),
              "550 really\r\n550 end");
}

TEST(FtpReplyValuesTest, MdtmTimes) {
    const std::pair<const char*, std::optional<CivilTime>> cases[] = {
        {"213 20040305120000.123\r", CivilTime{2004, 3, 5, 12, 0, 0}},
        {"213 20040305120000", CivilTime{2004, 3, 5, 12, 0, 0}},
        {"213 file.txt 20040305120000", CivilTime{2004, 3, 5, 12, 0, 0}},
        {"213 2004030512", std::nullopt},
        {"213 2004030512000x", std::nullopt},
        {"213 20041305120000", std::nullopt},
        {"213 20040230120000", std::nullopt},
        {"213 ", std::nullopt},
    };
    for (const auto& [reply, expected] : cases) {
        CivilTime time;
        const bool read = ParseMdtmTime(FtpReplyValue(reply), time);
        ASSERT_EQ(read, expected.has_value()) << reply;
        if (!read) continue;
        EXPECT_EQ(time, *expected) << reply;
    }
    EXPECT_EQ(FormatCivilTime({2004, 3, 5, 12, 0, 0}), "03/05/2004 12:00:00");
}

TEST(OtpChallengeTest, Challenges) {
    using Kind = OtpChallenge::Kind;
    struct Case {
        const char* reply;
        Kind kind;
        OtpHash hash;
        int sequence;
        const char* seed;
    };
    const Case cases[] = {
        {"331 otp-md5 499 ke1234 ext\r", Kind::Readable, OtpHash::Md5, 499, "ke1234"},
        {"331 Response to otp-md4 99 SeEd required\r", Kind::Readable, OtpHash::Md4, 99, "seed"},
        {"331 s/key 99 ab12\r", Kind::Readable, OtpHash::Md5, 99, "ab12"},
        {"331 S/Key otp-md5 0x10 seed", Kind::Readable, OtpHash::Md5, 16, "seed"},
        {"331 Password required for joe.\r", Kind::None, OtpHash::Md5, 0, ""},
        {"331 OTP-MD5 499 seed", Kind::None, OtpHash::Md5, 0, ""},
        {"331 otp-md5 seed 499", Kind::Unreadable, OtpHash::Md5, 0, ""},
        {"331 otp-md5 499", Kind::Unreadable, OtpHash::Md5, 0, ""},
        {"331 otp-md5 -1 seed", Kind::Unreadable, OtpHash::Md5, 0, ""},
        {"331 otp-md5 10000 seed", Kind::Unreadable, OtpHash::Md5, 0, ""},
    };
    for (const Case& c : cases) {
        const OtpChallenge challenge = ReadOtpChallenge(c.reply);
        EXPECT_EQ(challenge.kind, c.kind) << c.reply;
        if (challenge.kind != Kind::Readable) continue;
        EXPECT_EQ(challenge.hash, c.hash) << c.reply;
        EXPECT_EQ(challenge.sequence, c.sequence) << c.reply;
        EXPECT_EQ(challenge.seed, c.seed) << c.reply;
    }
}

}  // namespace
}  // namespace tellweir
