// Lengths and byte ranges of replies. The numbers come from the server, so every one is checked
// before the client does arithmetic with it.
#include "net/http/content_range.h"

#include "base/ascii_text.h"
#include "base/decimal_text.h"

namespace tellweir {

bool ParseContentRange(std::string_view value, ContentRange& range) {
    constexpr std::string_view kUnit = "bytes ";
    if (value.size() < kUnit.size() + 4 || !StartsWithIgnoreAsciiCase(value, kUnit)) return false;
    const std::string_view rest = TrimAsciiSpace(value.substr(kUnit.size()));
    const std::size_t dash = rest.find('-');
    const std::size_t slash = rest.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return false;
    const std::string_view start = TrimAsciiSpace(rest.substr(0, dash));
    const std::string_view end = TrimAsciiSpace(rest.substr(dash + 1, slash - dash - 1));
    const std::string_view total = TrimAsciiSpace(rest.substr(slash + 1));
    if (start.empty() || end.empty() || total.empty()) return false;
    ContentRange read;
    if (!ReadDecimal64(start, read.start) || !ReadDecimal64(end, read.end)) return false;
    if (total != "*" && !ReadDecimal64(total, read.total)) return false;
    if (read.start < 0 || read.end < read.start || (total != "*" && read.total <= read.end))
        return false;
    range = read;
    return true;
}

std::int64_t ParseContentLength(std::string_view value) {
    return ParseByteCount(value);
}

}  // namespace tellweir
