// MD5: four rounds of sixteen steps over each 64-byte block.
#include "net/otp/md5.h"

#include <bit>

#include "net/otp/digest_padding.h"

namespace tellweir {

namespace {

using State = std::array<std::uint32_t, 4>;

// floor(abs(sin(i + 1)) * 2^32), as published.
constexpr std::array<std::uint32_t, 64> kSines = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};

// The shifts of the four steps of each round.
constexpr std::array<std::array<int, 4>, 4> kShifts = {{
    {7, 12, 17, 22},
    {5, 9, 14, 20},
    {4, 11, 16, 23},
    {6, 10, 15, 21},
}};

void Compress(State& state, const std::uint8_t* block) {
    std::array<std::uint32_t, 16> x{};
    for (std::size_t i = 0; i < 16; ++i) {
        x[i] = digest_detail::LoadWord(block + 4 * i);
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (std::size_t i = 0; i < 64; ++i) {
        const std::size_t round = i / 16;
        std::uint32_t f = 0;
        std::size_t word = 0;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                word = i;
                break;
            case 1:
                f = (d & b) | (~d & c);
                word = (5 * i + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                word = (3 * i + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                word = (7 * i) % 16;
                break;
        }
        const std::uint32_t rotated = std::rotl(a + f + kSines[i] + x[word], kShifts[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

Md5Digest Md5(std::string_view message) {
    State state = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
    digest_detail::ForEachPaddedBlock(
        message, [&state](const std::uint8_t* block) { Compress(state, block); });
    return digest_detail::StateToDigest(state);
}

}  // namespace tellweir
