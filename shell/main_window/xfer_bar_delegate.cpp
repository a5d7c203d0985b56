// The "Xfer %" bar.
#include "shell/main_window/xfer_bar_delegate.h"

#include <QPainter>
#include <algorithm>

namespace tellweir {

const QColor CXferBarDelegate::kSelectedFill(0, 100, 0);
const QColor CXferBarDelegate::kFill(200, 200, 200);

void CXferBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QVariant percent = index.data(Qt::UserRole);
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const bool selected = option.state & (QStyle::State_Selected | QStyle::State_HasFocus);
    if (percent.isValid() && percent.toDouble() >= 0) {
        // The row's background first, then the bar, then the text over it.
        const QString text = cell.text;
        cell.text.clear();
        QStyledItemDelegate::paint(painter, cell, QModelIndex());
        const QRect frame = option.rect.adjusted(2, 2, -2, -2);
        const double share = std::clamp(percent.toDouble(), 0.0, 100.0) / 100.0;
        QRect fill = frame.adjusted(1, 1, -1, -1);
        fill.setWidth(static_cast<int>(fill.width() * share));
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawRect(frame.adjusted(0, 0, -1, -1));
        painter->fillRect(fill, selected ? kSelectedFill : kFill);
        // Text readable on the bar and on the empty part alike.
        painter->setPen(selected ? QColor(Qt::white) : option.palette.color(QPalette::Text));
        if (!selected && share > 0.5) painter->setPen(QColor(Qt::black));
        painter->drawText(frame.adjusted(2, 0, -3, 0), Qt::AlignVCenter | Qt::AlignRight, text);
        painter->restore();
        return;
    }
    QStyledItemDelegate::paint(painter, option, index);
}

}  // namespace tellweir
