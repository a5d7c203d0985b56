// The end of a header block and splitting it off the receive buffer.
#include "net/http/header_block.h"

#include <algorithm>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

constexpr std::string_view kEmptyLine = "\r\n\r\n";
constexpr std::string_view kContentRange = "Content-Range:";

// The position after the first empty line that ends within text[from, limit), or npos.
std::size_t FindEmptyLineEnd(std::string_view text, std::size_t from, std::size_t limit) {
    const std::string_view window = text.substr(0, std::min(text.size(), limit));
    const std::size_t at = window.find(kEmptyLine, from);
    return at == std::string_view::npos ? at : at + kEmptyLine.size();
}

}  // namespace

std::size_t HeaderBlockLength(std::string_view text, std::size_t limit) {
    const std::size_t first = FindEmptyLineEnd(text, 0, limit);
    if (first == std::string_view::npos) return 0;
    if (!StartsWithIgnoreAsciiCase(text.substr(first), kContentRange)) return first;
    const std::size_t second = FindEmptyLineEnd(text, first, limit);
    return second == std::string_view::npos ? 0 : second;
}

TransferResult SplitHeaderBlock(std::string& buffer, std::string& header) {
    const std::size_t length = HeaderBlockLength(buffer);
    if (length == 0) return buffer.size() >= kMaxHeaderBlock ? result::kProtocolError : kMoreNeeded;
    header.assign(buffer, 0, length);
    buffer.erase(0, length);
    return result::kOk;
}

}  // namespace tellweir
