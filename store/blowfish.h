// CBlowfish: the Blowfish block cipher (16 rounds, the published pi tables), used to encipher the
// password file. Only the raw block operation and electronic-codebook mode are offered: that is
// all the file format needs.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "store/blowfish_tables.h"

namespace tellweir {

class CBlowfish {
  public:
    // Runs the key schedule. The schedule reads at most the first 72 key bytes and repeats a
    // shorter key; an empty key leaves the initial tables as they are before the mixing.
    explicit CBlowfish(std::span<const std::uint8_t> key);

    // One 64-bit block as its two 32-bit halves, left first.
    void Encipher(std::uint32_t& left, std::uint32_t& right) const;
    void Decipher(std::uint32_t& left, std::uint32_t& right) const;

    // Electronic-codebook mode in place over whole 8-byte blocks, each half read and written in
    // little-endian byte order (the password file's convention; the published test vectors use
    // big-endian halves). Bytes after the last whole block are left untouched.
    void EncipherLittleEndian(std::span<std::uint8_t> data) const;
    void DecipherLittleEndian(std::span<std::uint8_t> data) const;

  private:
    std::uint32_t Mix(std::uint32_t x) const;

    std::array<std::uint32_t, kBlowfishRounds + 2> p_;
    std::array<std::array<std::uint32_t, 256>, 4> s_;
};

}  // namespace tellweir
