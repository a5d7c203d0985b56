// Chunk size lines.
#include "net/http/chunk_size.h"

namespace tellweir {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

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
    for (; pos < line.size() && HexValue(line[pos]) >= 0; ++pos) {
        value = value * 16 + HexValue(line[pos]);
        if (value > INT32_MAX) return false;
    }
    size = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace tellweir
