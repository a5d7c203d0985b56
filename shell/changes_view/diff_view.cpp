// The diff view: rows drawn as they come into view.
#include "shell/changes_view/diff_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace tellweir {

namespace {

constexpr int kTabSize = 4;
constexpr int kHorizontalStep = 8;

QString Decode(std::string_view bytes, int& column) {
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\t')) {
            const int next = (column / kTabSize + 1) * kTabSize;
            out.append(QString(next - column, QLatin1Char(' ')));
            column = next;
        } else {
            out.append(c.unicode() < 0x20 ? QLatin1Char(' ') : c);
            if (!c.isLowSurrogate()) ++column;
        }
    }
    return out;
}

int Digits(int value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// A colour blended over the base: the same hue stays readable under the text on both themes.
QColor Over(const QColor& base, const QColor& tint, double amount) {
    return QColor::fromRgbF(
        static_cast<float>(base.redF() + (tint.redF() - base.redF()) * amount),
        static_cast<float>(base.greenF() + (tint.greenF() - base.greenF()) * amount),
        static_cast<float>(base.blueF() + (tint.blueF() - base.blueF()) * amount));
}

}  // namespace

DiffColors DiffColorsFor(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const bool dark = base.lightness() < 128;
    const QColor red = dark ? QColor(248, 81, 73) : QColor(207, 34, 46);
    const QColor green = dark ? QColor(63, 185, 80) : QColor(26, 127, 55);
    const QColor blue = dark ? QColor(121, 192, 255) : QColor(9, 105, 218);
    DiffColors colors;
    colors.removedBack = Over(base, red, dark ? 0.18 : 0.10);
    colors.removedWord = Over(base, red, dark ? 0.45 : 0.30);
    colors.addedBack = Over(base, green, dark ? 0.18 : 0.10);
    colors.addedWord = Over(base, green, dark ? 0.45 : 0.30);
    colors.hunkBack = Over(base, blue, dark ? 0.16 : 0.08);
    colors.hunkText = dark ? blue : QColor(5, 80, 174);
    // Between the text and the ground: quieter than the lines, readable on both themes.
    colors.number = Over(base, palette.color(QPalette::Text), 0.6);
    return colors;
}

CDiffView::CDiffView(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics metrics(font_);
    rowHeight_ = std::max(metrics.height(), 1);
    charWidth_ = std::max(metrics.horizontalAdvance(QLatin1Char('0')), 1);
    ascent_ = metrics.ascent();
}

CDiffView::~CDiffView() = default;

void CDiffView::SetDiff(std::shared_ptr<const CTextDiff> diff) {
    diff_ = std::move(diff);
    top_ = left_ = anchor_ = caret_ = 0;
    rows_ = CDiffRows();  // a new diff opens at its start, not at the old caret's line
    Rebuild();
}

void CDiffView::SetLayout(DiffLayout layout) {
    if (layout == layout_) return;
    layout_ = layout;
    Rebuild();
}

void CDiffView::SetContext(int context) {
    if (context == context_) return;
    context_ = context;
    Rebuild();
}

void CDiffView::Rebuild() {
    std::int32_t line = -1;
    if (caret_ < rows_.Count()) {
        const DiffRow& row = rows_.Rows()[static_cast<std::size_t>(caret_)];
        line = row.kind == DiffRowKind::Hunk && row.hunk >= 0
                   ? rows_.Hunks()[static_cast<std::size_t>(row.hunk)].first
                   : std::max(row.left, row.right);
    }
    rows_ = CDiffRows();
    if (diff_) rows_.Build(*diff_, layout_, context_);
    int caret = 0;
    if (line >= 0)
        for (int r = 0; r < rows_.Count(); ++r) {
            const DiffRow& row = rows_.Rows()[static_cast<std::size_t>(r)];
            if (row.kind == DiffRowKind::Line && std::max(row.left, row.right) >= line) {
                caret = r;
                break;
            }
        }
    anchor_ = caret_ = caret;
    selected_ = false;
    UpdateScrollBars();
    EnsureVisible(caret_);
    viewport()->update();
    emit currentRowChanged(caret_);
}

