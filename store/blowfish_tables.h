// The published initial state of Blowfish (P-array and S-boxes), which every key schedule starts
// from.
#pragma once

#include <array>
#include <cstdint>

namespace tellweir {

inline constexpr int kBlowfishRounds = 16;

extern const std::array<std::uint32_t, kBlowfishRounds + 2> kBlowfishInitialP;
extern const std::array<std::array<std::uint32_t, 256>, 4> kBlowfishInitialS;

}  // namespace tellweir
