// CTaskListView: the task list: a table over CTaskListModel with the status images, the
// "Xfer %" bar, sorting by a header click, column widths from the settings and a URL column that
// takes the width the others leave.
#pragma once

#include <QTableView>
#include <vector>

#include "shell/main_window/task_list_model.h"

class QMenu;

namespace tellweir {

class CTaskListView final : public QTableView {
    Q_OBJECT

  public:
    explicit CTaskListView(CTaskListModel* model, QWidget* parent = nullptr);

    CTaskListModel* Model() const { return model_; }
    // The selected rows' tasks, top to bottom.
    std::vector<MonitorTaskPtr> SelectedTasks() const;
    int SelectedCount() const;
    // Selects the row of `task` alone and shows it.
    void SelectTask(const CMonitorTask* task);

    // Column widths: applied from the saved text (clamped), and as they are now.
    void ApplyColumnWidths(const QString& saved);
    std::vector<int> ColumnWidths() const;
    // A column's width as created: the designed width, or what its header and a full cell need
    // in the current font when that is more.
    int FittingWidth(int column) const;
    // Widens "URL" to the width the other columns leave, never below 100 pixels. "Last Error"
    // first grows to the longest error the shown rows hold (up to a third of the view) when there
    // is room: the URL column is elided anyway, an error cut short says nothing.
    void FitUrlColumn();
    // Sorts by `column` as a header click does: the sorted column again reverses the order,
    // another keeps it.
    void SortByHeader(int column);

    // The menu the context menu shows (the "&Item" menu) and its default action.
    void SetContextMenu(QMenu* menu, QAction* defaultAction);

  signals:
    void rowActivated();

  protected:
    // The viewport's size changes with the window and with the vertical scroll bar coming or
    // going: the URL column takes what the others leave either way.
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    CTaskListModel* model_;
    bool fitQueued_ = false;  // a fit of the columns waits for the event loop
    QMenu* contextMenu_ = nullptr;
    QAction* defaultAction_ = nullptr;
};

}  // namespace tellweir
