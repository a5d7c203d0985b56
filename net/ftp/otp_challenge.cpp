// One-time-password challenges in USER replies.
#include "net/ftp/otp_challenge.h"

#include "base/ascii_text.h"
#include "net/ftp/scan_integer.h"

namespace tellweir {
namespace {

constexpr std::string_view kMd4 = " otp-md4";
constexpr std::string_view kMd5 = " otp-md5";
constexpr std::string_view kSkey = " s/key";

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// "%i %s" after the marker; false unless both fields are read.
bool ReadSequenceAndSeed(std::string_view text, OtpChallenge& challenge) {
    std::size_t pos = 0;
    std::int64_t sequence = 0;
    if (!ScanInteger(text, pos, sequence)) return false;
    while (pos < text.size() && IsAsciiSpace(text[pos]))
        ++pos;
    const std::size_t seedStart = pos;
    while (pos < text.size() && !IsAsciiSpace(text[pos]))
        ++pos;
    if (pos == seedStart || sequence < 0 || sequence > kMaxOtpSequence) return false;
    challenge.sequence = static_cast<int>(sequence);
    challenge.seed.assign(text.substr(seedStart, pos - seedStart));
    return true;
}

}  // namespace

OtpChallenge ReadOtpChallenge(std::string_view text) {
    OtpChallenge challenge;
    if (Contains(text, kMd4)) {
        challenge.hash = OtpHash::Md4;
    } else if (!Contains(text, kMd5) && !Contains(text, kSkey)) {
        return challenge;
    }
    std::string lowered = " ";
    lowered.append(text);
    LowerAsciiInPlace(lowered);
    const std::string_view marker = challenge.hash == OtpHash::Md4 ? kMd4 : kMd5;
    std::size_t at = lowered.find(marker);
    std::size_t markerSize = marker.size();
    if (at == std::string::npos) {
        at = lowered.find(kSkey);
        markerSize = kSkey.size();
    }
    if (at == std::string::npos ||
        !ReadSequenceAndSeed(std::string_view(lowered).substr(at + markerSize), challenge)) {
        challenge.kind = OtpChallenge::Kind::Unreadable;
        return challenge;
    }
    challenge.kind = OtpChallenge::Kind::Readable;
    return challenge;
}

}  // namespace tellweir
