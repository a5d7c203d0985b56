// The task list model: rows, cells, refresh by change stamp and the sort order.
#include "shell/main_window/task_list_model.h"

#include <QFont>
#include <algorithm>
#include <unordered_set>

#include "shell/widgets/shell_icons.h"

namespace tellweir {

namespace {

struct ColumnInfo {
    const char* header;
    int width;
    bool right;
};

constexpr ColumnInfo kColumns[kTaskColumnCount] = {
    {"#", 20, false},
    {"Name", 80, false},
    {"URL", 200, false},
    {"First Run Time", 120, false},
    {"Next Run Time", 120, false},
    {"Last Run Time", 120, false},
    {"Count", 44, true},
    {"Errors", 44, true},
    {"Xfer %", 60, true},
    {"Bytes Sent", 68, true},
    {"Bytes Recv", 68, true},
    {"Last Error", 80, false},
};

}  // namespace

CTaskListModel::CTaskListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int i = 0; i < static_cast<int>(statusIcons_.size()); ++i)
        statusIcons_[static_cast<std::size_t>(i)] = StatusIcon(static_cast<StatusImage>(i));
}

const char* CTaskListModel::Header(int column) {
    return kColumns[column].header;
}

int CTaskListModel::DefaultWidth(int column) {
    return kColumns[column].width;
}

bool CTaskListModel::RightAligned(int column) {
    return kColumns[column].right;
}

int CTaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CTaskListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTaskColumnCount;
}

QVariant CTaskListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const TaskRow& row = rows_[static_cast<std::size_t>(index.row())].cells;
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return column == kColumnStatus ? QVariant() : QString::fromStdString(row.Text(column));
        case Qt::DecorationRole:
            if (column != kColumnStatus) return {};
            return statusIcons_[static_cast<std::size_t>(row.Image())];
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (RightAligned(column) ? Qt::AlignRight : Qt::AlignLeft));
        case Qt::ToolTipRole:
            if (column == kColumnUrl || column == kColumnName)
                return QString::fromStdString(row.Text(column));
            return {};
        case Qt::FontRole: {
            if (!row.unseen) return {};
            // Changes the user has not looked at yet stand out until View Changes shows them.
            QFont font;
            font.setBold(true);
            return font;
        }
        case Qt::UserRole:  // the bar of the "Xfer %" cell
            return column == kColumnXfer ? QVariant(row.XferPercent()) : QVariant();
        default:
            return {};
    }
}

QVariant CTaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kTaskColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(Header(section));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (RightAligned(section) ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

void CTaskListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kTaskColumnCount) return;
    sortColumn_ = column;
    order_ = order;
    SortRows();
}

void CTaskListModel::SortRows() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<const CMonitorTask*> tasksBefore;
    tasksBefore.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        tasksBefore.push_back(rows_[static_cast<std::size_t>(index.row())].task.get());

    const bool ascending = order_ == Qt::AscendingOrder;
    std::stable_sort(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) {
        return RowLess(a.cells, b.cells, sortColumn_, ascending);
    });
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i].task->SetListRow(static_cast<std::int32_t>(i));

    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(index(RowOf(tasksBefore[static_cast<std::size_t>(i)]), before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CTaskListModel::SetTasks(const std::vector<MonitorTaskPtr>& tasks) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(tasks.size());
    for (const MonitorTaskPtr& task : tasks)
        rows_.push_back({task, TaskRow::Read(*task)});
    endResetModel();
    SortRows();
}

int CTaskListModel::AddTask(const MonitorTaskPtr& task) {
    const int row = static_cast<int>(rows_.size());
    beginInsertRows({}, row, row);
    rows_.push_back({task, TaskRow::Read(*task)});
    endInsertRows();
    SortRows();
    return RowOf(task.get());
}

void CTaskListModel::RemoveTasks(const std::vector<MonitorTaskPtr>& tasks) {
    std::unordered_set<const CMonitorTask*> gone;
    for (const MonitorTaskPtr& task : tasks)
        gone.insert(task.get());
    // From the bottom up, each run of adjacent rows in one step.
    for (int row = static_cast<int>(rows_.size()) - 1; row >= 0;) {
        if (!gone.contains(rows_[static_cast<std::size_t>(row)].task.get())) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && gone.contains(rows_[static_cast<std::size_t>(first - 1)].task.get()))
            --first;
        beginRemoveRows({}, first, row);
        rows_.erase(rows_.begin() + first, rows_.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i].task->SetListRow(static_cast<std::int32_t>(i));
}

int CTaskListModel::Refresh() {
    int changed = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        if (row.task->GetStamp() == row.cells.stamp) continue;
        RefreshRow(static_cast<int>(i));
        ++changed;
    }
    return changed;
}

void CTaskListModel::RefreshRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    Row& entry = rows_[static_cast<std::size_t>(row)];
    entry.cells = TaskRow::Read(*entry.task);
    emit dataChanged(index(row, 0), index(row, kTaskColumnCount - 1));
}

MonitorTaskPtr CTaskListModel::TaskAt(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return {};
    return rows_[static_cast<std::size_t>(row)].task;
}

int CTaskListModel::RowOf(const CMonitorTask* task) const {
    // The task remembers its row; the scan is the fallback for a row it was not told yet.
    const std::int32_t remembered = task->GetListRow();
    if (remembered >= 0 && remembered < static_cast<int>(rows_.size()) &&
        rows_[static_cast<std::size_t>(remembered)].task.get() == task)
        return remembered;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].task.get() == task) return static_cast<int>(i);
    return -1;
}

}  // namespace tellweir
