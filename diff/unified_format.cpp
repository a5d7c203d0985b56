// The hunks of a difference as `diff -U<n>` groups them, the unified format GNU diff writes, and
// the one-line summary of a change.
#include "diff/text_diff.h"

#include <algorithm>

namespace tellweir {
namespace {

// "a,b" as GNU diff writes a range: a lone line without its count, and an empty range as the
// line before it with ",0" (what `patch` expects).
void AppendRange(std::string& out, std::int32_t start, std::int32_t count) {
    out += std::to_string(start);
    if (count != 1) {
        out += ',';
        out += std::to_string(count);
    }
}

}  // namespace

std::vector<DiffHunk> CTextDiff::Hunks(int context) const {
    std::vector<DiffHunk> hunks;
    const auto size = static_cast<std::int32_t>(lines_.size());
    if (size == 0 || (context >= 0 && Equal()))
        return hunks;

    // Counts of old and new lines before an index, carried forward as the hunks are found.
    std::int32_t at = 0, oldBefore = 0, newBefore = 0;
    const auto advanceTo = [&](std::int32_t index) {
        for (; at < index; ++at) {
            oldBefore += lines_[at].op != LineOp::Added ? 1 : 0;
            newBefore += lines_[at].op != LineOp::Removed ? 1 : 0;
        }
    };
    const auto addHunk = [&](std::int32_t first, std::int32_t end) {
        advanceTo(first);
        DiffHunk hunk;
        hunk.first = first;
        hunk.count = end - first;
        const std::int32_t oldStart = oldBefore, newStart = newBefore;
        advanceTo(end);
        hunk.oldCount = oldBefore - oldStart;
        hunk.newCount = newBefore - newStart;
        hunk.oldStart = hunk.oldCount > 0 ? oldStart + 1 : oldStart;
        hunk.newStart = hunk.newCount > 0 ? newStart + 1 : newStart;
        hunks.push_back(hunk);
    };
    if (context < 0) {
        addHunk(0, size);
        return hunks;
    }

    const auto nextChange = [&](std::int32_t from) {
        while (from < size && lines_[from].op == LineOp::Same)
            ++from;
        return from;
    };
    const auto changeEnd = [&](std::int32_t from) {
        while (from < size && lines_[from].op != LineOp::Same)
            ++from;
        return from;
    };
    // Changes with at most 2 * context same lines between them share a hunk, as in diff -U.
    const std::int64_t joinGap = 2 * static_cast<std::int64_t>(context);
    std::int32_t change = nextChange(0);
    while (change < size) {
        const std::int32_t first = std::max<std::int64_t>(0, std::int64_t{change} - context);
        std::int32_t end = changeEnd(change);
        for (;;) {
            const std::int32_t next = nextChange(end);
            if (next >= size || next - end > joinGap)
                break;
            end = changeEnd(next);
        }
        const auto last = static_cast<std::int32_t>(std::min<std::int64_t>(size, std::int64_t{end} + context));
        addHunk(first, last);
        change = nextChange(last);
    }
    return hunks;
}

std::string FormatUnifiedDiff(const CTextDiff& diff, std::string_view oldLabel,
                              std::string_view newLabel, int context) {
    std::string out;
    if (diff.Equal())
        return out;
    out.append("--- ").append(oldLabel).append("\n+++ ").append(newLabel).append("\n");
    const std::int32_t lastOld = diff.OldLineCount() - 1, lastNew = diff.NewLineCount() - 1;
    const auto& lines = diff.Lines();
    for (const DiffHunk& hunk : diff.Hunks(context)) {
        out += "@@ -";
        AppendRange(out, hunk.oldStart, hunk.oldCount);
        out += " +";
        AppendRange(out, hunk.newStart, hunk.newCount);
        out += " @@\n";
        for (std::int32_t i = hunk.first; i < hunk.first + hunk.count; ++i) {
            const DiffLine& line = lines[static_cast<std::size_t>(i)];
            bool missingNewline = false;
            switch (line.op) {
            case LineOp::Same:
                out += ' ';
                // A same line is the last of both texts or of neither.
                missingNewline = line.oldLine == lastOld && diff.OldMissingNewline();
                break;
            case LineOp::Removed:
                out += '-';
                missingNewline = line.oldLine == lastOld && diff.OldMissingNewline();
                break;
            case LineOp::Added:
                out += '+';
                missingNewline = line.newLine == lastNew && diff.NewMissingNewline();
                break;
            }
            out.append(diff.Text(line)).append("\n");
            if (missingNewline)
                out += "\\ No newline at end of file\n";
        }
    }
    return out;
}

std::string ChangeSummaryText(std::int32_t added, std::int32_t removed) {
    const auto lines = [](std::int32_t count) {
        return std::to_string(count) + (count == 1 ? " line" : " lines");
    };
    if (added > 0 && removed > 0)
        return lines(added) + " added, " + std::to_string(removed) + " removed";
    if (added > 0)
        return lines(added) + " added";
    if (removed > 0)
        return lines(removed) + " removed";
    return "No lines changed";
}

}  // namespace tellweir
