// One-time-password responses: the RFC 2289 vectors, long inputs and the dictionary.
#include "net/otp/otp.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/hex_text.h"

namespace tellweir {
namespace {

using testing::HexText;

struct OtpCase {
    OtpHash hash;
    const char* passPhrase;
    const char* seed;  // already in lower case, as the FTP client passes it
    int sequence;
    const char* key;
    const char* words;
};

// RFC 2289 appendix C; the seed "TeSt" is used as "test".
const OtpCase kRfcVectors[] = {
    {OtpHash::Md4, "This is a test.", "test", 0, "D1854218EBBB0B51",
     "ROME MUG FRED SCAN LIVE LACE"},
    {OtpHash::Md4, "This is a test.", "test", 1, "63473EF01CD0B444", "CARD SAD MINI RYE COL KIN"},
    {OtpHash::Md4, "This is a test.", "test", 99, "C5E612776E6C237A",
     "NOTE OUT IBIS SINK NAVE MODE"},
    {OtpHash::Md4, "AbCdEfGhIjK", "alpha1", 0, "50076F47EB1ADE4E", "AWAY SEN ROOK SALT LICE MAP"},
    {OtpHash::Md4, "AbCdEfGhIjK", "alpha1", 1, "65D20D1949B5F7AB", "CHEW GRIM WU HANG BUCK SAID"},
    {OtpHash::Md4, "AbCdEfGhIjK", "alpha1", 99, "D150C82CCE6F62D1", "ROIL FREE COG HUNK WAIT COCA"},
    {OtpHash::Md4, "OTP's are good", "correct", 0, "849C79D4F6F55388",
     "FOOL STEM DONE TOOL BECK NILE"},
    {OtpHash::Md4, "OTP's are good", "correct", 1, "8C0992FB250847B1",
     "GIST AMOS MOOT AIDS FOOD SEEM"},
    {OtpHash::Md4, "OTP's are good", "correct", 99, "3F3BF4B4145FD74B",
     "TAG SLOW NOV MIN WOOL KENO"},
    {OtpHash::Md5, "This is a test.", "test", 0, "9E876134D90499DD",
     "INCH SEA ANNE LONG AHEM TOUR"},
    {OtpHash::Md5, "This is a test.", "test", 1, "7965E05436F5029F", "EASE OIL FUM CURE AWRY AVIS"},
    {OtpHash::Md5, "This is a test.", "test", 99, "50FE1962C4965880",
     "BAIL TUFT BITS GANG CHEF THY"},
    {OtpHash::Md5, "AbCdEfGhIjK", "alpha1", 0, "87066DD9644BF206", "FULL PEW DOWN ONCE MORT ARC"},
    {OtpHash::Md5, "AbCdEfGhIjK", "alpha1", 1, "7CD34C1040ADD14B", "FACT HOOF AT FIST SITE KENT"},
    {OtpHash::Md5, "AbCdEfGhIjK", "alpha1", 99, "5AA37A81F212146C", "BODE HOP JAKE STOW JUT RAP"},
    {OtpHash::Md5, "OTP's are good", "correct", 0, "F205753943DE4CF9",
     "ULAN NEW ARMY FUSE SUIT EYED"},
    {OtpHash::Md5, "OTP's are good", "correct", 1, "DDCDAC956F234937",
     "SKIM CULT LOB SLAM POE HOWL"},
    {OtpHash::Md5, "OTP's are good", "correct", 99, "B203E28FA525BE47",
     "LONG IVY JULY AJAR BOND LEE"},
    // Seed and pass phrase of 71 bytes together: the first hash spans two blocks.
    {OtpHash::Md4, "A pass phrase long enough that seed and phrase fill one block", "longseed42", 0,
     "E5331072A9C5F659", "SUNG HINT HUM BASK BUCK NOR"},
    {OtpHash::Md4, "A pass phrase long enough that seed and phrase fill one block", "longseed42", 5,
     "7EE3F9ADF47D334D", "FEET JAW CORN TELL ROWE KILL"},
    {OtpHash::Md5, "A pass phrase long enough that seed and phrase fill one block", "longseed42", 0,
     "305F8E8F15BE58CB", "OTT WINO JUKE NEE SURF CHIC"},
    {OtpHash::Md5, "A pass phrase long enough that seed and phrase fill one block", "longseed42", 5,
     "202DCC8DA5C10F1D", "JIG DADE LAY ALTO EGG GOOD"},
};

TEST(OtpTest, KnownResponses) {
    for (const auto& c : kRfcVectors) {
        SCOPED_TRACE(::testing::Message() << (c.hash == OtpHash::Md4 ? "md4 " : "md5 ") << '"'
                                          << c.passPhrase << "\" " << c.seed << ' ' << c.sequence);
        EXPECT_EQ(HexText(ComputeOtpKey(c.sequence, c.passPhrase, c.seed, c.hash), true), c.key);
        EXPECT_EQ(ComputeOtp(c.sequence, c.passPhrase, c.seed, c.hash), c.words);
    }
}

TEST(OtpTest, ChecksumFillsTheLastTwoBits) {
    // All ones: 32 groups of 3 sum to 96, checksum 0, so the last word ends in binary 00.
    OtpKey ones;
    ones.fill(0xFF);
    EXPECT_EQ(EncodeOtpWords(ones), "YOKE YOKE YOKE YOKE YOKE YEAR");  // 2047 x5, 2044
    // The lowest key bit alone: checksum 1; the last word is binary 00000000101.
    EXPECT_EQ(EncodeOtpWords({0, 0, 0, 0, 0, 0, 0, 1}), "A A A A A ADA");
}

TEST(OtpTest, NegativeSequenceGivesNothing) {
    EXPECT_EQ(ComputeOtp(-1, "This is a test.", "test", OtpHash::Md5), std::nullopt);
}

TEST(OtpTest, DictionaryHasItsPublishedForm) {
    EXPECT_EQ(OtpWord(0), "A");
    EXPECT_EQ(OtpWord(570), "YOU");  // the last of the short words
    EXPECT_EQ(OtpWord(571), "ABED");
    EXPECT_EQ(OtpWord(2047), "YOKE");
    EXPECT_EQ(OtpWord(2048), "");
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < kOtpWordCount; ++i) {
        const std::string_view w = OtpWord(i);
        EXPECT_TRUE(w.size() >= 1 && w.size() <= 4) << i;
        EXPECT_EQ(w.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string_view::npos) << i;
        seen.insert(w);
    }
    EXPECT_EQ(seen.size(), kOtpWordCount);
}

}  // namespace
}  // namespace tellweir
