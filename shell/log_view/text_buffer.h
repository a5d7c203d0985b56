// CTextBuffer: the text of a text view as one string and the start of each line, with the width
// of the longest line after tab expansion; and the column arithmetic of a line. Plain C++.
// Text is UTF-8; a byte that starts no valid sequence stands for itself (Latin-1), since servers
// send 8-bit text too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

struct DecodedChar {
    char32_t code = 0;
    int length = 1;  // bytes
};

// The character at byte `at` of `text` (at < text.size()).
DecodedChar CharAt(std::string_view text, std::size_t at);
// The byte offset of the character after / before the one at `at`, within `line`.
std::size_t NextCharOffset(std::string_view line, std::size_t at);
std::size_t PrevCharOffset(std::string_view line, std::size_t at);
// The display column of byte `offset` of `line`, tabs expanded to multiples of `tabSize`.
int ColumnOf(std::string_view line, std::size_t offset, int tabSize);
// The offset of the character boundary nearest to the (fractional) display column `column`.
std::size_t OffsetAtColumn(std::string_view line, double column, int tabSize);
// Letters, digits, "_" and every non-ASCII character make words.
bool IsWordChar(char32_t code);

class CTextBuffer {
  public:
    // Replaces the text; a line count of at least 1 remains (an empty text is one empty line).
    void SetText(std::string_view text);
    // Adds text at the end of the last line; after a line break a new line starts.
    void Append(std::string_view text);
    void Clear() { SetText({}); }

    // Values of 0 or less become 4, values above 100 become 100; a change re-measures every line.
    void SetTabSize(int tabSize);
    int TabSize() const { return tabSize_; }

    // A text ending with a line break has no empty line after it.
    int LineCount() const { return static_cast<int>(starts_.size()); }
    // Line `index` without its line break (CR LF or LF).
    std::string_view Line(int index) const;
    // Byte position of the start of line `index` in Text().
    std::size_t LineStart(int index) const { return starts_[static_cast<std::size_t>(index)]; }
    int LongestWidth() const { return longest_; }
    const std::string& Text() const { return text_; }
    // Grows with every change of the text.
    std::uint32_t ChangeCount() const { return changeCount_; }
    // What the buffer holds in memory, for the benchmarks.
    std::size_t MemoryBytes() const;

  private:
    // Indexes the lines that start at or after `from` and measures the lines from `firstLine` on.
    void IndexFrom(std::size_t from, int firstLine);

    std::string text_;
    std::vector<std::uint32_t> starts_{0};
    int tabSize_ = 4;
    int longest_ = 0;
    std::uint32_t changeCount_ = 0;
};

}  // namespace tellweir
