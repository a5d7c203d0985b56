// The text of a text view and the column arithmetic of its lines.
#include "shell/log_view/text_buffer.h"

#include <algorithm>
#include <cstring>

namespace tellweir {

DecodedChar CharAt(std::string_view text, std::size_t at) {
    const auto b = static_cast<unsigned char>(text[at]);
    if (b < 0x80) return {b, 1};
    int length = 0;
    char32_t code = 0;
    if ((b & 0xE0) == 0xC0) {
        length = 2;
        code = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        length = 3;
        code = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        length = 4;
        code = b & 0x07;
    } else {
        return {b, 1};
    }
    if (at + static_cast<std::size_t>(length) > text.size()) return {b, 1};
    for (int k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[at + static_cast<std::size_t>(k)]);
        if ((c & 0xC0) != 0x80) return {b, 1};
        code = (code << 6) | (c & 0x3F);
    }
    const bool overlong = (length == 2 && code < 0x80) || (length == 3 && code < 0x800) ||
                          (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {b, 1};
    return {code, length};
}

std::size_t NextCharOffset(std::string_view line, std::size_t at) {
    if (at >= line.size()) return line.size();
    return at + static_cast<std::size_t>(CharAt(line, at).length);
}

std::size_t PrevCharOffset(std::string_view line, std::size_t at) {
    if (at == 0) return 0;
    at = std::min(at, line.size());
    // A lead byte up to three bytes back whose sequence ends exactly here.
    for (std::size_t back = 2; back <= 4 && back <= at; ++back)
        if (CharAt(line, at - back).length == static_cast<int>(back)) return at - back;
    return at - 1;
}

namespace {

int Advance(int column, char32_t code, int tabSize) {
    return code == U'\t' ? (column / tabSize + 1) * tabSize : column + 1;
}

// Width of `line` after tab expansion.
int WidthOf(std::string_view line, int tabSize) {
    int column = 0;
    for (std::size_t i = 0; i < line.size();) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (b < 0x80) {
            column = b == '\t' ? (column / tabSize + 1) * tabSize : column + 1;
            ++i;
            continue;
        }
        column += 1;
        i += static_cast<std::size_t>(CharAt(line, i).length);
    }
    return column;
}

std::string_view WithoutBreak(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

}  // namespace

int ColumnOf(std::string_view line, std::size_t offset, int tabSize) {
    offset = std::min(offset, line.size());
    return WidthOf(line.substr(0, offset), tabSize);
}

std::size_t OffsetAtColumn(std::string_view line, double column, int tabSize) {
    int start = 0;
    for (std::size_t i = 0; i < line.size();) {
        const DecodedChar c = CharAt(line, i);
        const int end = Advance(start, c.code, tabSize);
        if (column < (start + end) / 2.0) return i;
        start = end;
        i += static_cast<std::size_t>(c.length);
    }
    return line.size();
}

bool IsWordChar(char32_t code) {
    return code >= 0x80 || code == U'_' || (code >= U'0' && code <= U'9') ||
           (code >= U'a' && code <= U'z') || (code >= U'A' && code <= U'Z');
}

void CTextBuffer::SetText(std::string_view text) {
    text_.assign(text);
    text_.shrink_to_fit();
    starts_.assign(1, 0);
    starts_.shrink_to_fit();
    longest_ = 0;
    IndexFrom(0, 0);
    ++changeCount_;
}

void CTextBuffer::Append(std::string_view text) {
    if (text.empty()) return;
    const std::size_t from = text_.size();
    // The last line may grow: it is measured again.
    const int lastLine = LineCount() - 1;
    text_.append(text);
    IndexFrom(from, lastLine);
    ++changeCount_;
}

void CTextBuffer::IndexFrom(std::size_t from, int firstLine) {
    // A line ending at `from` starts a new one when text follows it.
    if (from > 0 && from < text_.size() && text_[from - 1] == '\n')
        starts_.push_back(static_cast<std::uint32_t>(from));
    std::size_t at = from;
    while (at < text_.size()) {
        const std::size_t feed = text_.find('\n', at);
        if (feed == std::string::npos) break;
        at = feed + 1;
        if (at < text_.size()) starts_.push_back(static_cast<std::uint32_t>(at));
    }
    for (int line = std::max(firstLine, 0); line < LineCount(); ++line)
        longest_ = std::max(longest_, WidthOf(Line(line), tabSize_));
}

void CTextBuffer::SetTabSize(int tabSize) {
    tabSize = tabSize <= 0 ? 4 : std::min(tabSize, 100);
    if (tabSize == tabSize_) return;
    tabSize_ = tabSize;
    longest_ = 0;
    for (int line = 0; line < LineCount(); ++line)
        longest_ = std::max(longest_, WidthOf(Line(line), tabSize_));
    ++changeCount_;
}

std::string_view CTextBuffer::Line(int index) const {
    const auto i = static_cast<std::size_t>(index);
    const std::size_t start = starts_[i];
    const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
    return WithoutBreak(std::string_view(text_).substr(start, end - start));
}

std::size_t CTextBuffer::MemoryBytes() const {
    return sizeof(*this) + text_.capacity() + starts_.capacity() * sizeof(std::uint32_t);
}

}  // namespace tellweir
