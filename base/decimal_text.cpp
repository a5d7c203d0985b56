// Decimal numbers from servers and stored texts.
#include "base/decimal_text.h"

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

std::int32_t ReadAtoi32(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsAsciiSpace(text[pos]))
        ++pos;
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    // The magnitude saturates one past the largest positive value, so that the most negative
    // value reads exactly.
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    for (; pos < text.size() && IsAsciiDigit(text[pos]); ++pos) {
        const auto digit = static_cast<std::uint64_t>(text[pos] - '0');
        magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
    }
    if (!negative && magnitude == kLimit) --magnitude;  // strtol's LONG_MAX
    const std::uint64_t value = negative ? ~magnitude + 1 : magnitude;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

}  // namespace tellweir
