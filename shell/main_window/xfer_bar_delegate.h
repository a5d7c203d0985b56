// CXferBarDelegate: draws the "Xfer %" cell as a bar under its text: a sunken frame inset by 2
// pixels, filled from the left over the percentage, dark green in a selected row and light grey
// otherwise.
#pragma once

#include <QStyledItemDelegate>

namespace tellweir {

class CXferBarDelegate final : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    static const QColor kSelectedFill;
    static const QColor kFill;
};

}  // namespace tellweir
