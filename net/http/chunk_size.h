// The size line that starts every chunk of a chunked HTTP body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tellweir {

// A size line longer than this (without its "\r\n") is refused: real ones are a few characters
// plus an optional extension, and the client must not hold an endless line.
inline constexpr std::size_t kMaxChunkSizeLine = 1024;

// Reads the size of a chunk from its size line (without the "\r\n"): leading '0' characters are
// skipped, then an 'x' or 'X' if one follows, then '0' characters again ("0x5" is 5); then
// hexadecimal digits of either case are read up to the first other character, so a chunk
// extension after ';' is ignored. False for an empty line and for a size that does not fit
// 31 bits.
bool ReadChunkSize(std::string_view line, std::int32_t& size);

}  // namespace tellweir
