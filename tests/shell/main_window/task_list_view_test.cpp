// The task list as it is laid out and drawn: the URL column takes only what the other columns
// leave once "Last Error" has room for its text, and the Xfer bar's text is drawn once.
#include <QHeaderView>
#include <QPixmap>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionViewItem>

#include "log/error_words.h"
#include "shell/main_window/task_list_model.h"
#include "shell/main_window/task_list_view.h"
#include "shell/main_window/task_row.h"
#include "tests/shell/shell_fixture.h"

namespace tellweir::testing {
namespace {

TEST_F(ShellTest, UrlColumnLeavesLastErrorItsRoom) {
    CMainFrame& frame = Frame();
    frame.resize(1430, 400);
    CTaskListView* list = frame.List();
    ASSERT_TRUE(WaitFor([&] { return list->viewport()->width() > 1200; }));
    // Enough tasks, added while the window shows, for the vertical scroll bar to appear; one
    // with a long error.
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(frame.EngineCommands().AddTask(MakeFileTask("task" + std::to_string(i))));
    const MonitorTaskPtr refused = frame.ListModel()->TaskAt(0);
    const QString error = QString::fromStdString(ResultText(10061));
    const int errorWidth = list->fontMetrics().horizontalAdvance(error);
    ASSERT_TRUE(WaitFor([&] { return list->verticalScrollBar()->isVisible(); }));
    EXPECT_TRUE(WaitFor([&] {
        // Again until its first run, which sets a result of its own, is over.
        if (list->model()->index(0, kColumnLastError).data().toString() != error)
            refused->SetLastResult(10061);
        return list->columnWidth(kColumnLastError) > errorWidth &&
               list->horizontalHeader()->length() <= list->viewport()->width() &&
               list->horizontalScrollBar()->maximum() == 0;
    })) << error.toStdString()
        << ": " << list->columnWidth(kColumnLastError) << " for " << errorWidth << "; "
        << list->horizontalHeader()->length() << " in " << list->viewport()->width();
}

// Notes every time the style is asked to draw the Xfer cell with a text of its own.
class TextCellRecorder final : public QProxyStyle {
  public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_ItemViewItem) {
            const auto* cell = qstyleoption_cast<const QStyleOptionViewItem*>(option);
            // A display feature makes some styles draw the model's text again, beside the bar's.
            if (cell && cell->rect == xferCell &&
                (!cell->text.isEmpty() || (cell->features & QStyleOptionViewItem::HasDisplay)))
                ++xferTexts;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    QRect xferCell;  // where the Xfer cell of the first row is drawn
    mutable int xferTexts = 0;
};

TEST_F(ShellTest, XferBarTextIsDrawnOnceByTheBar) {
    const MonitorTaskPtr task = AddFileTask("Page");
    CMainFrame& frame = Frame();
    ASSERT_TRUE(WaitFor(
        [&] { return task->GetState() == TaskState::Waiting && task->Int(task::kCount) > 0; }));
    CTaskListView* list = frame.List();
    ASSERT_TRUE(WaitFor(
        [&] { return list->model()->index(0, kColumnXfer).data(Qt::UserRole).toDouble() >= 0; }));
    auto* recorder = new TextCellRecorder;  // the view does not own a style set on it
    recorder->xferCell = list->visualRect(list->model()->index(0, kColumnXfer));
    list->setStyle(recorder);
    (void)list->viewport()->grab();
    EXPECT_EQ(recorder->xferTexts, 0);
    list->setStyle(nullptr);
    delete recorder;
}

}  // namespace
}  // namespace tellweir::testing
