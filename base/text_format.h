// printf-style formatting with typed arguments: the log templates of the system use printf
// conventions ("%s", "%d", "%I64d", "%.2f"), but the arguments travel as values, so a template
// and its arguments can never disagree in a way that reads the wrong memory.
#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tellweir {

// One argument: an integer, a floating-point number or a text.
class FormatArg {
  public:
    enum class Kind { Int, Double, Text };

    template <std::integral T>
    FormatArg(T v) : kind_(Kind::Int), int_(static_cast<std::int64_t>(v)) {}
    FormatArg(double v) : kind_(Kind::Double), double_(v) {}
    FormatArg(const char* s) : kind_(Kind::Text), text_(s ? s : "") {}
    FormatArg(std::string_view s) : kind_(Kind::Text), text_(s) {}
    FormatArg(const std::string& s) : kind_(Kind::Text), text_(s) {}

    Kind kind() const { return kind_; }
    std::int64_t AsInt() const;
    double AsDouble() const;
    std::string AsText() const;

  private:
    Kind kind_;
    std::int64_t int_ = 0;
    double double_ = 0.0;
    std::string_view text_;
};

using FormatArgs = std::span<const FormatArg>;

// Formats `format` with `args`. Understands flags, width, precision ("*" too), the length
// modifiers h, l, ll, z, j, t, L and I64, and the conversions d i u o x X c s f F e E g G a A %.
// A missing argument formats as 0 or an empty text; an unknown conversion is copied as written.
std::string FormatText(std::string_view format, FormatArgs args);

template <class... Args>
std::string Format(std::string_view format, const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return FormatText(format, FormatArgs(list, sizeof...(Args)));
}

}  // namespace tellweir
