// Locale-independent ASCII text helpers.
#include "base/ascii_text.h"

namespace tellweir {

void LowerAsciiInPlace(std::string& text) {
    for (char& c : text)
        c = ToLowerAscii(c);
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    LowerAsciiInPlace(lower);
    return lower;
}

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = ToUpperAscii(c);
    return upper;
}

std::string_view TrimLeadingAscii(std::string_view text, AsciiCharTest isTrimmed) {
    while (!text.empty() && isTrimmed(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view TrimTrailingAscii(std::string_view text, AsciiCharTest isTrimmed) {
    while (!text.empty() && isTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view TrimAscii(std::string_view text, AsciiCharTest isTrimmed) {
    return TrimTrailingAscii(TrimLeadingAscii(text, isTrimmed), isTrimmed);
}

std::string_view TrimAsciiSpace(std::string_view text) {
    return TrimAscii(text, IsAsciiSpace);
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
    }
    return true;
}

bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoreAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsIgnoreAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace tellweir
