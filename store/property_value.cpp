// Conversions and arithmetic of property values.
#include "store/property_value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "base/decimal_text.h"

namespace tellweir {
namespace {

// Truncation toward zero that stays defined for values out of range (saturates; NaN gives 0).
std::int64_t TruncateToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

// The low 32 bits, as a conversion to a 32-bit signed integer keeps them.
std::int32_t Low32(std::int64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

}  // namespace

std::optional<std::int32_t> PropertyValue::ReadInt(bool allowConversion) const {
    if (auto* v = std::get_if<std::int32_t>(&payload_)) return *v;
    if (!allowConversion) return std::nullopt;
    if (auto* v = std::get_if<std::int64_t>(&payload_)) return Low32(*v);
    if (auto* v = std::get_if<double>(&payload_)) return Low32(TruncateToInt64(*v));
    if (auto* v = std::get_if<std::string>(&payload_)) return ReadAtoi32(*v);
    if (auto* v = std::get_if<TimeValue>(&payload_)) return Low32(TruncateToInt64(v->days));
    return std::nullopt;
}

std::optional<std::int64_t> PropertyValue::ReadInt64(bool allowConversion) const {
    if (auto* v = std::get_if<std::int64_t>(&payload_)) return *v;
    if (!allowConversion) return std::nullopt;
    if (auto* v = std::get_if<std::int32_t>(&payload_)) return *v;
    if (auto* v = std::get_if<double>(&payload_)) return TruncateToInt64(*v);
    if (auto* v = std::get_if<std::string>(&payload_)) return std::strtoll(v->c_str(), nullptr, 10);
    if (auto* v = std::get_if<TimeValue>(&payload_)) return TruncateToInt64(v->days);
    return std::nullopt;
}

std::optional<std::string> PropertyValue::ReadString(bool allowConversion) const {
    if (auto* v = std::get_if<std::string>(&payload_)) return *v;
    if (!allowConversion) return std::nullopt;
    if (auto* v = std::get_if<std::int32_t>(&payload_)) return std::to_string(*v);
    if (auto* v = std::get_if<std::int64_t>(&payload_)) return std::to_string(*v);
    if (auto* v = std::get_if<double>(&payload_)) {
        char buf[512];
        std::snprintf(buf, sizeof buf, "%.10f", *v);
        return std::string(buf);
    }
    return std::nullopt;
}

PropertyValue PropertyValue::Plus(std::int64_t addend, bool addendIs64) const {
    if (std::holds_alternative<std::monostate>(payload_))
        return PropertyValue::Int(0).Plus(addend, addendIs64);
    if (auto* v = std::get_if<std::int32_t>(&payload_)) {
        if (addendIs64) return Int64(static_cast<std::int64_t>(*v) + addend);
        // 32-bit sum that wraps like the machine's addition, without signed overflow.
        return Int(Low32(static_cast<std::int64_t>(static_cast<std::uint32_t>(*v)) +
                         static_cast<std::int64_t>(static_cast<std::uint32_t>(addend))));
    }
    if (auto* v = std::get_if<std::int64_t>(&payload_)) {
        return Int64(static_cast<std::int64_t>(static_cast<std::uint64_t>(*v) +
                                               static_cast<std::uint64_t>(addend)));
    }
    if (auto* v = std::get_if<double>(&payload_)) return Double(*v + static_cast<double>(addend));
    if (auto* v = std::get_if<std::string>(&payload_)) return String(*v + std::to_string(addend));
    return Int(0);  // binary and time values do not add up
}

bool PropertyValue::IsSparseZero() const {
    return std::visit(
        [](const auto& v) -> bool {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return true;
            else if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>)
                return v == 0;
            else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, Bytes>)
                return v.empty();
            else
                return false;  // doubles and times are never written through the sparse setters
        },
        payload_);
}

}  // namespace tellweir
