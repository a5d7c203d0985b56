// Header lookup: only the header block is searched, so body bytes that follow it in the same
// text can never pass for a header.
#include "net/http/header_lookup.h"

#include "base/ascii_text.h"
#include "net/http/header_block.h"

namespace tellweir {
namespace {

std::string_view HeaderPart(std::string_view block) {
    const std::size_t length = HeaderBlockLength(block, block.size());
    return length == 0 ? block : block.substr(0, length);
}

// Calls `found` with the untrimmed value of every occurrence of `name`, in order, until it
// returns false.
template <class Found>
void VisitHeader(std::string_view block, std::string_view name, Found found) {
    const std::string_view text = HeaderPart(block);
    if (name.empty()) return;
    for (std::size_t lineStart = 0; lineStart < text.size();) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        if (StartsWithIgnoreAsciiCase(text.substr(lineStart, lineEnd - lineStart), name)) {
            // Folded lines continue the value.
            while (lineEnd + 1 < text.size() && IsBlankOrTab(text[lineEnd + 1])) {
                const std::size_t next = text.find('\n', lineEnd + 1);
                lineEnd = next == std::string_view::npos ? text.size() : next;
            }
            const std::size_t valueStart = lineStart + name.size();
            if (!found(text.substr(valueStart, lineEnd - valueStart))) return;
        }
        lineStart = lineEnd + 1;
    }
}

}  // namespace

std::vector<std::string> FindHeader(std::string_view block, std::string_view name) {
    std::vector<std::string> values;
    VisitHeader(block, name, [&](std::string_view value) {
        values.emplace_back(TrimAsciiSpace(value));
        return true;
    });
    return values;
}

std::string FindFirstHeader(std::string_view block, std::string_view name) {
    std::string first;
    VisitHeader(block, name, [&](std::string_view value) {
        first.assign(TrimAsciiSpace(value));
        return false;
    });
    return first;
}

bool HasHeader(std::string_view block, std::string_view name) {
    bool any = false;
    VisitHeader(block, name, [&](std::string_view) {
        any = true;
        return false;
    });
    return any;
}

}  // namespace tellweir
