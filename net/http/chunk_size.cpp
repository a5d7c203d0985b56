// Chunk size lines.
#include "net/http/chunk_size.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

std::size_t SkipZeros(std::string_view line, std::size_t pos) {
    while (pos < line.size() && line[pos] == '0')
        ++pos;
    return pos;
}

}  // namespace

bool ReadChunkSize(std::string_view line, std::int32_t& size) {
    if (line.empty()) return false;
    std::size_t pos = SkipZeros(line, 0);
    if (pos < line.size() && (line[pos] == 'x' || line[pos] == 'X')) pos = SkipZeros(line, pos + 1);
    std::int64_t value = 0;
    for (int digit; pos < line.size() && (digit = HexDigitValue(line[pos])) >= 0; ++pos) {
        value = value * 16 + digit;
        if (value > INT32_MAX) return false;
    }
    size = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace tellweir
