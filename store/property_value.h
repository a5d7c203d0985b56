// PropertyValue: one typed value of a property set (empty, int, int64, double, text, bytes or
// date-time) with the conversions between kinds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tellweir {

enum class PropertyKind : int {
    Empty = 0,
    Int = 1,
    Int64 = 2,
    Double = 3,
    String = 4,
    Binary = 5,
    Time = 6
};

// A date-time payload: days since 30 December 1899 (kept apart from plain doubles by its kind).
struct TimeValue {
    double days = 0.0;
    friend bool operator==(const TimeValue&, const TimeValue&) = default;
};

using Bytes = std::vector<std::uint8_t>;

class PropertyValue {
  public:
    PropertyValue() = default;
    static PropertyValue Int(std::int32_t v) { return PropertyValue(v); }
    static PropertyValue Int64(std::int64_t v) { return PropertyValue(v); }
    static PropertyValue Double(double v) { return PropertyValue(v); }
    static PropertyValue String(std::string v) { return PropertyValue(std::move(v)); }
    static PropertyValue Binary(Bytes v) { return PropertyValue(std::move(v)); }
    static PropertyValue Time(double days) { return PropertyValue(TimeValue{days}); }

    PropertyKind kind() const { return static_cast<PropertyKind>(payload_.index()); }

    // Conversions for reading; `allowConversion` is false in a non-sparse set, where only the
    // stored kind itself reads. An empty optional means the read fails.
    std::optional<std::int32_t> ReadInt(bool allowConversion) const;
    std::optional<std::int64_t> ReadInt64(bool allowConversion) const;
    std::optional<std::string> ReadString(bool allowConversion) const;
    const Bytes* bytes() const { return std::get_if<Bytes>(&payload_); }

    // The value after adding `addend` as the property set's AddInt / AddInt64 define it.
    PropertyValue Plus(std::int64_t addend, bool addendIs64) const;

    // True for a value that a sparse set does not keep (zero, empty text, no bytes).
    bool IsSparseZero() const;

    template <class T>
    const T* get_if() const {
        return std::get_if<T>(&payload_);
    }

    friend bool operator==(const PropertyValue&, const PropertyValue&) = default;

  private:
    using Payload = std::variant<std::monostate, std::int32_t, std::int64_t, double, std::string,
                                 Bytes, TimeValue>;
    template <class T>
    explicit PropertyValue(T v) : payload_(std::move(v)) {}

    Payload payload_;
};

}  // namespace tellweir