int CDiffView::VisibleRows() const {
    return std::max(viewport()->height() / rowHeight_, 1);
}

int CDiffView::NumberColumns() const {
    if (!diff_) return 1;
    return Digits(std::max(diff_->OldLineCount(), diff_->NewLineCount())) + 1;
}

void CDiffView::UpdateScrollBars() {
    syncingBars_ = true;
    const int rows = VisibleRows();
    verticalScrollBar()->setRange(0, std::max(rows_.Count() - rows, 0));
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setSingleStep(1);
    const int sides = layout_ == DiffLayout::SideBySide ? 2 : 1;
    const int numbers = layout_ == DiffLayout::SideBySide ? NumberColumns() : 2 * NumberColumns();
    const int columns = std::max((viewport()->width() / sides) / charWidth_ - numbers - 2, 1);
    horizontalScrollBar()->setRange(0, std::max(rows_.LongestLine() + 2 - columns, 0));
    horizontalScrollBar()->setPageStep(columns);
    horizontalScrollBar()->setSingleStep(kHorizontalStep / 2);
    verticalScrollBar()->setValue(top_);
    horizontalScrollBar()->setValue(left_);
    top_ = verticalScrollBar()->value();
    left_ = horizontalScrollBar()->value();
    syncingBars_ = false;
}

void CDiffView::ScrollTo(int topRow, int leftColumn) {
    syncingBars_ = true;
    verticalScrollBar()->setValue(topRow);
    horizontalScrollBar()->setValue(leftColumn);
    top_ = verticalScrollBar()->value();
    left_ = horizontalScrollBar()->value();
    syncingBars_ = false;
    viewport()->update();
}

void CDiffView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    if (syncingBars_) return;
    top_ = verticalScrollBar()->value();
    left_ = horizontalScrollBar()->value();
    viewport()->update();
}

void CDiffView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CDiffView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) viewport()->update();
}

void CDiffView::EnsureVisible(int row) {
    const int rows = VisibleRows();
    int top = top_;
    if (row < top) top = row;
    if (row >= top + rows) top = row - rows + 1;
    if (top != top_) ScrollTo(top, left_);
}

void CDiffView::SetCurrentRow(int row) {
    if (rows_.Count() == 0) return;
    anchor_ = caret_ = std::clamp(row, 0, rows_.Count() - 1);
    selected_ = false;
    EnsureVisible(caret_);
    viewport()->update();
    emit currentRowChanged(caret_);
}

bool CDiffView::NextChange() {
    const int row = rows_.NextChange(caret_);
    if (row < 0) return false;
    SetCurrentRow(row);
    // The change's context above it shows too, where there is room.
    if (row - top_ > 3 || row < top_) ScrollTo(std::max(row - 3, 0), left_);
    return true;
}

bool CDiffView::PreviousChange() {
    const int row = rows_.PreviousChange(caret_);
    if (row < 0) return false;
    SetCurrentRow(row);
    if (row < top_ + 3) ScrollTo(std::max(row - 3, 0), left_);
    return true;
}

void CDiffView::MoveCaret(int row, bool extend) {
    if (rows_.Count() == 0) return;
    caret_ = std::clamp(row, 0, rows_.Count() - 1);
    if (!extend) anchor_ = caret_;
    selected_ = extend;
    EnsureVisible(caret_);
    viewport()->update();
    emit currentRowChanged(caret_);
}

void CDiffView::SelectAll() {
    if (rows_.Count() == 0) return;
    anchor_ = 0;
    caret_ = rows_.Count() - 1;
    selected_ = true;
    viewport()->update();
}

void CDiffView::AppendRowText(QString& out, const DiffRow& row) const {
    const auto line = [&](QChar sign, std::int32_t index) {
        out.append(sign);
        const std::string_view text = diff_->Text(diff_->Lines()[static_cast<std::size_t>(index)]);
        out.append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        out.append(QLatin1Char('\n'));
    };
    if (row.kind == DiffRowKind::Hunk) {
        out.append(
            QString::fromStdString(HunkHeader(rows_.Hunks()[static_cast<std::size_t>(row.hunk)])));
        out.append(QLatin1Char('\n'));
        return;
    }
    const auto sign = [&](std::int32_t index) {
        switch (diff_->Lines()[static_cast<std::size_t>(index)].op) {
            case LineOp::Removed:
                return QLatin1Char('-');
            case LineOp::Added:
                return QLatin1Char('+');
            default:
                return QLatin1Char(' ');
        }
    };
    if (row.left >= 0) line(sign(row.left), row.left);
    if (row.right >= 0 && row.right != row.left) line(sign(row.right), row.right);
}

