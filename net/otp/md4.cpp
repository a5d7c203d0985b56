// MD4: three rounds of sixteen steps over each 64-byte block.
#include "net/otp/md4.h"

#include <bit>

#include "net/otp/digest_padding.h"

namespace tellweir {

namespace {

using State = std::array<std::uint32_t, 4>;

constexpr std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & y) | (~x & z);
}
constexpr std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & y) | (x & z) | (y & z);
}
constexpr std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return x ^ y ^ z;
}

// Word order and shifts of each round; the step's target rotates a, d, c, b.
constexpr std::array<int, 16> kRound2Order = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
constexpr std::array<int, 16> kRound3Order = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
constexpr std::array<int, 4> kRound1Shifts = {3, 7, 11, 19};
constexpr std::array<int, 4> kRound2Shifts = {3, 5, 9, 13};
constexpr std::array<int, 4> kRound3Shifts = {3, 9, 11, 15};

void Compress(State& state, const std::uint8_t* block) {
    std::array<std::uint32_t, 16> x{};
    for (std::size_t i = 0; i < 16; ++i) {
        x[i] = digest_detail::LoadWord(block + 4 * i);
    }
    State v = state;
    // Step i works on v[(4 - i % 4) % 4] with the other three in order after it.
    auto step = [&v](int i, std::uint32_t (*f)(std::uint32_t, std::uint32_t, std::uint32_t),
                     std::uint32_t word, std::uint32_t constant, int shift) {
        const int a = (4 - i % 4) % 4;
        const std::uint32_t b = v[(a + 1) % 4], c = v[(a + 2) % 4], d = v[(a + 3) % 4];
        v[a] = std::rotl(v[a] + f(b, c, d) + word + constant, shift);
    };
    for (int i = 0; i < 16; ++i) {
        step(i, F, x[i], 0, kRound1Shifts[i % 4]);
    }
    for (int i = 0; i < 16; ++i) {
        step(i, G, x[kRound2Order[i]], 0x5A827999, kRound2Shifts[i % 4]);
    }
    for (int i = 0; i < 16; ++i) {
        step(i, H, x[kRound3Order[i]], 0x6ED9EBA1, kRound3Shifts[i % 4]);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        state[i] += v[i];
    }
}

}  // namespace

Md4Digest Md4(std::string_view message) {
    State state = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
    digest_detail::ForEachPaddedBlock(
        message, [&state](const std::uint8_t* block) { Compress(state, block); });
    return digest_detail::StateToDigest(state);
}

}  // namespace tellweir
