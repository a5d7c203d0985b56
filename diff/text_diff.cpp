// The line differences of two texts (to be built).
#include "diff/text_diff.h"

namespace tellweir {

CTextDiff CTextDiff::Compare(std::string oldText, std::string newText) {
    CTextDiff diff;
    diff.oldText_ = std::move(oldText);
    diff.newText_ = std::move(newText);
    return diff;
}

std::string_view CTextDiff::Text(const DiffLine& line) const {
    return line.op == LineOp::Added ? NewLine(line.newLine) : OldLine(line.oldLine);
}

std::string_view CTextDiff::OldLine(std::int32_t index) const {
    return index >= 0 && index < OldLineCount() ? oldLines_[index] : std::string_view();
}

std::string_view CTextDiff::NewLine(std::int32_t index) const {
    return index >= 0 && index < NewLineCount() ? newLines_[index] : std::string_view();
}

std::int32_t CTextDiff::OldLineCount() const {
    return static_cast<std::int32_t>(oldLines_.size());
}

std::int32_t CTextDiff::NewLineCount() const {
    return static_cast<std::int32_t>(newLines_.size());
}

std::vector<WordSpan> CTextDiff::ChangedWords(std::int32_t /*index*/) const {
    return {};
}

std::vector<DiffHunk> CTextDiff::Hunks(int /*context*/) const {
    return {};
}

std::string FormatUnifiedDiff(const CTextDiff& /*diff*/, std::string_view /*oldLabel*/,
                              std::string_view /*newLabel*/, int /*context*/) {
    return {};
}

std::string ChangeSummaryText(std::int32_t /*added*/, std::int32_t /*removed*/) {
    return {};
}

}  // namespace tellweir
