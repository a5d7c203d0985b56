// The words that differ between a changed line and its partner: both lines cut into tokens (runs
// of letters and digits, runs of spaces, single other characters) and aligned by a longest common
// subsequence whose table is bounded in size.
#include "diff/text_diff.h"

#include <algorithm>

namespace tellweir {
namespace {

// Beyond this many table cells the differing middle of two lines is marked whole: lines that long
// and that different gain little from a finer mark.
constexpr std::size_t kMaxTableCells = 256 * 1024;

struct Token {
    std::int32_t begin = 0;
    std::int32_t end = 0;
};

enum class TokenClass { Word, Space, Other };

TokenClass ClassOf(unsigned char c) {
    // Bytes of multi-byte UTF-8 characters join words, so a character is never cut apart.
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
        c >= 0x80)
        return TokenClass::Word;
    if (c == ' ' || c == '\t')
        return TokenClass::Space;
    return TokenClass::Other;
}

std::vector<Token> Tokenize(std::string_view line) {
    std::vector<Token> tokens;
    const auto size = static_cast<std::int32_t>(line.size());
    std::int32_t i = 0;
    while (i < size) {
        const TokenClass kind = ClassOf(static_cast<unsigned char>(line[i]));
        std::int32_t end = i + 1;
        if (kind != TokenClass::Other) {
            while (end < size && ClassOf(static_cast<unsigned char>(line[end])) == kind)
                ++end;
        }
        tokens.push_back({i, end});
        i = end;
    }
    return tokens;
}

std::string_view TokenText(std::string_view line, Token token) {
    return line.substr(static_cast<std::size_t>(token.begin),
                       static_cast<std::size_t>(token.end - token.begin));
}

}  // namespace

std::vector<WordSpan> CTextDiff::ChangedWords(std::int32_t index) const {
    std::vector<WordSpan> spans;
    if (index < 0 || static_cast<std::size_t>(index) >= lines_.size())
        return spans;
    const DiffLine& line = lines_[static_cast<std::size_t>(index)];
    if (line.partner < 0)
        return spans;
    const std::string_view mine = Text(line);
    const std::string_view other = Text(lines_[static_cast<std::size_t>(line.partner)]);
    const std::vector<Token> a = Tokenize(mine), b = Tokenize(other);

    // The same tokens at both ends need no table.
    std::size_t head = 0;
    while (head < a.size() && head < b.size() &&
           TokenText(mine, a[head]) == TokenText(other, b[head]))
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           TokenText(mine, a[a.size() - 1 - tail]) == TokenText(other, b[b.size() - 1 - tail]))
        ++tail;
    const std::size_t n = a.size() - head - tail, m = b.size() - head - tail;
    if (n == 0)
        return spans;  // this side only lacks what the other inserted

    std::vector<char> changed(n, 1);
    if (m > 0 && (n + 1) * (m + 1) <= kMaxTableCells) {
        // lcs[i][j]: the longest common run of a[head+i..] and b[head+j..].
        const std::size_t width = m + 1;
        std::vector<std::uint32_t> lcs((n + 1) * width, 0);
        for (std::size_t i = n; i-- > 0;) {
            for (std::size_t j = m; j-- > 0;) {
                lcs[i * width + j] =
                    TokenText(mine, a[head + i]) == TokenText(other, b[head + j])
                        ? lcs[(i + 1) * width + j + 1] + 1
                        : std::max(lcs[(i + 1) * width + j], lcs[i * width + j + 1]);
            }
        }
        for (std::size_t i = 0, j = 0; i < n && j < m;) {
            if (TokenText(mine, a[head + i]) == TokenText(other, b[head + j])) {
                changed[i++] = 0;
                ++j;
            } else if (lcs[(i + 1) * width + j] >= lcs[i * width + j + 1]) {
                ++i;
            } else {
                ++j;
            }
        }
    }

    // Neighbouring changed tokens, and those only spaces apart, make one span.
    for (std::size_t i = 0; i < n; ++i) {
        if (!changed[i])
            continue;
        const Token token = a[head + i];
        if (!spans.empty()) {
            bool onlySpaces = true;
            for (std::int32_t k = spans.back().end; k < token.begin && onlySpaces; ++k)
                onlySpaces = ClassOf(static_cast<unsigned char>(mine[k])) == TokenClass::Space;
            if (onlySpaces) {
                spans.back().end = token.end;
                continue;
            }
        }
        spans.push_back({token.begin, token.end});
    }
    return spans;
}

}  // namespace tellweir