QString CDiffView::SelectedText() const {
    QString out;
    if (!diff_ || !HasSelection()) return out;
    const int from = std::min(anchor_, caret_);
    const int to = std::max(anchor_, caret_);
    for (int r = from; r <= to && r < rows_.Count(); ++r)
        AppendRowText(out, rows_.Rows()[static_cast<std::size_t>(r)]);
    return out;
}

bool CDiffView::Copy() {
    if (!HasSelection()) return false;
    QApplication::clipboard()->setText(SelectedText());
    return true;
}

int CDiffView::RowAt(int y) const {
    return top_ + std::max(y, 0) / rowHeight_;
}

void CDiffView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const int page = std::max(VisibleRows() - 1, 1);
    switch (event->key()) {
        case Qt::Key_Up:
            return MoveCaret(caret_ - 1, extend);
        case Qt::Key_Down:
            return MoveCaret(caret_ + 1, extend);
        case Qt::Key_PageUp:
            return MoveCaret(caret_ - page, extend);
        case Qt::Key_PageDown:
            return MoveCaret(caret_ + page, extend);
        case Qt::Key_Home:
            if (event->modifiers() & Qt::ControlModifier) return MoveCaret(0, extend);
            return ScrollTo(top_, 0);
        case Qt::Key_End:
            if (event->modifiers() & Qt::ControlModifier)
                return MoveCaret(rows_.Count() - 1, extend);
            return ScrollTo(top_, horizontalScrollBar()->maximum());
        case Qt::Key_Left:
            return ScrollTo(top_, left_ - kHorizontalStep);
        case Qt::Key_Right:
            return ScrollTo(top_, left_ + kHorizontalStep);
        default:
            QAbstractScrollArea::keyPressEvent(event);
    }
}

void CDiffView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    const int row = RowAt(static_cast<int>(event->position().y()));
    if (row >= rows_.Count()) return;
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    caret_ = row;
    if (!extend) anchor_ = row;
    selected_ = true;
    viewport()->update();
    emit currentRowChanged(caret_);
}

void CDiffView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || rows_.Count() == 0) return;
    const int row =
        std::clamp(RowAt(static_cast<int>(event->position().y())), 0, rows_.Count() - 1);
    caret_ = row;
    selected_ = true;
    EnsureVisible(row);
    viewport()->update();
}

void CDiffView::DrawNumber(QPainter& painter, int x, int y, std::int32_t number,
                           bool selected) const {
    if (number < 0) return;
    const QRect box(x, y, (NumberColumns() - 1) * charWidth_, rowHeight_);
    painter.setPen(selected ? palette().color(QPalette::HighlightedText)
                            : DiffColorsFor(palette()).number);
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::number(number + 1));
}

