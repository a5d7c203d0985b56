// CTextDiff and the unified format: the hunks GNU `diff -u` prints for the same texts, the aligned
// lines and their pairing, the changed words inside a changed line, and the change summary.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "diff/text_diff.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

using testing::ReadAll;
using testing::TempDir;

// What GNU diff prints for the two texts with `context` lines of context, labels as given.
std::string GnuDiff(const TempDir& dir, std::string_view oldText, std::string_view newText,
                    int context) {
    const std::string oldPath = dir.WriteFile("old.txt", oldText);
    const std::string newPath = dir.WriteFile("new.txt", newText);
    const std::string outPath = dir / "out.txt";
    testing::WriteAll(outPath, "");
    std::string error;
    const int status = testing::RunProgram({"diff", "-U" + std::to_string(context), "--label",
                                            "old", "--label", "new", oldPath, newPath},
                                           outPath, error);
    EXPECT_TRUE(status == 0 || status == 1) << error;
    return ReadAll(outPath);
}

// Numbered lines "line <first>" .. "line <last>", each unique so that no alignment is ambiguous.
std::string Numbered(int first, int last) {
    std::string text;
    for (int i = first; i <= last; ++i)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

TEST(TextDiff, UnifiedFormatMatchesGnuDiff) {
    if (testing::FindProgram("diff").empty())
        GTEST_SKIP() << "GNU diff is not installed";
    const std::string twenty = Numbered(1, 20);
    struct Case {
        const char* name;
        std::string oldText, newText;
        int context = 3;
    };
    const Case cases[] = {
        {"change at start", twenty, "first\n" + Numbered(2, 20)},
        {"change at end", twenty, Numbered(1, 19) + "last\n"},
        {"insert only", twenty, Numbered(1, 10) + "new a\nnew b\n" + Numbered(11, 20)},
        {"delete only", twenty, Numbered(1, 7) + Numbered(10, 20)},
        {"insert only without context", twenty, Numbered(1, 10) + "new\n" + Numbered(11, 20), 0},
        {"delete only without context", twenty, Numbered(1, 7) + Numbered(9, 20), 0},
        {"one line hunks", twenty, Numbered(1, 9) + "x\n" + Numbered(11, 20), 0},
        {"hunks far apart", Numbered(1, 60),
         Numbered(1, 4) + "a\n" + Numbered(6, 30) + "b\n" + Numbered(32, 55) + "c\n" +
             Numbered(57, 60)},
        // Six same lines between two changes join them at three lines of context, seven do not.
        {"hunks joined", twenty, Numbered(1, 4) + "a\n" + Numbered(6, 11) + "b\n" + Numbered(13, 20)},
        {"hunks apart", twenty, Numbered(1, 4) + "a\n" + Numbered(6, 12) + "b\n" + Numbered(14, 20)},
        {"hunks joined at one line of context", twenty,
         Numbered(1, 4) + "a\n" + Numbered(6, 7) + "b\n" + Numbered(9, 20), 1},
        {"old without newline at end", "a\nb\nc", "a\nb\nd\n"},
        {"new without newline at end", "a\nb\nc\n", "a\nb\nd"},
        {"newline added at end only", "a\nb\nc", "a\nb\nc\n"},
        {"neither ends in newline", "a\nb\nc", "a\nx\nc"},
        {"same last line without newline as context", "a\nb\nc", "x\nb\nc"},
        {"empty old", "", "a\nb\n"},
        {"empty new", "a\nb\n", ""},
        {"blank and whitespace lines", "a\n\n  \nb\n", "a\n \n\nb\n"},
        {"carriage returns", "a\r\nb\r\n", "a\nb\r\n"},
        {"whole text", twenty, Numbered(1, 9) + "x\n" + Numbered(11, 20), 100},
    };
    TempDir dir("diff");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CTextDiff diff = CTextDiff::Compare(c.oldText, c.newText);
        EXPECT_EQ(FormatUnifiedDiff(diff, "old", "new", c.context),
                  GnuDiff(dir, c.oldText, c.newText, c.context));
    }
}

TEST(TextDiff, ScatteredEditsMatchGnuDiff) {
    if (testing::FindProgram("diff").empty())
        GTEST_SKIP() << "GNU diff is not installed";
    // Unique lines with edits of every kind at random places; a fixed seed keeps it repeatable.
    std::mt19937 random(23);
    std::string oldText, newText;
    for (int i = 0; i < 3000; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        switch (random() % 40) {
        case 0: oldText += line; break;                                  // removed
        case 1: newText += "new " + std::to_string(i) + "\n"; break;     // added
        case 2: oldText += line; newText += "changed " + line; break;    // changed
        default: oldText += line; newText += line; break;
        }
    }
    TempDir dir("diff");
    const CTextDiff diff = CTextDiff::Compare(oldText, newText);
    EXPECT_EQ(FormatUnifiedDiff(diff, "old", "new"), GnuDiff(dir, oldText, newText, 3));
}

