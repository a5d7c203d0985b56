// scanf's "%i" for reply texts.
#include "net/ftp/scan_integer.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

// The value of a digit in `base` (8, 10 or 16), or -1.
int DigitValue(char c, int base) {
    const int value = HexDigitValue(c);
    return value < base ? value : -1;
}

}  // namespace

bool ScanInteger(std::string_view text, std::size_t& pos, std::int64_t& value) {
    std::size_t p = pos;
    while (p < text.size() && IsAsciiSpace(text[p]))
        ++p;
    const bool negative = p < text.size() && text[p] == '-';
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) ++p;
    int base = 10;
    if (p < text.size() && text[p] == '0') {
        base = 8;
        if (p + 2 < text.size() && (text[p + 1] == 'x' || text[p + 1] == 'X') &&
            DigitValue(text[p + 2], 16) >= 0) {
            base = 16;
            p += 2;
        }
    }
    if (p >= text.size() || DigitValue(text[p], base) < 0) return false;
    std::int64_t magnitude = 0;
    for (int digit; p < text.size() && (digit = DigitValue(text[p], base)) >= 0; ++p)
        magnitude = magnitude >= kScanCeiling / base ? kScanCeiling : magnitude * base + digit;
    value = negative ? -magnitude : magnitude;
    pos = p;
    return true;
}

}  // namespace tellweir
