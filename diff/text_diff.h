// CTextDiff: the line differences between two texts, with the changed words inside changed lines,
// the hunks a unified diff shows, and the counts a summary says ("12 lines added, 3 removed").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tellweir {

enum class LineOp : std::uint8_t { Same, Removed, Added };

// One line of the aligned texts. Within a change the removed lines come before the added ones.
struct DiffLine {
    LineOp op = LineOp::Same;
    std::int32_t oldLine = -1;  // 0-based line of the old text, -1 for an added line
    std::int32_t newLine = -1;  // 0-based line of the new text, -1 for a removed line
    // For a changed line (a removed line paired with an added one of the same change), the index
    // in Lines() of its partner on the other side; -1 otherwise.
    std::int32_t partner = -1;
};

// Bytes [begin, end) of a line's text that differ from its partner.
struct WordSpan {
    std::int32_t begin = 0;
    std::int32_t end = 0;
};

// A run of Lines() shown together: the changes and up to `context` same lines around them.
struct DiffHunk {
    std::int32_t first = 0;                   // index in Lines()
    std::int32_t count = 0;                   // lines of Lines() in the hunk
    std::int32_t oldStart = 0, oldCount = 0;  // as "@@ -oldStart,oldCount ..." writes them
    std::int32_t newStart = 0, newCount = 0;
};

class CTextDiff {
  public:
    CTextDiff() = default;
    // Compares two texts line by line (lines end with '\n'; a last line without one counts as a
    // line). Linear memory; a worst case (two unrelated texts) is bounded by a cost heuristic
    // rather than allowed to grow with the square of the lines.
    static CTextDiff Compare(std::string oldText, std::string newText);

    bool Equal() const { return added_ == 0 && removed_ == 0; }
    std::int32_t Added() const { return added_; }
    std::int32_t Removed() const { return removed_; }

    // Both texts whole, aligned.
    const std::vector<DiffLine>& Lines() const { return lines_; }
    // The text of a line of Lines() (without its '\n').
    std::string_view Text(const DiffLine& line) const;
    std::string_view OldLine(std::int32_t index) const;
    std::string_view NewLine(std::int32_t index) const;
    std::int32_t OldLineCount() const;
    std::int32_t NewLineCount() const;
    // Whether the last line of the old (new) text has no '\n' ("\ No newline at end of file").
    bool OldMissingNewline() const;
    bool NewMissingNewline() const;

    // The words of Lines()[index] that differ from its partner; empty for a line with none.
    std::vector<WordSpan> ChangedWords(std::int32_t index) const;
    // The hunks with `context` same lines around each change, joined as `diff -U<context>` joins
    // them; a negative context gives one hunk of the whole text.
    std::vector<DiffHunk> Hunks(int context) const;

  private:
    // Where a line lies in its text; offsets rather than views, so copies and moves stay valid.
    struct LineSpan {
        std::size_t offset = 0;
        std::size_t length = 0;
    };

    std::string oldText_, newText_;
    std::vector<LineSpan> oldLines_, newLines_;
    std::vector<DiffLine> lines_;
    std::int32_t added_ = 0, removed_ = 0;
};

// The differences as `diff -u` writes them: "--- <oldLabel>", "+++ <newLabel>", then the hunks
// with `context` lines of context. Empty when the texts are equal.
std::string FormatUnifiedDiff(const CTextDiff& diff, std::string_view oldLabel,
                              std::string_view newLabel, int context = 3);

// "12 lines added, 3 removed", "1 line added", "3 lines removed", "No lines changed".
std::string ChangeSummaryText(std::int32_t added, std::int32_t removed);

}  // namespace tellweir
