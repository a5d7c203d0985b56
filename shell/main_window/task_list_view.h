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
    // Widens "URL" to the width the other columns leave, never below 100 pixels.
    void FitUrlColumn();
    // Sorts by `column` as a header click does: the sorted column again reverses the order,
    // another keeps it.
    void SortByHeader(int column);

    // The menu the context menu shows (the "&Item" menu) and its default action.
    void SetContextMenu(QMenu* menu, QAction* defaultAction);

  signals:
    void rowActivated();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    CTaskListModel* model_;
    QMenu* contextMenu_ = nullptr;
    QAction* defaultAction_ = nullptr;
};

}  // namespace tellweir
