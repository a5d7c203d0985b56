// Bytes as hexadecimal text and back, for checking digests, keys and cipher blocks against
// published vectors.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii_text.h"

namespace tellweir::testing {

// Two digits a byte, lower case unless `upper`.
inline std::string HexText(std::span<const std::uint8_t> bytes, bool upper = false) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        for (const char digit : {UpperHexDigit(b >> 4u), UpperHexDigit(b)})
            text += upper ? digit : ToLowerAscii(digit);
    }
    return text;
}

// The bytes of a text of digit pairs (either case); a pair that is not hexadecimal reads as 0,
// an odd last digit is ignored.
inline std::vector<std::uint8_t> BytesFromHex(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = HexDigitValue(hex[i]);
        const int low = HexDigitValue(hex[i + 1]);
        bytes.push_back(high < 0 || low < 0 ? 0 : static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

}  // namespace tellweir::testing
