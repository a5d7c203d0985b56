// Reading numbers out of FTP reply texts as scanf's "%i" does, without the C library's locale and
// with overflow kept defined.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tellweir {

// Larger magnitudes are read as this value; no field of a reply is meant to come near it.
inline constexpr std::int64_t kScanCeiling = 1'000'000'000'000;

// Reads an integer at `pos` after white space: an optional sign, then "0x" or "0X" and hex
// digits, a leading '0' and octal digits, or decimal digits. Moves `pos` after it. False, with
// `pos` unchanged, when no digit follows.
bool ScanInteger(std::string_view text, std::size_t& pos, std::int64_t& value);

}  // namespace tellweir
