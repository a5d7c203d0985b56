// Decimal numbers from servers.
#include "net/decimal_text.h"

#include <limits>

#include "base/ascii_text.h"

namespace tellweir {

bool ReadDecimal64(std::string_view text, std::int64_t& value) {
    std::size_t pos = 0;
    while (pos < text.size() && IsAsciiSpace(text[pos]))
        ++pos;
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    if (pos >= text.size() || !IsAsciiDigit(text[pos])) return false;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t magnitude = 0;
    for (; pos < text.size() && IsAsciiDigit(text[pos]); ++pos) {
        const int digit = text[pos] - '0';
        if (magnitude > (kMax - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

std::int64_t ParseByteCount(std::string_view text) {
    std::int64_t count = -1;
    if (!ReadDecimal64(text, count) || count < 0) return -1;
    return count;
}

}  // namespace tellweir
