// CDiffRows: the rows a diff view draws for a CTextDiff: in a unified layout one row per line
// (removed lines before added ones), side by side one row per pair of lines, with a header row
// before each hunk; and where each change starts, for next/previous change. Plain C++, so that
// the layout is tested without a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diff/text_diff.h"

namespace tellweir {

enum class DiffLayout : std::uint8_t { Unified, SideBySide };

enum class DiffRowKind : std::uint8_t { Hunk, Line };

// One row. Unified: `left` is the line's index in CTextDiff::Lines(). Side by side: `left` the
// old side's line (same or removed), `right` the new side's (same or added), -1 for a blank
// side. A hunk row names its hunk in `hunk`.
struct DiffRow {
    DiffRowKind kind = DiffRowKind::Line;
    std::int32_t left = -1;
    std::int32_t right = -1;
    std::int32_t hunk = -1;
};

class CDiffRows {
  public:
    // `context` lines around each change (negative: the whole text, without hunk headers).
    void Build(const CTextDiff& diff, DiffLayout layout, int context);

    const std::vector<DiffRow>& Rows() const { return rows_; }
    int Count() const { return static_cast<int>(rows_.size()); }
    const std::vector<DiffHunk>& Hunks() const { return hunks_; }
    DiffLayout Layout() const { return layout_; }
    // The rows where a run of changed lines starts, in order.
    const std::vector<int>& ChangeStarts() const { return changes_; }
    // The first change start after / before `row`; -1 when there is none.
    int NextChange(int row) const;
    int PreviousChange(int row) const;
    // The longest line's length in bytes, for the horizontal scroll range.
    int LongestLine() const { return longest_; }

  private:
    std::vector<DiffRow> rows_;
    std::vector<DiffHunk> hunks_;
    std::vector<int> changes_;
    DiffLayout layout_ = DiffLayout::Unified;
    int longest_ = 0;
};

// "@@ -1,7 +1,8 @@", as a unified diff heads a hunk.
std::string HunkHeader(const DiffHunk& hunk);

}  // namespace tellweir
