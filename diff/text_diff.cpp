// The line differences of two texts, computed by libgit2's xdiff (Myers with its cost heuristics,
// so two unrelated large texts cannot take quadratic time), and the aligned script built from them.
#include "diff/text_diff.h"

#include <git2.h>

#include <algorithm>
#include <utility>

namespace tellweir {
namespace {

// libgit2 wants one init per process before any call; never shut down, as other threads of the
// program may compare at any time.
void EnsureLibgit2() {
    static const int initialised = git_libgit2_init();
    (void)initialised;  // a failure shows as git_diff_buffers failing, which Compare handles
}

// Splits `text` into lines without their '\n'; a last line without one counts as a line.
template <typename Span>
std::vector<Span> SplitLines(std::string_view text) {
    std::vector<Span> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(Span{start, end - start});
        start = end + 1;
    }
    return lines;
}

struct ChangedMarks {
    std::vector<char> oldChanged, newChanged;
};

int OnLine(const git_diff_delta* /*delta*/, const git_diff_hunk* /*hunk*/,
           const git_diff_line* line, void* payload) {
    auto* marks = static_cast<ChangedMarks*>(payload);
    const auto mark = [](std::vector<char>& changed, int lineNo) {
        if (lineNo >= 1 && static_cast<std::size_t>(lineNo) <= changed.size())
            changed[static_cast<std::size_t>(lineNo) - 1] = 1;
    };
    if (line->origin == GIT_DIFF_LINE_DELETION)
        mark(marks->oldChanged, line->old_lineno);
    else if (line->origin == GIT_DIFF_LINE_ADDITION)
        mark(marks->newChanged, line->new_lineno);
    return 0;
}

// Marks the lines xdiff finds removed and added. Without context lines only the changes come
// back; the same lines between them are rebuilt from the marks. False when libgit2 fails.
bool MarkChanges(std::string_view oldText, std::string_view newText, ChangedMarks& marks) {
    EnsureLibgit2();
    git_diff_options options = GIT_DIFF_OPTIONS_INIT;
    options.flags = GIT_DIFF_FORCE_TEXT;  // a NUL byte must not turn a version into "binary"
    options.context_lines = 0;
    options.interhunk_lines = 0;
    options.max_size = -1;
    return git_diff_buffers(oldText.data(), oldText.size(), nullptr, newText.data(), newText.size(),
                            nullptr, &options, nullptr, nullptr, nullptr, OnLine, &marks) == 0;
}

}  // namespace

CTextDiff CTextDiff::Compare(std::string oldText, std::string newText) {
    CTextDiff diff;
    diff.oldText_ = std::move(oldText);
    diff.newText_ = std::move(newText);
    diff.oldLines_ = SplitLines<LineSpan>(diff.oldText_);
    diff.newLines_ = SplitLines<LineSpan>(diff.newText_);

    const std::size_t oldCount = diff.oldLines_.size();
    const std::size_t newCount = diff.newLines_.size();
    ChangedMarks marks;
    marks.oldChanged.assign(oldCount, 0);
    marks.newChanged.assign(newCount, 0);
    if (diff.oldText_ != diff.newText_ && !MarkChanges(diff.oldText_, diff.newText_, marks)) {
        // No alignment to be had: everything old removed, everything new added, which is true
        // if coarse.
        marks.oldChanged.assign(oldCount, 1);
        marks.newChanged.assign(newCount, 1);
    }

    // The same lines pair up in order; between them, a change block lists its removed lines,
    // then its added ones, the i-th removed paired with the i-th added.
    diff.lines_.reserve(std::max(oldCount, newCount));
    std::size_t i = 0, j = 0;
    while (i < oldCount || j < newCount) {
        const bool oldSame = i < oldCount && !marks.oldChanged[i];
        const bool newSame = j < newCount && !marks.newChanged[j];
        if (oldSame && newSame) {
            diff.lines_.push_back(
                {LineOp::Same, static_cast<std::int32_t>(i++), static_cast<std::int32_t>(j++), -1});
            continue;
        }
        const std::size_t blockStart = diff.lines_.size();
        while (i < oldCount && (marks.oldChanged[i] || j >= newCount)) {
            diff.lines_.push_back({LineOp::Removed, static_cast<std::int32_t>(i++), -1, -1});
        }
        const std::size_t removedEnd = diff.lines_.size();
        while (j < newCount && (marks.newChanged[j] || i >= oldCount)) {
            diff.lines_.push_back({LineOp::Added, -1, static_cast<std::int32_t>(j++), -1});
        }
        const std::size_t pairs =
            std::min(removedEnd - blockStart, diff.lines_.size() - removedEnd);
        for (std::size_t k = 0; k < pairs; ++k) {
            diff.lines_[blockStart + k].partner = static_cast<std::int32_t>(removedEnd + k);
            diff.lines_[removedEnd + k].partner = static_cast<std::int32_t>(blockStart + k);
        }
        diff.removed_ += static_cast<std::int32_t>(removedEnd - blockStart);
        diff.added_ += static_cast<std::int32_t>(diff.lines_.size() - removedEnd);
    }
    return diff;
}

std::string_view CTextDiff::Text(const DiffLine& line) const {
    return line.op == LineOp::Added ? NewLine(line.newLine) : OldLine(line.oldLine);
}

std::string_view CTextDiff::OldLine(std::int32_t index) const {
    if (index < 0 || index >= OldLineCount()) return {};
    const LineSpan& span = oldLines_[static_cast<std::size_t>(index)];
    return std::string_view(oldText_).substr(span.offset, span.length);
}

std::string_view CTextDiff::NewLine(std::int32_t index) const {
    if (index < 0 || index >= NewLineCount()) return {};
    const LineSpan& span = newLines_[static_cast<std::size_t>(index)];
    return std::string_view(newText_).substr(span.offset, span.length);
}

std::int32_t CTextDiff::OldLineCount() const {
    return static_cast<std::int32_t>(oldLines_.size());
}

std::int32_t CTextDiff::NewLineCount() const {
    return static_cast<std::int32_t>(newLines_.size());
}

bool CTextDiff::OldMissingNewline() const {
    return !oldText_.empty() && oldText_.back() != '\n';
}

bool CTextDiff::NewMissingNewline() const {
    return !newText_.empty() && newText_.back() != '\n';
}

}  // namespace tellweir
