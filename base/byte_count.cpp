// Byte count texts.
#include "base/byte_count.h"

#include <cstdio>

namespace tellweir {

std::string FormatShortSize(std::int64_t count) {
    if (count == 1) return "1 Byte";
    if (count < 999) return std::to_string(count) + " Bytes";
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(count) / 1024.0;
    int unit = 0;
    // A value of 999 or more of one unit is shown in the next one.
    while (unit < 3 && value >= 999.0) {
        value /= 1024.0;
        ++unit;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f %s", value, kUnits[unit]);
    return buf;
}

std::string GroupThousands(std::int64_t value) {
    const bool negative = value < 0;
    // Work on the unsigned magnitude so the lowest value does not overflow.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    const std::size_t first = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    out.append(digits, 0, first);
    for (std::size_t i = first; i < digits.size(); i += 3) {
        out += ',';
        out.append(digits, i, 3);
    }
    return negative ? "-" + out : out;
}

std::string FormatByteCount(std::int64_t count, std::string_view negativeText) {
    if (count < 0) return std::string(negativeText);
    if (count <= 998) return std::to_string(count) + " Bytes";
    return FormatShortSize(count) + " (" + GroupThousands(count) + " Bytes)";
}

}  // namespace tellweir
