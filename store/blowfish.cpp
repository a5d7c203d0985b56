// Blowfish key schedule, block operation and little-endian codebook mode.
#include "store/blowfish.h"

#include <utility>

namespace tellweir {

namespace {

std::uint32_t LoadLittleEndian(const std::uint8_t* b) {
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

void StoreLittleEndian(std::uint32_t v, std::uint8_t* b) {
    for (int i = 0; i < 4; ++i) {
        b[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

}  // namespace

CBlowfish::CBlowfish(std::span<const std::uint8_t> key)
    : p_(kBlowfishInitialP), s_(kBlowfishInitialS) {
    if (!key.empty()) {
        std::size_t k = 0;
        for (auto& p : p_) {
            std::uint32_t word = 0;
            for (int i = 0; i < 4; ++i) {
                word = word << 8 | key[k];
                k = (k + 1) % key.size();
            }
            p ^= word;
        }
    }
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < p_.size(); i += 2) {
        Encipher(left, right);
        p_[i] = left;
        p_[i + 1] = right;
    }
    for (auto& box : s_) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            Encipher(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

std::uint32_t CBlowfish::Mix(std::uint32_t x) const {
    return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void CBlowfish::Encipher(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 0; i < kBlowfishRounds; ++i) {
        l ^= p_[i];
        r ^= Mix(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    right = r ^ p_[kBlowfishRounds];
    left = l ^ p_[kBlowfishRounds + 1];
}

void CBlowfish::Decipher(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = kBlowfishRounds + 1; i > 1; --i) {
        l ^= p_[i];
        r ^= Mix(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    right = r ^ p_[1];
    left = l ^ p_[0];
}

void CBlowfish::EncipherLittleEndian(std::span<std::uint8_t> data) const {
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        std::uint32_t left = LoadLittleEndian(&data[i]);
        std::uint32_t right = LoadLittleEndian(&data[i + 4]);
        Encipher(left, right);
        StoreLittleEndian(left, &data[i]);
        StoreLittleEndian(right, &data[i + 4]);
    }
}

void CBlowfish::DecipherLittleEndian(std::span<std::uint8_t> data) const {
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        std::uint32_t left = LoadLittleEndian(&data[i]);
        std::uint32_t right = LoadLittleEndian(&data[i + 4]);
        Decipher(left, right);
        StoreLittleEndian(left, &data[i]);
        StoreLittleEndian(right, &data[i + 4]);
    }
}

}  // namespace tellweir
