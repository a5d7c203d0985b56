// The rows of the diff view and the pair a View Changes window opens on.
#include "shell/changes_view/diff_rows.h"

#include <gtest/gtest.h>

#include "shell/changes_view/changes_loader.h"

namespace tellweir {
namespace {

// "line 0\n" ... "line <count-1>\n", with the lines in `changed` replaced.
std::string Page(int count, std::initializer_list<int> changed = {}) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const bool change = std::find(changed.begin(), changed.end(), i) != changed.end();
        text += (change ? "price " : "line ") + std::to_string(i) + "\n";
    }
    return text;
}

TEST(DiffRowsTest, LongPageWithTwoChangesShowsTwoShortHunks) {
    const CTextDiff diff = CTextDiff::Compare(Page(1000), Page(1000, {100, 700}));
    CDiffRows rows;
    rows.Build(diff, DiffLayout::Unified, 3);
    ASSERT_EQ(rows.Hunks().size(), 2U);
    // Each hunk: its header, 3 lines above, the removed and the added line, 3 lines below.
    EXPECT_EQ(rows.Count(), 2 * (1 + 3 + 2 + 3));
    EXPECT_EQ(rows.ChangeStarts(), (std::vector<int>{4, 13}));
    EXPECT_EQ(HunkHeader(rows.Hunks()[0]), "@@ -98,7 +98,7 @@");
    EXPECT_EQ(rows.NextChange(0), 4);
    EXPECT_EQ(rows.NextChange(4), 13);
    EXPECT_EQ(rows.NextChange(13), -1);
    EXPECT_EQ(rows.PreviousChange(13), 4);
    EXPECT_EQ(rows.PreviousChange(4), -1);

    // The whole text: one row a line, no headers, the same two changes.
    rows.Build(diff, DiffLayout::Unified, -1);
    EXPECT_EQ(rows.Count(), 1002);
    EXPECT_EQ(rows.Rows()[0].kind, DiffRowKind::Line);
    EXPECT_EQ(rows.ChangeStarts(), (std::vector<int>{100, 701}));
}

TEST(DiffRowsTest, SideBySidePairsRemovedWithAddedLines) {
    // Two lines become three, then one line is only removed.
    const CTextDiff diff =
        CTextDiff::Compare("a\nold 1\nold 2\nb\ngone\nc\n", "a\nnew 1\nnew 2\nnew 3\nb\nc\n");
    CDiffRows rows;
    rows.Build(diff, DiffLayout::SideBySide, -1);
    const auto side = [&](std::int32_t index) {
        return index < 0 ? std::string("-") : std::string(diff.Text(diff.Lines()[index]));
    };
    std::vector<std::pair<std::string, std::string>> shown;
    for (const DiffRow& row : rows.Rows())
        shown.emplace_back(side(row.left), side(row.right));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"a", "a"}, {"old 1", "new 1"}, {"old 2", "new 2"}, {"-", "new 3"},
        {"b", "b"}, {"gone", "-"},      {"c", "c"},
    };
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(rows.ChangeStarts(), (std::vector<int>{1, 5}));
}

TEST(DiffRowsTest, EqualTextsHaveNoRowsInChangesOnlyView) {
    const CTextDiff diff = CTextDiff::Compare(Page(10), Page(10));
    CDiffRows rows;
    rows.Build(diff, DiffLayout::Unified, 3);
    EXPECT_EQ(rows.Count(), 0);
    EXPECT_EQ(rows.NextChange(-1), -1);
}

TEST(DefaultPairTest, OpensOnWhatIsNewSinceTheLastViewed) {
    const auto versions = [](std::initializer_list<std::int32_t> numbers) {
        std::vector<VersionRecord> records;
        for (std::int32_t n : numbers) {
            VersionRecord record;
            record.number = n;
            records.push_back(record);
        }
        return records;
    };
    const struct {
        std::vector<VersionRecord> versions;
        std::int32_t viewed;
        std::pair<std::int32_t, std::int32_t> pair;
    } cases[] = {
        {versions({3, 4, 5}), 0, {4, 5}},  // nothing viewed yet: the last change
        {versions({3, 4, 5}), 3, {3, 5}},  // two changes since: seen together
        {versions({3, 4, 5}), 4, {4, 5}},
        {versions({3, 4, 5}), 5, {4, 5}},  // all seen: the last change again
        {versions({3, 4, 5}), 1, {4, 5}},  // the viewed one is no longer kept
        {versions({7}), 0, {0, 7}},        // a lone version against nothing
        {versions({}), 0, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "viewed " << c.viewed << " of " << c.versions.size());
        EXPECT_EQ(DefaultPair(c.versions, c.viewed), c.pair);
    }
}

}  // namespace
}  // namespace tellweir
