// The message padding that MD4 and MD5 share: the message, a 0x80 byte, zeros up to 56 bytes into
// a 64-byte block, then the message length in bits as a little-endian 64-bit number.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tellweir::digest_detail {

inline constexpr std::size_t kBlockBytes = 64;

// Calls `compress(const std::uint8_t* block)` for every 64-byte block of the padded message.
template <class Compress>
void ForEachPaddedBlock(std::string_view message, Compress compress) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.data());
    const std::size_t whole = message.size() / kBlockBytes * kBlockBytes;
    for (std::size_t i = 0; i < whole; i += kBlockBytes) {
        compress(bytes + i);
    }

    // The tail takes one block, or two when the length no longer fits behind it.
    std::array<std::uint8_t, 2 * kBlockBytes> tail{};
    const std::size_t rest = message.size() - whole;
    if (rest != 0) std::memcpy(tail.data(), bytes + whole, rest);
    tail[rest] = 0x80;
    const std::size_t tailBytes = rest + 1 + 8 <= kBlockBytes ? kBlockBytes : 2 * kBlockBytes;
    const std::uint64_t bits = static_cast<std::uint64_t>(message.size()) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[tailBytes - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    for (std::size_t i = 0; i < tailBytes; i += kBlockBytes) {
        compress(tail.data() + i);
    }
}

inline std::uint32_t LoadWord(const std::uint8_t* b) {
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

// The four state words as the 16-byte digest, each little-endian.
inline std::array<std::uint8_t, 16> StateToDigest(const std::array<std::uint32_t, 4>& state) {
    std::array<std::uint8_t, 16> digest{};
    for (std::size_t i = 0; i < 16; ++i) {
        digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (i % 4)));
    }
    return digest;
}

}  // namespace tellweir::digest_detail
