// CDiffView: the differences of two versions, coloured: removed lines on a red, added lines on a
// green ground, the words that differ inside a changed line marked stronger; unified or side by
// side, the changes alone with their context or the whole text. Like the log view it draws only
// the rows in view, straight from the diff: no widget or text document per line, so a diff of
// many megabytes opens and scrolls as fast as a short one. Rows are selected whole.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <memory>

#include "diff/text_diff.h"
#include "shell/changes_view/diff_rows.h"

namespace tellweir {

// The colours of a diff on a palette: readable on light and dark bases alike.
struct DiffColors {
    QColor removedBack, removedWord, addedBack, addedWord, hunkBack, hunkText, number;
};
DiffColors DiffColorsFor(const QPalette& palette);

class CDiffView final : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit CDiffView(QWidget* parent = nullptr);
    ~CDiffView() override;

    // Shows `diff` (null: nothing) from its first row.
    void SetDiff(std::shared_ptr<const CTextDiff> diff);
    const CTextDiff* Diff() const { return diff_.get(); }
    // The layout and the context lines (negative: the whole text); the row in view is kept.
    void SetLayout(DiffLayout layout);
    void SetContext(int context);
    DiffLayout Layout() const { return layout_; }
    int Context() const { return context_; }
    const CDiffRows& Rows() const { return rows_; }

    int TopRow() const { return top_; }
    int LeftColumn() const { return left_; }
    int CurrentRow() const { return caret_; }
    int VisibleRows() const;
    int RowHeight() const { return rowHeight_; }
    // Makes `row` current (the selection emptied) and brings it into view.
    void SetCurrentRow(int row);
    void ScrollTo(int topRow, int leftColumn);

    // Moves to the start of the next / previous change; false when there is none.
    bool NextChange();
    bool PreviousChange();

    bool HasSelection() const { return anchor_ != caret_ || selected_; }
    void SelectAll();
    // The selected rows as unified diff lines ("-old", "+new", " same"), one a line.
    QString SelectedText() const;
    // Copies the selection, if any; false when nothing is selected.
    bool Copy();

  signals:
    void currentRowChanged(int row);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Lays the rows out anew, keeping the caret on the line it was on.
    void Rebuild();
    void UpdateScrollBars();
    void MoveCaret(int row, bool extend);
    void EnsureVisible(int row);
    int RowAt(int y) const;
    int NumberColumns() const;
    // Where a side is drawn: the one column of the unified layout (both line numbers), or the
    // old or new half of the side-by-side one (that text's line number).
    enum class Side { Unified, Old, New };
    // Draws one side of a row: line `index` of the diff (or a blank side for -1) in the area
    // from `x`, `width` wide.
    void DrawSide(QPainter& painter, const DiffColors& colors, int x, int y, int width,
                  std::int32_t index, bool selected, Side side) const;
    void DrawNumber(QPainter& painter, int x, int y, std::int32_t number, bool selected) const;
    void AppendRowText(QString& out, const DiffRow& row) const;

    std::shared_ptr<const CTextDiff> diff_;
    CDiffRows rows_;
    DiffLayout layout_ = DiffLayout::Unified;
    int context_ = 3;
    QFont font_;
    int rowHeight_ = 1;
    int charWidth_ = 1;
    int ascent_ = 0;
    int top_ = 0;
    int left_ = 0;
    int anchor_ = 0;
    int caret_ = 0;
    bool selected_ =
        false;  // a click, a drag or Ctrl+A selected; a caret moved alone selects nothing
    bool syncingBars_ = false;
};

}  // namespace tellweir
