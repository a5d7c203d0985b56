// Reading and recording the status line of a reply.
#include "net/http/status_line.h"

#include "base/ascii_text.h"

namespace tellweir {

std::optional<HttpStatusLine> ParseStatusLine(std::string_view block) {
    constexpr std::string_view kPrefix = "HTTP/";
    if (block.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    const std::size_t lineEnd = block.find("\r\n");
    const std::size_t blank = block.find(' ', kPrefix.size());
    if (lineEnd == std::string_view::npos || blank == std::string_view::npos || blank > lineEnd)
        return std::nullopt;
    const std::string_view text = block.substr(blank + 1, lineEnd - blank - 1);
    if (text.size() < 3 || !IsAsciiDigit(text[0]) || !IsAsciiDigit(text[1]) ||
        !IsAsciiDigit(text[2]))
        return std::nullopt;
    HttpStatusLine line;
    line.version.assign(block.substr(kPrefix.size(), blank - kPrefix.size()));
    line.text.assign(text);
    line.code = (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
    return line;
}

std::string StatusLineProperty(std::string_view block) {
    return std::string(TrimLeadingAscii(block.substr(0, block.find('\n')), IsAsciiSpace));
}

}  // namespace tellweir
