// One-time-password computation: hash, fold, iterate, encode as six words.
#include "net/otp/otp.h"

#include <new>

#include "net/otp/md4.h"
#include "net/otp/md5.h"

namespace tellweir {

namespace {

constexpr int kWords = 6;
constexpr int kBitsPerWord = 11;

// Hashes `message` and folds the 16-byte digest to 8 bytes: byte i XOR byte i + 8.
OtpKey HashAndFold(std::string_view message, OtpHash hash) {
    const std::array<std::uint8_t, 16> digest = hash == OtpHash::Md4 ? Md4(message) : Md5(message);
    OtpKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<std::uint8_t>(digest[i] ^ digest[i + 8]);
    }
    return key;
}

// Bit `index` of `bytes`, counting from the most significant bit of byte 0.
unsigned BitAt(const std::array<std::uint8_t, 9>& bytes, int index) {
    return (bytes[static_cast<std::size_t>(index / 8)] >> (7 - index % 8)) & 1u;
}

}  // namespace

OtpKey ComputeOtpKey(int sequence, std::string_view passPhrase, std::string_view seed,
                     OtpHash hash) {
    std::string message;
    message.reserve(seed.size() + passPhrase.size());
    message.append(seed).append(passPhrase);
    OtpKey key = HashAndFold(message, hash);
    for (int i = 0; i < sequence; ++i) {
        key = HashAndFold(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()),
                          hash);
    }
    return key;
}

std::string EncodeOtpWords(const OtpKey& key) {
    // The 64 key bits, then the checksum (the sum of their 32 two-bit groups, modulo 4) as the two
    // high bits of a ninth byte: 66 bits, six words of 11.
    std::array<std::uint8_t, 9> bits{};
    unsigned checksum = 0;
    for (std::size_t i = 0; i < key.size(); ++i) {
        bits[i] = key[i];
        for (int shift = 0; shift < 8; shift += 2) {
            checksum += (key[i] >> shift) & 3u;
        }
    }
    bits[8] = static_cast<std::uint8_t>((checksum & 3u) << 6);

    std::string text;
    for (int word = 0; word < kWords; ++word) {
        std::size_t index = 0;
        for (int b = 0; b < kBitsPerWord; ++b) {
            index = index << 1 | BitAt(bits, word * kBitsPerWord + b);
        }
        if (word != 0) text += ' ';
        text += OtpWord(index);
    }
    return text;
}

std::optional<std::string> ComputeOtp(int sequence, std::string_view passPhrase,
                                      std::string_view seed, OtpHash hash) {
    if (sequence < 0) return std::nullopt;
    try {
        return EncodeOtpWords(ComputeOtpKey(sequence, passPhrase, seed, hash));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace tellweir
