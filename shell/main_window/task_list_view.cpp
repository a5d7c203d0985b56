// The task list view.
#include "shell/main_window/task_list_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <algorithm>
#include <set>

#include "shell/main_window/window_layout.h"
#include "shell/main_window/xfer_bar_delegate.h"

namespace tellweir {

CTaskListView::CTaskListView(CTaskListModel* model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setModel(model_);
    setItemDelegateForColumn(kColumnXfer, new CXferBarDelegate(this));
    // A longer error in a row may need room from the URL column: one fit per turn of the event
    // loop, however many rows changed.
    connect(model_, &QAbstractItemModel::dataChanged, this, [this] {
        if (fitQueued_) return;
        fitQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                fitQueued_ = false;
                FitUrlColumn();
            },
            Qt::QueuedConnection);
    });
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    verticalHeader()->hide();
    // Rows of one height: the view then lays out only the rows it shows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    for (int column = 0; column < kTaskColumnCount; ++column)
        setColumnWidth(column, FittingWidth(column));
    header->setSortIndicator(model_->SortColumn(), model_->SortOrder());
    connect(header, &QHeaderView::sectionClicked, this, &CTaskListView::SortByHeader);
    setIconSize(QSize(16, 16));
}

int CTaskListView::FittingWidth(int column) const {
    // The widths as designed, widened where today's fonts would cut the header or a full cell.
    const QFontMetrics cells = fontMetrics();
    const QFontMetrics headers = horizontalHeader()->fontMetrics();
    int needed =
        headers.horizontalAdvance(QString::fromLatin1(CTaskListModel::Header(column))) + 14;
    switch (column) {
        case kColumnFirstRun:
        case kColumnNextRun:
        case kColumnLastRun:
            needed = std::max(needed,
                              cells.horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 12);
            break;
        case kColumnXfer:
            needed = std::max(needed, cells.horizontalAdvance(QStringLiteral("100.00 %")) + 14);
            break;
        case kColumnStatus:
            needed = 24;
            break;
        default:
            break;
    }
    return std::max(CTaskListModel::DefaultWidth(column), needed);
}

std::vector<MonitorTaskPtr> CTaskListView::SelectedTasks() const {
    std::set<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.insert(index.row());
    std::vector<MonitorTaskPtr> tasks;
    for (int row : rows)
        if (MonitorTaskPtr task = model_->TaskAt(row)) tasks.push_back(task);
    return tasks;
}

int CTaskListView::SelectedCount() const {
    return static_cast<int>(selectionModel()->selectedRows().size());
}

void CTaskListView::SelectTask(const CMonitorTask* task) {
    const int row = model_->RowOf(task);
    if (row < 0) return;
    const QModelIndex index = model_->index(row, kColumnName);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
    model_->RefreshRow(row);
}

void CTaskListView::ApplyColumnWidths(const QString& saved) {
    const std::vector<int> widths = ParseColumnWidths(saved, kTaskColumnCount);
    for (std::size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(static_cast<int>(i), widths[i]);
    FitUrlColumn();
}

std::vector<int> CTaskListView::ColumnWidths() const {
    std::vector<int> widths;
    for (int column = 0; column < kTaskColumnCount; ++column)
        widths.push_back(columnWidth(column));
    return widths;
}

void CTaskListView::FitUrlColumn() {
    const int viewWidth = viewport()->width();
    const int errorWidth = std::min(sizeHintForColumn(kColumnLastError), viewWidth / 3);
    if (errorWidth > columnWidth(kColumnLastError)) {
        int fixed = 100;  // the URL column's least
        for (int column = 0; column < kTaskColumnCount; ++column)
            if (column != kColumnUrl && column != kColumnLastError) fixed += columnWidth(column);
        const int room = viewWidth - fixed;
        if (room > columnWidth(kColumnLastError))
            setColumnWidth(kColumnLastError, std::min(errorWidth, room));
    }
    int others = 0;
    for (int column = 0; column < kTaskColumnCount; ++column)
        if (column != kColumnUrl) others += columnWidth(column);
    setColumnWidth(kColumnUrl, std::max(100, viewport()->width() - others));
}

void CTaskListView::SortByHeader(int column) {
    Qt::SortOrder order = model_->SortOrder();
    if (column == model_->SortColumn())
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    model_->sort(column, order);
    horizontalHeader()->setSortIndicator(column, order);
}

void CTaskListView::SetContextMenu(QMenu* menu, QAction* defaultAction) {
    contextMenu_ = menu;
    defaultAction_ = defaultAction;
}

bool CTaskListView::viewportEvent(QEvent* event) {
    const bool handled = QTableView::viewportEvent(event);
    // Ctrl held keeps the URL column as the user set it while resizing.
    if (event->type() == QEvent::Resize &&
        !(QApplication::keyboardModifiers() & Qt::ControlModifier))
        FitUrlColumn();
    return handled;
}

void CTaskListView::contextMenuEvent(QContextMenuEvent* event) {
    if (!contextMenu_) return;
    // From the keyboard: 5 pixels inside the list's top-left corner.
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? viewport()->mapToGlobal(QPoint(5, 5))
                          : event->globalPos();
    contextMenu_->setDefaultAction(defaultAction_);
    contextMenu_->popup(at);
}

void CTaskListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (SelectedCount() == 1 && indexAt(event->position().toPoint()).isValid()) emit rowActivated();
}

}  // namespace tellweir
