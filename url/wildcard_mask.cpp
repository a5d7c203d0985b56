// Wildcard mask matching.
#include "url/wildcard_mask.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

// The length of the mask element at `at` (1 for a character, '?' or '*'; the bracketed length
// for a set) and whether it matches `c`.
std::size_t MatchElement(std::string_view mask, std::size_t at, char c, bool& matches) {
    const char lowered = ToLowerAscii(c);
    if (mask[at] == '?') {
        matches = true;
        return 1;
    }
    const std::size_t close = mask[at] == '[' ? mask.find(']', at + 1) : std::string_view::npos;
    if (close == std::string_view::npos) {
        matches = ToLowerAscii(mask[at]) == lowered;
        return 1;
    }
    std::string_view set = mask.substr(at + 1, close - at - 1);
    const bool negated = !set.empty() && set.front() == '!';
    if (negated) set.remove_prefix(1);
    bool inSet = false;
    if (set.size() == 3 && set[1] == '-') {
        inSet = lowered >= ToLowerAscii(set[0]) && lowered <= ToLowerAscii(set[2]);
    } else {
        for (char member : set)
            inSet = inSet || ToLowerAscii(member) == lowered;
    }
    matches = inSet != negated;
    return close - at + 1;
}

}  // namespace

bool MatchWildcardMask(std::string_view mask, std::string_view text) {
    if (mask == "*.*") mask = "*";
    std::size_t m = 0;
    std::size_t t = 0;
    // Where to resume after the last '*': the mask after it and the text it has swallowed up to.
    std::size_t starMask = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starText = t;
            continue;
        }
        bool matches = false;
        const std::size_t length = m < mask.size() ? MatchElement(mask, m, text[t], matches) : 0;
        if (matches) {
            m += length;
            ++t;
        } else if (starMask != std::string_view::npos) {
            m = starMask;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

}  // namespace tellweir