TEST(TextDiff, AlignsLinesAndPairsChangedOnes) {
    const CTextDiff diff = CTextDiff::Compare("a\nb\nc\nd\n", "a\nB\nC\nX\nd\n");
    EXPECT_EQ(diff.Removed(), 2);
    EXPECT_EQ(diff.Added(), 3);
    EXPECT_FALSE(diff.Equal());
    const auto& lines = diff.Lines();
    ASSERT_EQ(lines.size(), 7u);
    std::string ops;
    for (const DiffLine& line : lines)
        ops += line.op == LineOp::Same ? ' ' : line.op == LineOp::Removed ? '-' : '+';
    EXPECT_EQ(ops, " --+++ ");
    // The i-th removed line goes with the i-th added one; the extra added line has no partner.
    EXPECT_EQ(lines[1].partner, 3);
    EXPECT_EQ(lines[3].partner, 1);
    EXPECT_EQ(lines[2].partner, 4);
    EXPECT_EQ(lines[5].partner, -1);
    EXPECT_EQ(diff.Text(lines[2]), "c");
    EXPECT_EQ(diff.Text(lines[5]), "X");
    EXPECT_EQ(lines[6].oldLine, 3);
    EXPECT_EQ(lines[6].newLine, 4);

    // The hunks a viewer draws: none for equal texts, the whole text with a negative context.
    EXPECT_TRUE(CTextDiff::Compare("a\n", "a\n").Hunks(3).empty());
    const auto whole = diff.Hunks(-1);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].count, 7);
    EXPECT_EQ(whole[0].oldCount, 4);
    EXPECT_EQ(whole[0].newCount, 5);
}

TEST(TextDiff, EqualTextsGiveNoDiff) {
    const CTextDiff diff = CTextDiff::Compare("same\ntext", "same\ntext");
    EXPECT_TRUE(diff.Equal());
    EXPECT_EQ(FormatUnifiedDiff(diff, "old", "new"), "");
    EXPECT_TRUE(CTextDiff::Compare("", "").Lines().empty());
}

TEST(TextDiff, CopiesKeepTheirLines) {
    // Short texts live inside the string object itself; a copy or move must not point into the
    // object it came from.
    CTextDiff copy;
    {
        const CTextDiff diff = CTextDiff::Compare("a\nb\n", "a\nc\n");
        copy = diff;
    }
    const CTextDiff moved = std::move(copy);
    EXPECT_EQ(moved.OldLine(1), "b");
    EXPECT_EQ(moved.NewLine(1), "c");
}

// The changed words of the removed line (index 0) and of the added one (index 1), as texts.
std::pair<std::string, std::string> MarkedWords(std::string oldLine, std::string newLine) {
    const CTextDiff diff = CTextDiff::Compare(oldLine + "\n", newLine + "\n");
    const auto marks = [&](std::int32_t index) {
        std::string text;
        const std::string_view line = diff.Text(diff.Lines()[static_cast<std::size_t>(index)]);
        for (const WordSpan& span : diff.ChangedWords(index))
            text.append("[").append(line.substr(span.begin, span.end - span.begin)).append("]");
        return text;
    };
    return {marks(0), marks(1)};
}

TEST(TextDiff, MarksTheChangedWords) {
    struct Case {
        const char* oldLine;
        const char* newLine;
        const char* oldMarks;
        const char* newMarks;
    };
    const Case cases[] = {
        {"Price: 10 EUR", "Price: 12 EUR", "[10]", "[12]"},
        {"Price: 10.50 EUR", "Price: 10.75 EUR", "[50]", "[75]"},
        {"the quick brown fox", "the slow red fox", "[quick brown]", "[slow red]"},
        {"one two", "one new two", "", "[new ]"},
        {"Größe: 5", "Größe: 6", "[5]", "[6]"},
        {"Prix: 10 €", "Prix: 10 $", "[€]", "[$]"},
        {"abc", "xyz", "[abc]", "[xyz]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oldLine);
        const auto [oldMarks, newMarks] = MarkedWords(c.oldLine, c.newLine);
        EXPECT_EQ(oldMarks, c.oldMarks);
        EXPECT_EQ(newMarks, c.newMarks);
    }
    // A line without a partner has no marks of its own: all of it is new.
    const CTextDiff added = CTextDiff::Compare("", "new\n");
    EXPECT_TRUE(added.ChangedWords(0).empty());
    EXPECT_TRUE(added.ChangedWords(5).empty());
}

TEST(TextDiff, LongVeryDifferentLinesAreMarkedWhole) {
    std::string oldLine, newLine;
    for (int i = 0; i < 2000; ++i) {
        oldLine += "o" + std::to_string(i) + " ";
        newLine += "n" + std::to_string(i) + ",";
    }
    const CTextDiff diff = CTextDiff::Compare("k " + oldLine + "\n", "k " + newLine + "\n");
    const auto spans = diff.ChangedWords(0);
    ASSERT_EQ(spans.size(), 1u);
    // All but the shared "k " at the start.
    EXPECT_EQ(spans[0].begin, 2);
    EXPECT_EQ(spans[0].end, static_cast<std::int32_t>(oldLine.size()) + 2);
}

TEST(TextDiff, UnrelatedLargeTextsComplete) {
    // Two texts with no line in common: the cost heuristics keep this far from quadratic.
    std::string oldText, newText;
    for (int i = 0; i < 20000; ++i) {
        oldText += "old line " + std::to_string(i * 7919 % 20000) + "\n";
        newText += "new line " + std::to_string(i * 104729 % 20000) + "\n";
    }
    const CTextDiff diff = CTextDiff::Compare(oldText, newText);
    EXPECT_EQ(diff.Removed(), 20000);
    EXPECT_EQ(diff.Added(), 20000);
}

TEST(TextDiff, SummaryText) {
    EXPECT_EQ(ChangeSummaryText(12, 3), "12 lines added, 3 removed");
    EXPECT_EQ(ChangeSummaryText(1, 1), "1 line added, 1 removed");
    EXPECT_EQ(ChangeSummaryText(1, 0), "1 line added");
    EXPECT_EQ(ChangeSummaryText(0, 3), "3 lines removed");
    EXPECT_EQ(ChangeSummaryText(0, 1), "1 line removed");
    EXPECT_EQ(ChangeSummaryText(0, 0), "No lines changed");
}

}  // namespace
}  // namespace tellweir
