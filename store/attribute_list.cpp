// ParseAttributeList: the reader of name=value lists.
#include "store/attribute_list.h"

#include "base/ascii_text.h"

namespace tellweir {

namespace {

// Moves `pos` past the blanks at it.
void SkipBlanks(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && IsBlankOrLineBreak(text[pos]))
        ++pos;
}

// Reads the value that starts at `pos` (just after "=" and its blanks) and moves past it.
std::string_view ReadValue(std::string_view text, std::size_t& pos) {
    if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
        const std::size_t start = pos + 1;
        const std::size_t close = text.find(text[pos], start);
        if (close == std::string_view::npos) {
            pos = text.size();
            return text.substr(start);
        }
        pos = close + 1;
        return text.substr(start, close - start);
    }
    const std::size_t start = pos;
    while (pos < text.size() && !IsBlankOrLineBreak(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

}  // namespace

int ParseAttributeList(std::string_view text, const AttributeSink& nameSink,
                       const AttributeSink& valueSink, const AttributeFlagSink& flagSink) {
    int pairs = 0;
    std::size_t pos = 0;
    for (;;) {
        SkipBlanks(text, pos);
        if (pos >= text.size()) break;
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != '=' && !IsBlankOrLineBreak(text[pos]))
            ++pos;
        const std::string_view name = text.substr(start, pos - start);
        SkipBlanks(text, pos);
        if (pos >= text.size() || text[pos] != '=') {
            // A name on its own; whatever follows the blanks starts the next entry.
            if (flagSink) flagSink(name);
            continue;
        }
        ++pos;  // the '='
        SkipBlanks(text, pos);
        const std::string_view value = ReadValue(text, pos);
        ++pairs;
        if (nameSink && !nameSink(name)) break;
        if (valueSink && !valueSink(value)) break;
    }
    return pairs;
}

}  // namespace tellweir
