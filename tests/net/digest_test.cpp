// MD4 and MD5 against the published test messages and at the lengths where the padding changes.
#include <gtest/gtest.h>

#include <string>

#include "net/otp/md4.h"
#include "net/otp/md5.h"
#include "tests/support/hex_text.h"

namespace tellweir {
namespace {

using testing::HexText;

struct DigestCase {
    std::string message;
    const char* md4;
    const char* md5;
};

// RFC 1320 and RFC 1321, appendix A.5.
const DigestCase kPublished[] = {
    {"", "31d6cfe0d16ae931b73c59d7e0c089c0", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "bde52cb31de33e46245e05fbdbd6fb24", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "a448017aaf21d8525fc10ae87aa6729d", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "d9130a8164549fe818874806e1c7014b", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9",
     "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "043f8582f241db351ce627e153e7f0e4", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "e33b4ddc9c38f2199c3e7b164fcc0536", "57edf4a22be3c955ac49da2e2107b67a"},
};

// Runs of "a" around the block edges: 55 bytes is the longest message whose length still fits in
// its own block, 56 needs a second one, 64 is exactly one block.
const DigestCase kBlockEdges[] = {
    {std::string(55, 'a'), "c889c81dd86c4d2e025778944ea02881", "ef1772b6dff9a122358552954ad0df65"},
    {std::string(56, 'a'), "d5f9a9e9257077a5f08b0b92f348b0ad", "3b0c8ac703f828b04c6c197006d17218"},
    {std::string(63, 'a'), "7ea3da77432d44c323671097d1348fc8", "b06521f39153d618550606be297466d5"},
    {std::string(64, 'a'), "52f5076fabd22680234a3fa9f9dc5732", "014842d480b571495a4a0363793f7367"},
    {std::string(65, 'a'), "330e377bf231f3cacfecc2c182fe7e5b", "c743a45e0d2e6a95cb859adae0248435"},
    {std::string(1000, 'a'), "5f1bf26a8067c9159b91f1440f7c9e8a",
     "cabe45dcc9ae5b66ba86600cca6b8ba8"},
};

TEST(DigestTest, PublishedVectors) {
    for (const auto& c : kPublished) {
        EXPECT_EQ(HexText(Md4(c.message)), c.md4) << '"' << c.message << '"';
        EXPECT_EQ(HexText(Md5(c.message)), c.md5) << '"' << c.message << '"';
    }
}

TEST(DigestTest, PaddingAtBlockEdges) {
    for (const auto& c : kBlockEdges) {
        EXPECT_EQ(HexText(Md4(c.message)), c.md4) << c.message.size() << " bytes";
        EXPECT_EQ(HexText(Md5(c.message)), c.md5) << c.message.size() << " bytes";
    }
}

TEST(DigestTest, HashesBytesNotText) {
    // Zero and high bytes are message bytes like any other.
    const std::string bytes("\x00\xff\x80", 3);
    EXPECT_NE(Md5(bytes), Md5(std::string("\x00\xff", 2)));
    EXPECT_NE(Md4(bytes), Md4(std::string("\x00\xff", 2)));
}

}  // namespace
}  // namespace tellweir
