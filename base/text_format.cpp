// The printf-subset formatter behind log templates.
#include "base/text_format.h"

#include <cstdio>
#include <cstdlib>

#include "base/ascii_text.h"

namespace tellweir {

std::int64_t FormatArg::AsInt() const {
    switch (kind_) {
        case Kind::Int:
            return int_;
        case Kind::Double:
            if (!(double_ > -9.2e18 && double_ < 9.2e18)) return 0;
            return static_cast<std::int64_t>(double_);
        case Kind::Text:
            return std::strtoll(std::string(text_).c_str(), nullptr, 10);
    }
    return 0;
}

double FormatArg::AsDouble() const {
    switch (kind_) {
        case Kind::Int:
            return static_cast<double>(int_);
        case Kind::Double:
            return double_;
        case Kind::Text:
            return std::strtod(std::string(text_).c_str(), nullptr);
    }
    return 0.0;
}

std::string FormatArg::AsText() const {
    switch (kind_) {
        case Kind::Int:
            return std::to_string(int_);
        case Kind::Double:
            return std::to_string(double_);
        case Kind::Text:
            return std::string(text_);
    }
    return {};
}

namespace {

class ArgCursor {
  public:
    explicit ArgCursor(FormatArgs args) : args_(args) {}
    const FormatArg* Next() { return index_ < args_.size() ? &args_[index_++] : nullptr; }

  private:
    FormatArgs args_;
    std::size_t index_ = 0;
};

bool IsFlag(char c) {
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}

// Appends the output of snprintf(spec, value) to `out`.
template <class T>
void AppendFormatted(std::string& out, const std::string& spec, T value) {
    char small[128];
    const int n = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.append(small, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
    out.append(big.data(), static_cast<std::size_t>(n));
}

// Reads a width or precision: digits, or "*" taken from the arguments.
std::string ReadNumber(std::string_view f, std::size_t& i, ArgCursor& cursor) {
    if (i < f.size() && f[i] == '*') {
        ++i;
        const FormatArg* a = cursor.Next();
        long long v = a ? a->AsInt() : 0;
        if (v > 100000) v = 100000;  // a width is never a reason to allocate gigabytes
        if (v < -100000) v = -100000;
        return std::to_string(v);
    }
    std::string digits;
    while (i < f.size() && IsAsciiDigit(f[i]))
        digits += f[i++];
    if (digits.size() > 5) digits = "100000";
    return digits;
}

// Reads what follows a '%' up to the conversion: flags, width and precision go into the
// returned snprintf spec; length modifiers are skipped, as each value carries its own size.
std::string ReadSpec(std::string_view f, std::size_t& i, ArgCursor& cursor) {
    std::string spec = "%";
    while (i < f.size() && IsFlag(f[i]))
        spec += f[i++];
    spec += ReadNumber(f, i, cursor);
    if (i < f.size() && f[i] == '.') {
        ++i;
        spec += '.';
        spec += ReadNumber(f, i, cursor);
    }
    if (f.substr(i, 3) == "I64") i += 3;
    while (i < f.size() && (f[i] == 'h' || f[i] == 'l' || f[i] == 'z' || f[i] == 'j' ||
                            f[i] == 't' || f[i] == 'L' || f[i] == 'q')) {
        ++i;
    }
    return spec;
}

// Appends the conversion `conv` of the next argument with `spec`; false for a conversion it
// does not know, which takes no argument.
bool AppendConversion(std::string& out, const std::string& spec, char conv, ArgCursor& cursor) {
    const FormatArg* a = nullptr;
    switch (conv) {
        case '%':
            out += '%';
            return true;
        case 'd':
        case 'i':
            a = cursor.Next();
            AppendFormatted(out, spec + "lld", static_cast<long long>(a ? a->AsInt() : 0));
            return true;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            a = cursor.Next();
            AppendFormatted(out, spec + "ll" + conv,
                            static_cast<unsigned long long>(a ? a->AsInt() : 0));
            return true;
        case 'c':
            a = cursor.Next();
            AppendFormatted(out, spec + "c", static_cast<int>(a ? a->AsInt() : 0));
            return true;
        case 's': {
            a = cursor.Next();
            const std::string text = a ? a->AsText() : std::string();
            AppendFormatted(out, spec + "s", text.c_str());
            return true;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            a = cursor.Next();
            AppendFormatted(out, spec + conv, a ? a->AsDouble() : 0.0);
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string FormatText(std::string_view f, FormatArgs args) {
    std::string out;
    out.reserve(f.size() + 16 * args.size());
    ArgCursor cursor(args);
    std::size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        const std::size_t start = i++;
        const std::string spec = ReadSpec(f, i, cursor);
        if (i >= f.size()) {
            out.append(f.substr(start));
            break;
        }
        const char conv = f[i++];
        // An unknown conversion is copied as written.
        if (!AppendConversion(out, spec, conv, cursor)) out.append(f.substr(start, i - start));
    }
    return out;
}

}  // namespace tellweir
