// Splits arbitrary bytes at the first NUL into an old and a new text and runs every part of the
// diff over them: the aligned lines, hunks at several contexts, the unified format and the changed
// words of every line, checking that the script accounts for every line of both texts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "diff/text_diff.h"

namespace {

using namespace tellweir;

void Expect(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = std::min(input.find('\0'), input.size());
    const std::string_view oldText = input.substr(0, split);
    const std::string_view newText = input.substr(std::min(split + 1, input.size()));
    const CTextDiff diff = CTextDiff::Compare(std::string(oldText), std::string(newText));

    std::int32_t oldSeen = 0, newSeen = 0;
    const auto& lines = diff.Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const DiffLine& line = lines[i];
        if (line.op != LineOp::Added) Expect(line.oldLine == oldSeen++);
        if (line.op != LineOp::Removed) Expect(line.newLine == newSeen++);
        if (line.op == LineOp::Same)
            Expect(diff.OldLine(line.oldLine) == diff.NewLine(line.newLine));
        if (line.partner >= 0)
            Expect(lines[static_cast<std::size_t>(line.partner)].partner ==
                   static_cast<std::int32_t>(i));
        const std::string_view text = diff.Text(line);
        for (const WordSpan& span : diff.ChangedWords(static_cast<std::int32_t>(i)))
            Expect(span.begin >= 0 && span.begin < span.end &&
                   static_cast<std::size_t>(span.end) <= text.size());
    }
    Expect(oldSeen == diff.OldLineCount() && newSeen == diff.NewLineCount());
    Expect(diff.Equal() == (oldText == newText));

    for (int context : {-1, 0, 1, 3}) {
        std::int32_t end = 0;
        for (const DiffHunk& hunk : diff.Hunks(context)) {
            Expect(hunk.first >= end && hunk.count > 0);
            end = hunk.first + hunk.count;
            Expect(static_cast<std::size_t>(end) <= lines.size());
        }
    }
    const std::string unified = FormatUnifiedDiff(diff, "old", "new", 3);
    Expect(unified.empty() == diff.Equal());
    return 0;
}