void CDiffView::DrawSide(QPainter& painter, const DiffColors& colors, int x, int y, int width,
                         std::int32_t index, bool selected, Side side) const {
    const bool unified = side == Side::Unified;
    const QPalette& pal = palette();
    const int numbers = NumberColumns() * charWidth_ * (unified ? 2 : 1);
    if (index < 0) {
        // A blank side: the other side's lines have no partner here.
        painter.fillRect(QRect(x, y, width, rowHeight_), pal.color(QPalette::AlternateBase));
        return;
    }
    const DiffLine& line = diff_->Lines()[static_cast<std::size_t>(index)];
    QColor back = pal.color(QPalette::Base);
    QColor word = back;
    QChar sign = QLatin1Char(' ');
    if (line.op == LineOp::Removed) {
        back = colors.removedBack;
        word = colors.removedWord;
        sign = QLatin1Char('-');
    } else if (line.op == LineOp::Added) {
        back = colors.addedBack;
        word = colors.addedWord;
        sign = QLatin1Char('+');
    }
    if (selected) back = pal.color(QPalette::Highlight);
    painter.fillRect(QRect(x, y, width, rowHeight_), back);
    if (unified) {
        DrawNumber(painter, x, y, line.oldLine, selected);
        DrawNumber(painter, x + NumberColumns() * charWidth_, y, line.newLine, selected);
    } else {
        // A same line stands on both halves, each with its own text's number.
        DrawNumber(painter, x, y, side == Side::New ? line.newLine : line.oldLine, selected);
    }
    const QColor text = selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
    painter.setPen(text);
    const int textX = x + numbers;
    painter.drawText(textX, y + ascent_, QString(sign));

    painter.save();
    painter.setClipRect(QRect(textX + charWidth_, y, width - numbers - charWidth_, rowHeight_));
    const std::string_view bytes = diff_->Text(line);
    const std::vector<WordSpan> words =
        line.partner >= 0 ? diff_->ChangedWords(index) : std::vector<WordSpan>();
    const int lastColumn = left_ + width / charWidth_ + 1;
    int column = 0;
    std::size_t at = 0;
    std::size_t span = 0;
    const int origin = textX + charWidth_ - left_ * charWidth_;
    while (at < bytes.size() && column <= lastColumn) {
        std::size_t end = bytes.size();
        bool marked = false;
        if (span < words.size()) {
            const auto begin = static_cast<std::size_t>(words[span].begin);
            if (at < begin) {
                end = begin;
            } else {
                end = std::max(static_cast<std::size_t>(words[span].end), at + 1);
                marked = true;
                ++span;
            }
        }
        end = std::min(end, bytes.size());
        const int startColumn = column;
        const QString piece = Decode(bytes.substr(at, end - at), column);
        if (column > left_) {
            const int px = origin + startColumn * charWidth_;
            if (marked && !selected)
                painter.fillRect(QRect(px, y, (column - startColumn) * charWidth_, rowHeight_),
                                 word);
            painter.drawText(px, y + ascent_, piece);
        }
        at = end;
    }
    painter.restore();
}

void CDiffView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    painter.setFont(font_);
    const QPalette& pal = palette();
    painter.fillRect(viewport()->rect(), pal.color(QPalette::Base));
    if (!diff_) return;
    const DiffColors colors = DiffColorsFor(pal);
    const bool unified = layout_ == DiffLayout::Unified;
    const int width = viewport()->width();
    const int half = unified ? width : width / 2;
    const int from = std::min(anchor_, caret_);
    const int to = std::max(anchor_, caret_);
    const int rows = VisibleRows() + 1;
    for (int i = 0; i < rows; ++i) {
        const int r = top_ + i;
        if (r >= rows_.Count()) break;
        const DiffRow& row = rows_.Rows()[static_cast<std::size_t>(r)];
        const int y = i * rowHeight_;
        const bool selected = HasSelection() && r >= from && r <= to;
        if (row.kind == DiffRowKind::Hunk) {
            painter.fillRect(QRect(0, y, width, rowHeight_),
                             selected ? pal.color(QPalette::Highlight) : colors.hunkBack);
            painter.setPen(selected ? pal.color(QPalette::HighlightedText) : colors.hunkText);
            painter.drawText(charWidth_, y + ascent_,
                             QString::fromStdString(
                                 HunkHeader(rows_.Hunks()[static_cast<std::size_t>(row.hunk)])));
        } else if (unified) {
            DrawSide(painter, colors, 0, y, width, row.left, selected, Side::Unified);
        } else {
            DrawSide(painter, colors, 0, y, half - 1, row.left, selected, Side::Old);
            DrawSide(painter, colors, half + 1, y, width - half - 1, row.right, selected,
                     Side::New);
        }
        if (r == caret_ && hasFocus() && !selected) {
            painter.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
            painter.drawRect(QRect(0, y, width - 1, rowHeight_ - 1));
        }
    }
    if (!unified) {
        painter.setPen(pal.color(QPalette::Mid));
        painter.drawLine(half, 0, half, viewport()->height());
    }
}

}  // namespace tellweir
