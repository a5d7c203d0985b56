// Human-readable byte counts as the logs and views show them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tellweir {

// "1 Byte", "%d Bytes" below 999, then "%.2f KB" / "MB" / "GB" / "TB" in units of 1024, each unit
// taking over from 999 of the one below.
std::string FormatShortSize(std::int64_t count);

// "%I64d Bytes" up to 998; above that "<short size> (<count grouped by 3 with ','> Bytes)".
// A negative count gives `negativeText`.
std::string FormatByteCount(std::int64_t count, std::string_view negativeText = {});

// The decimal digits of `value` grouped by three with ",": 1234567 -> "1,234,567".
std::string GroupThousands(std::int64_t value);

}  // namespace tellweir
