// Reading the one-time-password challenge (S/Key or OTP) in an FTP server's reply to USER.
#pragma once

#include <string>
#include <string_view>

#include "net/otp/otp.h"

namespace tellweir {

struct OtpChallenge {
    enum class Kind {
        None,        // no challenge: the password itself is sent
        Readable,    // hash, sequence and seed are set
        Unreadable,  // a challenge is named but its numbers cannot be read
    };
    Kind kind = Kind::None;
    OtpHash hash = OtpHash::Md5;
    int sequence = 0;
    std::string seed;  // lower case
};

// The highest sequence number accepted: each step is one hash, and a server must not make the
// client hash for minutes. Real challenges count down from a few hundred or a few thousand.
inline constexpr int kMaxOtpSequence = 9999;

// Looks in the USER reply `text`, case-sensitively, for " otp-md4" (MD4), else " otp-md5" or
// " s/key" (MD5); without any of them there is no challenge. Then, in the text lower-cased with
// a blank put in front, after " otp-md4" or " otp-md5" as found, else after " s/key", reads the
// sequence number as scanf's "%i" (0 octal, 0x hex) and the seed up to the next white space
// ("331 otp-md5 499 ke1234 ext" is sequence 499, seed "ke1234"). Unreadable when either is
// missing or the sequence number is negative or above kMaxOtpSequence.
OtpChallenge ReadOtpChallenge(std::string_view text);

}  // namespace tellweir
