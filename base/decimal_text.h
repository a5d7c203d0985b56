// Reading decimal numbers: those that servers send (lengths, sizes, byte positions), with
// overflow refused rather than wrapped, and the integers of stored texts as atoi reads them.
#pragma once

#include <cstdint>
#include <string_view>

namespace tellweir {

// Reads a signed decimal at the start of `text` after white space, as atoll does (characters
// after the digits are ignored). False when no digit comes or the value does not fit 64 bits.
bool ReadDecimal64(std::string_view text, std::int64_t& value);

// A byte count as ReadDecimal64 reads it; -1 (unknown) when it cannot be read or is negative.
std::int64_t ParseByteCount(std::string_view text);

// An integer as atoi reads it on this platform: white space, a sign, decimal digits (0 when none
// come), the value saturated to 64 bits as strtol does, then its low 32 bits.
std::int32_t ReadAtoi32(std::string_view text);

}  // namespace tellweir
