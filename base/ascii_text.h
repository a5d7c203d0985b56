// Locale-independent ASCII text helpers shared by the URL operations: URLs and host names are
// compared and folded byte by byte, never through the C locale.
#pragma once

#include <string>
#include <string_view>

namespace tellweir {

// Blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Separators of a path part: the design accepts both slash and backslash.
constexpr bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

void LowerAsciiInPlace(std::string& text);
std::string_view TrimAsciiSpace(std::string_view text);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace tellweir
