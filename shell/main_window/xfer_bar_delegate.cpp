// The "Xfer %" bar.
#include "shell/main_window/xfer_bar_delegate.h"

#include <QApplication>
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
        // The row's background alone (the style would draw the text too, a pixel or two off
        // the one drawn below), then the bar, then the text over it.
        const QString text = cell.text;
        cell.text.clear();
        cell.features &= ~QStyleOptionViewItem::HasDisplay;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();

        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
        const QRect frame = option.rect.adjusted(2, 2, -2, -2);
        const double share = std::clamp(percent.toDouble(), 0.0, 100.0) / 100.0;
        QRect fill = frame.adjusted(1, 1, -1, -1);
        fill.setWidth(static_cast<int>(fill.width() * share));
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawRect(frame.adjusted(0, 0, -1, -1));
        painter->fillRect(fill, selected ? kSelectedFill : kFill);
        // Text readable on the bar and on the empty part alike: each part in its own colour.
        const QRect textRect = frame.adjusted(2, 0, -3, 0);
        const int flags = Qt::AlignVCenter | Qt::AlignRight;
        const QColor onEmpty = option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);
        painter->setClipRect(QRect(fill.right() + 1, frame.top(), frame.width(), frame.height()));
        painter->setPen(onEmpty);
        painter->drawText(textRect, flags, text);
        if (fill.width() > 0) {
            painter->setClipRect(fill);
            painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
            painter->drawText(textRect, flags, text);
        }
        painter->restore();
        return;
    }
    QStyledItemDelegate::paint(painter, option, index);
}

}  // namespace tellweir
