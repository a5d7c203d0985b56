// One-time-password responses (S/Key, RFC 1760, in the form of RFC 2289): what the FTP client
// sends instead of the stored password when the server answers the user name with a challenge.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tellweir {

// The digest a challenge names; the values are the FTP login types that use them.
enum class OtpHash { Md4 = 4, Md5 = 5 };

using OtpKey = std::array<std::uint8_t, 8>;

inline constexpr std::size_t kOtpWordCount = 2048;

// The six-word response for the challenge's sequence number and seed (the caller lower-cases the
// seed) and the user's pass phrase. Nothing for a negative sequence number, which only a
// malformed challenge gives, or when memory runs out. Reentrant: the result is the caller's own.
std::optional<std::string> ComputeOtp(int sequence, std::string_view passPhrase,
                                      std::string_view seed, OtpHash hash);

// The 64-bit key behind the response: the folded hash of seed and pass phrase, hashed and folded
// again `sequence` times. `sequence` must not be negative.
OtpKey ComputeOtpKey(int sequence, std::string_view passPhrase, std::string_view seed,
                     OtpHash hash);

// The key as six dictionary words, with the two-bit checksum, separated by single blanks.
std::string EncodeOtpWords(const OtpKey& key);

// The dictionary word of an 11-bit value; empty beyond the dictionary.
std::string_view OtpWord(std::size_t index);

}  // namespace tellweir
