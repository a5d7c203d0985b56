// CTaskListModel: the task list as a table model over the engine's tasks. Each row keeps the
// task and the cells last read from it; Refresh rereads only the rows whose change stamp moved
// and tells the view about those rows alone.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <array>
#include <vector>

#include "core/monitor_task.h"
#include "shell/main_window/task_row.h"

namespace tellweir {

class CTaskListModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit CTaskListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // Replaces every row by the tasks given, then sorts.
    void SetTasks(const std::vector<MonitorTaskPtr>& tasks);
    // Appends a row for the task, then sorts; returns its row.
    int AddTask(const MonitorTaskPtr& task);
    // Drops the rows of these tasks.
    void RemoveTasks(const std::vector<MonitorTaskPtr>& tasks);
    // Rereads the rows whose task changed since they were read; returns how many did.
    int Refresh();
    // Rereads one row whatever its stamp says.
    void RefreshRow(int row);

    MonitorTaskPtr TaskAt(int row) const;
    int RowOf(const CMonitorTask* task) const;
    const TaskRow& RowAt(int row) const { return rows_[static_cast<std::size_t>(row)].cells; }

    int SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return order_; }

    // The headers, alignments and widths as created.
    static const char* Header(int column);
    static int DefaultWidth(int column);
    static bool RightAligned(int column);

  private:
    struct Row {
        MonitorTaskPtr task;
        TaskRow cells;
    };
    // Sorts the rows and tells each task its row; keeps persistent indexes (the selection).
    void SortRows();

    std::vector<Row> rows_;
    int sortColumn_ = kColumnName;
    Qt::SortOrder order_ = Qt::AscendingOrder;
    std::array<QIcon, 5> statusIcons_;
};

}  // namespace tellweir
