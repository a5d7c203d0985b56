// Locale-independent ASCII text helpers: protocol texts, URLs, host names, file formats and
// settings are classified, trimmed, compared and folded byte by byte, never through the C locale
// (no std::isspace, std::tolower or strcasecmp). Bytes outside ASCII are never letters, digits
// or blanks and keep their value when folded.
#pragma once

#include <string>
#include <string_view>

namespace tellweir {

// Blank, tab, line feed, vertical tab, form feed, carriage return (what isspace gives in the
// C locale).
constexpr bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Blank or tab: the white space inside one line (header folding, setting and action lines).
constexpr bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

// Carriage return or line feed.
constexpr bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// Blank, tab, carriage return, line feed: white space without vertical tab and form feed, as the
// attribute lists, the setting files and the URL history have always read it.
constexpr bool IsBlankOrLineBreak(char c) {
    return IsBlankOrTab(c) || IsLineBreak(c);
}

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool IsAsciiAlnum(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c);
}

constexpr char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

constexpr char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// The value 0-15 of a hexadecimal digit of either case; -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The upper-case hexadecimal digit of the low four bits of `value`.
constexpr char UpperHexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xFu];
}

// Separators of a path part: the design accepts both slash and backslash.
constexpr bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

// `path` without its trailing separators, but never shorter than one character: the root "/"
// stays.
constexpr std::string_view TrimTrailingPathSeparators(std::string_view path) {
    while (path.size() > 1 && IsPathSeparator(path.back()))
        path.remove_suffix(1);
    return path;
}

// A character class for the trims: one of the tests above, or a caller's own.
using AsciiCharTest = bool (*)(char);

void LowerAsciiInPlace(std::string& text);
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);

// `text` without the characters of the class at both ends, at the front, at the back.
std::string_view TrimAscii(std::string_view text, AsciiCharTest isTrimmed);
std::string_view TrimLeadingAscii(std::string_view text, AsciiCharTest isTrimmed);
std::string_view TrimTrailingAscii(std::string_view text, AsciiCharTest isTrimmed);
// The common trim: white space (IsAsciiSpace) at both ends.
std::string_view TrimAsciiSpace(std::string_view text);

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoreAsciiCase(std::string_view text, std::string_view suffix);

}  // namespace tellweir
