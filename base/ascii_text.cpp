// Locale-independent ASCII text helpers.
#include "base/ascii_text.h"

namespace tellweir {

void LowerAsciiInPlace(std::string& text) {
    for (char& c : text)
        c = ToLowerAscii(c);
}

std::string_view TrimAsciiSpace(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace tellweir
