// Cutting overlong log lines on a UTF-8 character boundary, with a note of the bytes cut.
#include "log/line_cut.h"

#include <string_view>

#include "base/text_format.h"

namespace tellweir {
namespace {

// One line of an entry: its text, then its line break (CR LF or LF; empty for the last line).
struct LineSpan {
    std::string_view text;
    std::string_view lineBreak;
};

// The line starting at `start`; `start` moves past it (past the end for the last one).
LineSpan NextLine(std::string_view entry, std::size_t& start) {
    const std::size_t feed = entry.find('\n', start);
    LineSpan line;
    if (feed == std::string_view::npos) {
        line.text = entry.substr(start);
        start = entry.size() + 1;
        return line;
    }
    const std::size_t end = feed > start && entry[feed - 1] == '\r' ? feed - 1 : feed;
    line.text = entry.substr(start, end - start);
    line.lineBreak = entry.substr(end, feed + 1 - end);
    start = feed + 1;
    return line;
}

// What may still be added to a line that holds `length` bytes.
std::size_t Room(std::size_t length) {
    return length < kMaxLogLineBytes ? kMaxLogLineBytes - length : 0;
}

// The longest prefix of `text` of at most `limit` bytes that does not end inside a UTF-8
// sequence: the cut backs up over continuation bytes (10xxxxxx).
std::size_t CharacterPrefix(std::string_view text, std::size_t limit) {
    if (limit >= text.size()) return text.size();
    std::size_t length = limit;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return length;
}

bool NeedsCut(std::string_view entry, std::size_t openLength) {
    std::size_t length = openLength;
    for (std::size_t start = 0; start <= entry.size(); length = 0) {
        if (NextLine(entry, start).text.size() > Room(length)) return true;
    }
    return false;
}

}  // namespace

void CutLongLines(std::string& entry, std::size_t openLength, std::size_t& pendingCut) {
    if (pendingCut == 0 && !NeedsCut(entry, openLength)) return;
    std::string out;
    std::size_t length = openLength;
    for (std::size_t start = 0; start <= entry.size(); length = 0) {
        const LineSpan line = NextLine(entry, start);
        const std::size_t keep = CharacterPrefix(line.text, Room(length));
        out.append(line.text.substr(0, keep));
        pendingCut += line.text.size() - keep;
        if (line.lineBreak.empty()) break;
        if (pendingCut > 0) {
            out += Format(" [... %zu bytes cut]", pendingCut);
            pendingCut = 0;
        }
        out.append(line.lineBreak);
    }
    entry = std::move(out);
}

}  // namespace tellweir
