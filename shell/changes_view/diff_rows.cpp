// The rows of a diff view.
#include "shell/changes_view/diff_rows.h"

#include <algorithm>

namespace tellweir {

namespace {

bool IsChange(const CTextDiff& diff, std::int32_t index) {
    return index >= 0 && diff.Lines()[static_cast<std::size_t>(index)].op != LineOp::Same;
}

}  // namespace

void CDiffRows::Build(const CTextDiff& diff, DiffLayout layout, int context) {
    rows_.clear();
    changes_.clear();
    layout_ = layout;
    longest_ = 0;
    hunks_ = diff.Hunks(context);
    const std::vector<DiffLine>& lines = diff.Lines();
    const bool headers = context >= 0;
    for (std::size_t h = 0; h < hunks_.size(); ++h) {
        const DiffHunk& hunk = hunks_[h];
        if (headers) rows_.push_back({DiffRowKind::Hunk, -1, -1, static_cast<std::int32_t>(h)});
        const std::int32_t end = hunk.first + hunk.count;
        for (std::int32_t i = hunk.first; i < end;) {
            const LineOp op = lines[static_cast<std::size_t>(i)].op;
            if (layout == DiffLayout::Unified || op == LineOp::Same) {
                rows_.push_back({DiffRowKind::Line, i, op == LineOp::Same ? i : -1, -1});
                ++i;
                continue;
            }
            // A change: its removed lines, then its added ones, paired row by row.
            std::int32_t removedEnd = i;
            while (removedEnd < end &&
                   lines[static_cast<std::size_t>(removedEnd)].op == LineOp::Removed)
                ++removedEnd;
            std::int32_t addedEnd = removedEnd;
            while (addedEnd < end && lines[static_cast<std::size_t>(addedEnd)].op == LineOp::Added)
                ++addedEnd;
            const std::int32_t removed = removedEnd - i;
            const std::int32_t added = addedEnd - removedEnd;
            for (std::int32_t k = 0; k < std::max(removed, added); ++k)
                rows_.push_back({DiffRowKind::Line, k < removed ? i + k : -1,
                                 k < added ? removedEnd + k : -1, -1});
            i = addedEnd;
        }
    }
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const DiffRow& row = rows_[r];
        for (const std::int32_t index : {row.left, row.right})
            if (index >= 0)
                longest_ = std::max(
                    longest_,
                    static_cast<int>(diff.Text(lines[static_cast<std::size_t>(index)]).size()));
        if (row.kind != DiffRowKind::Line) continue;
        const bool changed = IsChange(diff, row.left) || IsChange(diff, row.right);
        const bool before =
            r > 0 && rows_[r - 1].kind == DiffRowKind::Line &&
            (IsChange(diff, rows_[r - 1].left) || IsChange(diff, rows_[r - 1].right));
        if (changed && !before) changes_.push_back(static_cast<int>(r));
    }
}

int CDiffRows::NextChange(int row) const {
    const auto it = std::upper_bound(changes_.begin(), changes_.end(), row);
    return it == changes_.end() ? -1 : *it;
}

int CDiffRows::PreviousChange(int row) const {
    const auto it = std::lower_bound(changes_.begin(), changes_.end(), row);
    return it == changes_.begin() ? -1 : *(it - 1);
}

std::string HunkHeader(const DiffHunk& hunk) {
    // A count of 1 is left out, as `diff -u` leaves it out.
    const auto side = [](std::int32_t start, std::int32_t count) {
        std::string text = std::to_string(start);
        if (count != 1) text += "," + std::to_string(count);
        return text;
    };
    return "@@ -" + side(hunk.oldStart, hunk.oldCount) + " +" + side(hunk.newStart, hunk.newCount) +
           " @@";
}

}  // namespace tellweir
