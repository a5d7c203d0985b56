// CColorEditView: a read-only text view with a fixed-pitch font, a line-number gutter and
// coloured lines, drawn line by line for the visible rows only. It follows an item log: the
// log's observer (the desktop port) passes each change back on the GUI thread, and the view
// reads only the bytes added since its last refresh (the whole text after a clear or a trim),
// at most once a frame, and keeps showing the end while the user has it in view.
#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QTimer>
#include <compare>
#include <memory>
#include <string_view>

#include "log/item_log.h"
#include "shell/log_view/log_colorizer.h"
#include "shell/log_view/text_buffer.h"

namespace tellweir {

// A place in the text: a line and a byte offset in it, at a character boundary.
struct TextPos {
    int line = 0;
    int offset = 0;
    // clang-tidy 14 takes the 0 of the defaulted comparison for a null pointer.
    auto operator<=>(const TextPos&) const = default;  // NOLINT(modernize-use-nullptr)
};

// The contrast ratio of two colours, 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

class CColorEditView final : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit CColorEditView(QWidget* parent = nullptr);
    ~CColorEditView() override;

    // The text's point size in tenths ("Courier New", else "Courier", else the desktop's fixed
    // font).
    void SetFontSize(int tenths);
    // The view never changes its text from the keyboard; the flag is kept for its callers.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool IsReadOnly() const { return readOnly_; }
    void SetBuffer(std::unique_ptr<CTextBuffer> buffer);
    void SetColorizer(std::unique_ptr<CTextColorizer> colorizer);
    void SetTabSize(int tabSize);
    const CTextBuffer& Buffer() const { return *buffer_; }

    // Who is added to an attached log as its observer; it must call LogChanged on this thread.
    void SetLogObserver(ILogObserver* observer) { observer_ = observer; }
    // Shows `log` (null: none) from its start; the view keeps its own reference.
    void AttachLog(const ItemLogPtr& log);
    const ItemLogPtr& AttachedLog() const { return log_; }
    // Reads what the log gained since the last refresh; a view at the end scrolls to the new end
    // and the left edge, one scrolled elsewhere stays where it is.
    void RefreshFromLog();
    // The log `logId` changed: refreshes now, or at the next frame when it just did.
    void LogChanged(int logId);

    // Replaces the text (selection emptied, caret at the start) or adds to its end. Both set the
    // left column to 0; `topLine` 0 shows the start, a positive one is the top line (clamped, so
    // 1,000,000 shows the end), -1 keeps it unless the view follows the end.
    void SetText(std::string_view text, bool redraw, int topLine);
    void AppendText(std::string_view text, bool redraw, int topLine);

    void Copy();
    void SelectAll();
    QString SelectedText() const;
    QString Text() const;
    TextPos Caret() const { return caret_; }
    TextPos Anchor() const { return anchor_; }

    int LineCount() const { return buffer_->LineCount(); }
    int TopLine() const { return top_; }
    int LeftColumn() const { return left_; }
    bool FollowsEnd() const { return followEnd_; }
    // Whether the last line is in view: the view follows the log's end.
    bool AtEnd() const;
    // Rows and columns that show, a partly visible one counted.
    int VisibleLines() const;
    int VisibleColumns() const;
    int LineHeight() const { return lineHeight_; }
    int CharWidth() const { return charWidth_; }
    int GutterColumns() const { return GutterColumnsFor(LineCount()); }
    static int GutterColumnsFor(int lineCount);
    // Scrolls as the scroll bars would, then clamps.
    void ScrollTo(int topLine, int leftColumn);
    // The colour class `colorClass` is drawn in, on this view's palette.
    QColor ClassColor(ColorClass colorClass) const;
    // The background of selected text, and the colour its text of `colorClass` is drawn in
    // there: one that reads well on that background.
    QColor SelectionColor(bool focused) const;
    QColor SelectedTextColor(ColorClass colorClass, bool focused) const;

  protected:
    // Keys that would edit text are this view's while it has the focus: they change nothing,
    // and never reach a shortcut of another window (Del would remove the selected tasks).
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

  private:
    enum class Drag { None, Chars, Words, Lines };

    void ApplyTop(int topLine);
    // Keeps the top line and left column within the text, then recomputes follow end.
    void Clamp();
    void UpdateScrollBars();
    void Redraw();
    void EnsureCaretVisible();
    // Moves the caret; without `extend` the anchor goes with it.
    void MoveCaret(TextPos to, bool extend);
    TextPos PosAt(QPointF point) const;
    bool InGutter(QPointF point) const;
    TextPos LineEnd(int line) const;
    TextPos TextEnd() const;
    TextPos NextPos(TextPos pos) const;
    TextPos PrevPos(TextPos pos) const;
    TextPos WordRight(TextPos pos) const;
    TextPos WordLeft(TextPos pos) const;
    void SelectWordAt(TextPos pos);
    // Selects lines `from` to `to` whole, the caret at the `to` side.
    void SelectLines(int from, int to);
    // Extends the selection being dragged to `point`.
    void DragTo(QPointF point);
    QString Decode(std::string_view bytes) const;
    void UpdateCursorShape(QPointF point);
    int GutterWidth() const { return GutterColumns() * charWidth_; }

    std::unique_ptr<CTextBuffer> buffer_;
    std::unique_ptr<CTextColorizer> colorizer_;
    QFont font_;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    bool readOnly_ = true;
    int top_ = 0;
    int left_ = 0;
    bool followEnd_ = false;
    TextPos anchor_;
    TextPos caret_;
    int wantColumn_ = -1;  // the column vertical moves keep
    Drag drag_ = Drag::None;
    TextPos dragWordStart_;  // the word a word drag started on
    TextPos dragWordEnd_;
    int dragLine_ = 0;  // the line a line drag started on
    int wheelRest_ = 0;
    bool syncingBars_ = false;

    ILogObserver* observer_ = nullptr;
    ItemLogPtr log_;
    std::size_t shownLength_ = 0;
    std::uint32_t lastChange_ = 0;
    std::uint32_t lastLinesDropped_ = 0;
    std::uint64_t lastBytesDropped_ = 0;
    bool reloadNext_ = true;  // the next refresh reads the whole text, whatever the change count
    QTimer refreshTimer_;
    QElapsedTimer sinceRefresh_;
};

}  // namespace tellweir
