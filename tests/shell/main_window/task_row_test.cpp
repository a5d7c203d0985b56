// The task list's cells and sort order, and the saved window layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "shell/main_window/task_row.h"
#include "shell/main_window/window_layout.h"

namespace tellweir {
namespace {

TaskRow Row(std::string name) {
    TaskRow row;
    row.name = std::move(name);
    return row;
}

// Sorts rows by `column` and gives their names in order.
std::vector<std::string> SortedNames(std::vector<TaskRow> rows, int column, bool ascending) {
    std::stable_sort(rows.begin(), rows.end(), [&](const TaskRow& a, const TaskRow& b) {
        return RowLess(a, b, column, ascending);
    });
    std::vector<std::string> names;
    for (const TaskRow& row : rows)
        names.push_back(row.name);
    return names;
}

TEST(TaskRow, CellsAsTheListShowsThem) {
    TaskRow row = Row("Page");
    row.bytesSent = 1234567;
    row.bytesRecv = 5LL << 30;
    std::tm local{};
    local.tm_sec = 5;
    local.tm_min = 4;
    local.tm_hour = 3;
    local.tm_mday = 2;
    local.tm_mon = 0;
    local.tm_year = 126;
    local.tm_isdst = -1;
    row.lastRun = DateTime::FromTm(local);
    EXPECT_EQ(row.Text(kColumnBytesSent), "1,234,567");
    EXPECT_EQ(row.Text(kColumnBytesRecv), "5,368,709,120");
    EXPECT_EQ(row.Text(kColumnLastRun), "01/02/2026 03:04:05");
    EXPECT_EQ(row.Text(kColumnFirstRun), "");  // unset
    EXPECT_EQ(row.Text(kColumnCount), "0");
    EXPECT_EQ(GroupDigits(-1234), "-1,234");
    EXPECT_EQ(GroupDigits(999), "999");

    struct Xfer {
        std::int64_t done, total;
        const char* text;
    };
    for (const Xfer& x :
         {Xfer{50, 200, "25.00 %"}, Xfer{0, 0, "100.00 %"}, Xfer{300, 200, ""}, Xfer{10, -1, ""}}) {
        row.bytesDone = x.done;
        row.bytesTotal = x.total;
        EXPECT_EQ(row.Text(kColumnXfer), x.text) << x.done << "/" << x.total;
    }

    // Last Error names the result, and a socket error number says what it means.
    for (const auto& [result, text] : {std::pair<TransferResult, const char*>{0, "none"},
                                       {1011, "HTTP 4xx error"},
                                       {10061, "Error 10061, connection refused"}}) {
        row.lastResult = result;
        EXPECT_EQ(row.Text(kColumnLastError), text);
    }
}

TEST(TaskRow, StatusImageByStateResultAndCount) {
    struct Case {
        TaskState state;
        TransferResult result;
        int count;
        StatusImage image;
    };
    const Case cases[] = {
        {TaskState::New, 0, 0, StatusImage::Idle},
        {TaskState::Idle, 1013, 3, StatusImage::Idle},
        {TaskState::Waiting, 0, 0, StatusImage::NotRunYet},
        {TaskState::Working, 1013, 2, StatusImage::Working},
        {TaskState::Waiting, 0, 4, StatusImage::Done},
        {TaskState::Waiting, 1013, 4, StatusImage::Failed},
    };
    for (const Case& c : cases) {
        TaskRow row;
        row.state = c.state;
        row.lastResult = c.result;
        row.count = c.count;
        EXPECT_EQ(row.Image(), c.image) << static_cast<int>(c.state) << " " << c.result;
    }
}

TEST(TaskRow, SortOrderOfEachColumnClass) {
    const DateTime early{38000.5}, late{39000.25};
    std::vector<TaskRow> rows = {Row("beta"), Row("Alpha"), Row("gamma"), Row("Delta")};
    rows[0].lastRun = late;
    rows[1].lastRun = {};  // never ran
    rows[2].lastRun = early;
    rows[3].lastRun = {};
    rows[0].bytesRecv = 5LL << 30;  // 5 GiB after 3 GiB: 64-bit counters
    rows[1].bytesRecv = 3LL << 30;
    rows[2].bytesRecv = 7;
    rows[3].bytesRecv = 0;
    rows[0].state = TaskState::Working;
    rows[1].state = TaskState::Idle;
    rows[2].state = TaskState::Waiting;
    rows[3].state = TaskState::New;

    using Names = std::vector<std::string>;
    EXPECT_EQ(SortedNames(rows, kColumnName, true), (Names{"Alpha", "beta", "Delta", "gamma"}));
    EXPECT_EQ(SortedNames(rows, kColumnName, false), (Names{"gamma", "Delta", "beta", "Alpha"}));
    // Unset times come after set ones in both directions.
    EXPECT_EQ(SortedNames(rows, kColumnLastRun, true), (Names{"gamma", "beta", "Alpha", "Delta"}));
    EXPECT_EQ(SortedNames(rows, kColumnLastRun, false), (Names{"beta", "gamma", "Alpha", "Delta"}));
    EXPECT_EQ(SortedNames(rows, kColumnBytesRecv, true),
              (Names{"Delta", "gamma", "Alpha", "beta"}));
    EXPECT_EQ(SortedNames(rows, kColumnStatus, true), (Names{"Delta", "Alpha", "gamma", "beta"}));
}

TEST(WindowLayout, PlacementRoundTripAndClamping) {
    const QRect screen(0, 0, 1280, 800);
    const WindowPlacement saved{QRect(10, 20, 600, 400), true};
    EXPECT_EQ(FormatPlacement(saved), "10:20:600:400:1");
    const auto back = ParsePlacement(FormatPlacement(saved), screen);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->normal, saved.normal);
    EXPECT_TRUE(back->maximized);

    // Too large: the size is cut to the screen, the position kept on it.
    const auto large = ParsePlacement("-50:700:3000:500:0", screen);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->normal, QRect(0, 300, 1280, 500));
    for (const char* bad : {"", "1:2:3", "a:b:c:d:e", "0:0:0:100:0"})
        EXPECT_FALSE(ParsePlacement(bad, screen)) << bad;
}

TEST(WindowLayout, ColumnWidthsAreClampedAndCounted) {
    EXPECT_EQ(FormatColumnWidths({20, 80, 300}), "20:80:300");
    EXPECT_EQ(ParseColumnWidths("20:5000:-3:7", 3), (std::vector<int>{20, 1000, 0}));
    EXPECT_TRUE(ParseColumnWidths("", 12).empty());
}

}  // namespace
}  // namespace tellweir
