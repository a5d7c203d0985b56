// The read-only coloured text view and its log following.
#include "shell/log_view/color_edit_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>

namespace tellweir {

namespace {

// One refresh from the log per frame at most.
constexpr int kFrameMs = 16;
constexpr int kWheelNotch = 120;
constexpr int kWheelLines = 3;
constexpr int kWheelColumns = 4;
constexpr int kHorizontalPage = 10;

QColor Inverted(const QColor& color) {
    return QColor(255 - color.red(), 255 - color.green(), 255 - color.blue());
}

// The relative luminance of a colour, as contrast ratios measure it.
double Luminance(const QColor& color) {
    const auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
           0.0722 * linear(color.blueF());
}

// A fixed colour made light enough to read on a dark background.
QColor ReadableOn(const QColor& color, const QColor& background) {
    if (background.lightness() >= 128) return color;
    float h = 0, s = 0, l = 0;
    color.getHslF(&h, &s, &l);
    return QColor::fromHslF(h, s, std::max(l, 0.68f));
}

void AppendCode(QString& out, char32_t code) {
    if (code < 0x20 && code != U'\t')
        out.append(QLatin1Char(' '));  // control characters take a column, shown blank
    else if (code < 0x10000)
        out.append(QChar(static_cast<char16_t>(code)));
    else
        out.append(QChar(QChar::highSurrogate(code))).append(QChar(QChar::lowSurrogate(code)));
}

}  // namespace

CColorEditView::CColorEditView(QWidget* parent)
    : QAbstractScrollArea(parent),
      buffer_(std::make_unique<CTextBuffer>()),
      colorizer_(std::make_unique<CLogColorizer>()) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &CColorEditView::RefreshFromLog);
    SetFontSize(100);
}

CColorEditView::~CColorEditView() {
    if (log_ && observer_) log_->RemoveObserver(observer_);
}

void CColorEditView::SetFontSize(int tenths) {
    const double points = std::max(tenths, 10) / 10.0;
    QFont font;
    for (const char* family : {"Courier New", "Courier"}) {
        font = QFont(QString::fromLatin1(family));
        font.setStyleHint(QFont::TypeWriter, QFont::PreferMatch);
        font.setPointSizeF(points);
        if (QFontInfo(font).fixedPitch()) break;
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(points);
    }
    font_ = font;
    const QFontMetrics metrics(font_);
    lineHeight_ = std::max(metrics.height(), 1);
    charWidth_ = std::max(metrics.horizontalAdvance(QLatin1Char('0')), 1);
    Clamp();
    Redraw();
}

void CColorEditView::SetBuffer(std::unique_ptr<CTextBuffer> buffer) {
    if (!buffer) buffer = std::make_unique<CTextBuffer>();
    buffer->SetTabSize(buffer_->TabSize());
    buffer_ = std::move(buffer);
    anchor_ = caret_ = {};
    Clamp();
    Redraw();
}

void CColorEditView::SetColorizer(std::unique_ptr<CTextColorizer> colorizer) {
    colorizer_ = std::move(colorizer);
    viewport()->update();
}

void CColorEditView::SetTabSize(int tabSize) {
    buffer_->SetTabSize(tabSize);
    Clamp();
    Redraw();
}

// --- the log ---

void CColorEditView::AttachLog(const ItemLogPtr& log) {
    if (log_) {
        if (observer_) log_->RemoveObserver(observer_);
        log_ = nullptr;
    }
    refreshTimer_.stop();
    shownLength_ = 0;
    lastChange_ = 0;
    lastLinesDropped_ = 0;
    lastBytesDropped_ = 0;
    reloadNext_ = true;
    if (!log) {
        SetText({}, false, -1);
        return;
    }
    log_ = log;
    if (observer_) log_->AddObserver(observer_);
    RefreshFromLog();
}

void CColorEditView::LogChanged(int logId) {
    if (!log_ || log_->GetId() != logId || refreshTimer_.isActive()) return;
    const qint64 since = sinceRefresh_.isValid() ? sinceRefresh_.elapsed() : kFrameMs;
    if (since >= kFrameMs)
        RefreshFromLog();
    else
        refreshTimer_.start(static_cast<int>(kFrameMs - since));
}

void CColorEditView::RefreshFromLog() {
    refreshTimer_.stop();
    sinceRefresh_.start();
    if (!log_) {
        SetText({}, true, 0);
        return;
    }
    // Writers on other threads may trim the log between the two calls: a read whose front moved
    // meanwhile is read again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const LogStats stats = log_->GetStats();
        if (!reloadNext_ && stats.changeCount == lastChange_) return;
        const bool reload = reloadNext_ || stats.textLength < shownLength_ ||
                            stats.linesDropped != lastLinesDropped_ ||
                            stats.bytesDropped != lastBytesDropped_;
        const std::size_t from = reload ? 0 : shownLength_;
        std::string added;
        const std::size_t read = log_->ReadText(added, from, stats.textLength - from);
        const LogStats after = log_->GetStats();
        if (after.linesDropped != stats.linesDropped || after.bytesDropped != stats.bytesDropped)
            continue;
        // Like a terminal: the view follows the end only while it is there (a log opened shows
        // its end); once the user scrolled away the new lines do not move what they read.
        const bool follow = reloadNext_ || AtEnd();
        const int left = left_;
        const int topLine = follow ? 1'000'000 : top_;
        if (from == 0)
            SetText(added, follow, topLine);
        else
            AppendText(added, follow, topLine);
        if (!follow) {
            left_ = left;
            Clamp();
            Redraw();
        }
        lastLinesDropped_ = stats.linesDropped;
        lastBytesDropped_ = stats.bytesDropped;
        lastChange_ = stats.changeCount;
        shownLength_ = from + read;
        reloadNext_ = false;
        return;
    }
    refreshTimer_.start(kFrameMs);  // trimmed under every read: try again shortly
}

// --- text ---

void CColorEditView::SetText(std::string_view text, bool redraw, int topLine) {
    buffer_->SetText(text);
    anchor_ = caret_ = {};
    wantColumn_ = -1;
    left_ = 0;
    ApplyTop(topLine);
    if (redraw) Redraw();
}

void CColorEditView::AppendText(std::string_view text, bool redraw, int topLine) {
    buffer_->Append(text);
    left_ = 0;
    ApplyTop(topLine);
    if (redraw) Redraw();
}

void CColorEditView::ApplyTop(int topLine) {
    if (topLine >= 0)
        top_ = topLine;
    else if (followEnd_)
        top_ = INT_MAX / 2;
    Clamp();
}

QString CColorEditView::Decode(std::string_view bytes) const {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const DecodedChar c = CharAt(bytes, i);
        if (c.code == U'\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;  // the clipboard takes plain line feeds
            continue;
        }
        if (c.code == U'\n' || c.code == U'\t')
            out.append(QChar(static_cast<char16_t>(c.code)));
        else
            AppendCode(out, c.code);
        i += static_cast<std::size_t>(c.length);
    }
    return out;
}

QString CColorEditView::Text() const {
    return Decode(buffer_->Text());
}

QString CColorEditView::SelectedText() const {
    const TextPos from = std::min(anchor_, caret_);
    const TextPos to = std::max(anchor_, caret_);
    const std::size_t start = buffer_->LineStart(from.line) + static_cast<std::size_t>(from.offset);
    // The end of the text takes the last line break with it.
    const std::size_t end = to == TextEnd()
                                ? buffer_->Text().size()
                                : buffer_->LineStart(to.line) + static_cast<std::size_t>(to.offset);
    return Decode(std::string_view(buffer_->Text()).substr(start, end - start));
}

void CColorEditView::Copy() {
    if (anchor_ == caret_) return;
    QApplication::clipboard()->setText(SelectedText());
}

void CColorEditView::SelectAll() {
    anchor_ = {};
    caret_ = TextEnd();
    wantColumn_ = -1;
    viewport()->update();
}

// --- geometry and scrolling ---

int CColorEditView::GutterColumnsFor(int lineCount) {
    if (lineCount < 10) return 3;
    if (lineCount < 100) return 4;
    if (lineCount < 1000) return 5;
    if (lineCount < 10000) return 6;
    if (lineCount < 100000) return 7;
    return 8;
}

int CColorEditView::VisibleLines() const {
    return std::max(1, (viewport()->height() + lineHeight_ - 1) / lineHeight_);
}

int CColorEditView::VisibleColumns() const {
    const int width = std::max(viewport()->width() - GutterWidth(), 0);
    return std::max(1, (width + charWidth_ - 1) / charWidth_);
}

bool CColorEditView::AtEnd() const {
    // A text that fits shows its end too.
    return followEnd_ || LineCount() <= VisibleLines();
}

void CColorEditView::Clamp() {
    const int lines = LineCount();
    const int visible = VisibleLines();
    if (lines < top_ + visible) top_ = lines - visible + 1;
    top_ = std::max(top_, 0);
    const int longest = buffer_->LongestWidth();
    const int columns = VisibleColumns();
    if (left_ > 0 && left_ + columns + 1 > longest) left_ = longest - columns + 2;
    left_ = std::max(left_, 0);
    followEnd_ = top_ > 0 && top_ >= lines - visible;
}

void CColorEditView::UpdateScrollBars() {
    syncingBars_ = true;
    const int visible = VisibleLines();
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, LineCount() - visible + 1));
    v->setPageStep(std::max(1, visible - 1));
    v->setSingleStep(1);
    v->setValue(top_);
    const int columns = VisibleColumns();
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, buffer_->LongestWidth() - columns + 2));
    h->setPageStep(kHorizontalPage);
    h->setSingleStep(1);
    h->setValue(left_);
    syncingBars_ = false;
}

void CColorEditView::Redraw() {
    UpdateScrollBars();
    viewport()->update();
}

void CColorEditView::ScrollTo(int topLine, int leftColumn) {
    top_ = topLine;
    left_ = leftColumn;
    Clamp();
    Redraw();
}

void CColorEditView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    if (syncingBars_) return;
    top_ = verticalScrollBar()->value();
    left_ = horizontalScrollBar()->value();
    Clamp();
    viewport()->update();
}

void CColorEditView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (followEnd_) top_ = INT_MAX / 2;
    Clamp();
    UpdateScrollBars();
}

void CColorEditView::EnsureCaretVisible() {
    const int full = std::max(1, viewport()->height() / lineHeight_);
    if (caret_.line < top_) top_ = caret_.line;
    if (caret_.line >= top_ + full) top_ = caret_.line - full + 1;
    const int column = ColumnOf(buffer_->Line(caret_.line), static_cast<std::size_t>(caret_.offset),
                                buffer_->TabSize());
    const int columns = std::max(1, (viewport()->width() - GutterWidth()) / charWidth_);
    if (column < left_) left_ = std::max(column - 4, 0);
    if (column >= left_ + columns) left_ = column - columns + 4;
    Clamp();
    Redraw();
}

// --- positions ---

TextPos CColorEditView::LineEnd(int line) const {
    return {line, static_cast<int>(buffer_->Line(line).size())};
}

TextPos CColorEditView::TextEnd() const {
    return LineEnd(LineCount() - 1);
}

TextPos CColorEditView::NextPos(TextPos pos) const {
    const std::string_view line = buffer_->Line(pos.line);
    if (static_cast<std::size_t>(pos.offset) < line.size())
        return {pos.line,
                static_cast<int>(NextCharOffset(line, static_cast<std::size_t>(pos.offset)))};
    return pos.line + 1 < LineCount() ? TextPos{pos.line + 1, 0} : pos;
}

TextPos CColorEditView::PrevPos(TextPos pos) const {
    if (pos.offset > 0)
        return {pos.line, static_cast<int>(PrevCharOffset(buffer_->Line(pos.line),
                                                          static_cast<std::size_t>(pos.offset)))};
    return pos.line > 0 ? LineEnd(pos.line - 1) : pos;
}

TextPos CColorEditView::WordRight(TextPos pos) const {
    const std::string_view line = buffer_->Line(pos.line);
    auto at = static_cast<std::size_t>(pos.offset);
    if (at >= line.size()) return NextPos(pos);
    const bool word = IsWordChar(CharAt(line, at).code);
    while (at < line.size() && IsWordChar(CharAt(line, at).code) == word)
        at = NextCharOffset(line, at);
    while (at < line.size() && !IsWordChar(CharAt(line, at).code))
        at = NextCharOffset(line, at);
    return {pos.line, static_cast<int>(at)};
}

TextPos CColorEditView::WordLeft(TextPos pos) const {
    const std::string_view line = buffer_->Line(pos.line);
    auto at = static_cast<std::size_t>(pos.offset);
    if (at == 0) return PrevPos(pos);
    while (at > 0 && !IsWordChar(CharAt(line, PrevCharOffset(line, at)).code))
        at = PrevCharOffset(line, at);
    while (at > 0 && IsWordChar(CharAt(line, PrevCharOffset(line, at)).code))
        at = PrevCharOffset(line, at);
    return {pos.line, static_cast<int>(at)};
}

void CColorEditView::SelectWordAt(TextPos pos) {
    const std::string_view line = buffer_->Line(pos.line);
    auto start = static_cast<std::size_t>(pos.offset);
    auto end = start;
    if (start < line.size() && IsWordChar(CharAt(line, start).code)) {
        while (start > 0 && IsWordChar(CharAt(line, PrevCharOffset(line, start)).code))
            start = PrevCharOffset(line, start);
        while (end < line.size() && IsWordChar(CharAt(line, end).code))
            end = NextCharOffset(line, end);
    } else if (start < line.size()) {
        end = NextCharOffset(line, start);  // not in a word: the character alone
    }
    anchor_ = {pos.line, static_cast<int>(start)};
    caret_ = {pos.line, static_cast<int>(end)};
    dragWordStart_ = anchor_;
    dragWordEnd_ = caret_;
    wantColumn_ = -1;
}

void CColorEditView::SelectLines(int from, int to) {
    const int low = std::min(from, to);
    const int high = std::max(from, to);
    const TextPos start{low, 0};
    const TextPos end = high + 1 < LineCount() ? TextPos{high + 1, 0} : LineEnd(high);
    anchor_ = to >= from ? start : end;
    caret_ = to >= from ? end : start;
    wantColumn_ = -1;
}

void CColorEditView::MoveCaret(TextPos to, bool extend) {
    caret_ = to;
    if (!extend) anchor_ = to;
    EnsureCaretVisible();
}

bool CColorEditView::InGutter(QPointF point) const {
    return point.x() < GutterWidth();
}

TextPos CColorEditView::PosAt(QPointF point) const {
    const int row = static_cast<int>(std::floor(point.y() / lineHeight_));
    const int line = std::clamp(top_ + row, 0, LineCount() - 1);
    const double column = left_ + (point.x() - GutterWidth()) / charWidth_;
    return {line, static_cast<int>(OffsetAtColumn(buffer_->Line(line), std::max(column, 0.0),
                                                  buffer_->TabSize()))};
}

// --- input ---

bool CColorEditView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers();
        const bool typing = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                            !(modifiers & (Qt::ControlModifier | Qt::AltModifier));
        if (typing || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
            key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut) ||
            key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void CColorEditView::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (event->matches(QKeySequence::Copy) || (ctrl && event->key() == Qt::Key_Insert)) {
        Copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    const bool selection = anchor_ != caret_;
    const int page = std::max(1, VisibleLines() - 1);
    const auto vertical = [&](int lines) {
        const std::string_view from = buffer_->Line(caret_.line);
        if (wantColumn_ < 0)
            wantColumn_ =
                ColumnOf(from, static_cast<std::size_t>(caret_.offset), buffer_->TabSize());
        const int line = std::clamp(caret_.line + lines, 0, LineCount() - 1);
        const int keep = wantColumn_;
        MoveCaret(
            {line, static_cast<int>(OffsetAtColumn(buffer_->Line(line), keep, buffer_->TabSize()))},
            shift);
        wantColumn_ = keep;
    };
    switch (event->key()) {
        case Qt::Key_Left:
            wantColumn_ = -1;
            if (selection && !shift) return MoveCaret(std::min(anchor_, caret_), false);
            return MoveCaret(ctrl ? WordLeft(caret_) : PrevPos(caret_), shift);
        case Qt::Key_Right:
            wantColumn_ = -1;
            if (selection && !shift) return MoveCaret(std::max(anchor_, caret_), false);
            return MoveCaret(ctrl ? WordRight(caret_) : NextPos(caret_), shift);
        case Qt::Key_Up:
            if (ctrl) return ScrollTo(top_ - 1, left_);
            return vertical(-1);
        case Qt::Key_Down:
            if (ctrl) return ScrollTo(top_ + 1, left_);
            return vertical(1);
        case Qt::Key_PageUp:
            top_ -= page;
            return vertical(-page);
        case Qt::Key_PageDown:
            top_ += page;
            return vertical(page);
        case Qt::Key_Home:
            wantColumn_ = -1;
            return MoveCaret(ctrl ? TextPos{} : TextPos{caret_.line, 0}, shift);
        case Qt::Key_End:
            wantColumn_ = -1;
            return MoveCaret(ctrl ? TextPos{TextEnd()} : LineEnd(caret_.line), shift);
        default:
            // Read-only: typing, deleting, pasting and undo change nothing. Escape and Enter go
            // on to the window.
            event->ignore();
            return;
    }
}

void CColorEditView::inputMethodEvent(QInputMethodEvent* event) {
    event->ignore();
}

void CColorEditView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const TextPos pos = PosAt(event->position());
    wantColumn_ = -1;
    if (InGutter(event->position())) {
        if (ctrl) {
            SelectAll();
            drag_ = Drag::None;
            return;
        }
        dragLine_ = shift ? std::min(anchor_, caret_).line : pos.line;
        if (shift && caret_ < anchor_) dragLine_ = std::max(anchor_, caret_).line;
        SelectLines(dragLine_, pos.line);
        drag_ = Drag::Lines;
    } else if (ctrl) {
        SelectWordAt(pos);
        drag_ = Drag::Words;
    } else {
        caret_ = pos;
        if (!shift) anchor_ = pos;
        drag_ = Drag::Chars;
    }
    viewport()->update();
}

void CColorEditView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const TextPos pos = PosAt(event->position());
    if (InGutter(event->position())) {
        dragLine_ = pos.line;
        SelectLines(pos.line, pos.line);
        drag_ = Drag::Lines;
    } else {
        SelectWordAt(pos);
        drag_ = Drag::Words;
    }
    viewport()->update();
}

void CColorEditView::DragTo(QPointF point) {
    const TextPos pos = PosAt(point);
    switch (drag_) {
        case Drag::None:
            return;
        case Drag::Chars:
            caret_ = pos;
            break;
        case Drag::Lines:
            SelectLines(dragLine_, pos.line);
            break;
        case Drag::Words:
            // Whole words: the word the drag began on stays selected.
            if (pos < dragWordStart_) {
                anchor_ = dragWordEnd_;
                caret_ = pos;
            } else {
                anchor_ = dragWordStart_;
                caret_ = std::max(pos, dragWordEnd_);
            }
            break;
    }
    viewport()->update();
}

void CColorEditView::UpdateCursorShape(QPointF point) {
    const Qt::CursorShape shape = InGutter(point) ? Qt::ArrowCursor : Qt::IBeamCursor;
    if (viewport()->cursor().shape() != shape) viewport()->setCursor(shape);
}

void CColorEditView::mouseMoveEvent(QMouseEvent* event) {
    UpdateCursorShape(event->position());
    if (drag_ == Drag::None || !(event->buttons() & Qt::LeftButton)) return;
    // Beyond the top or bottom edge the view scrolls a line towards the pointer.
    if (event->position().y() < 0)
        ScrollTo(top_ - 1, left_);
    else if (event->position().y() > viewport()->height())
        ScrollTo(top_ + 1, left_);
    DragTo(event->position());
}

void CColorEditView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) drag_ = Drag::None;
}

void CColorEditView::wheelEvent(QWheelEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const QPoint delta = event->angleDelta();
    const bool sideways = shift || (delta.y() == 0 && delta.x() != 0);
    wheelRest_ += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = wheelRest_ / kWheelNotch;
    wheelRest_ -= notches * kWheelNotch;
    if (notches != 0) {
        if (sideways)
            ScrollTo(top_, left_ - notches * kWheelColumns);
        else
            ScrollTo(top_ - notches * kWheelLines, left_);
        if (drag_ != Drag::None) DragTo(event->position());
    }
    event->accept();
}

void CColorEditView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void CColorEditView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void CColorEditView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) viewport()->update();
}

// --- drawing ---

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor CColorEditView::SelectionColor(bool focused) const {
    return palette().color(focused ? QPalette::Highlight : QPalette::Button);
}

QColor CColorEditView::SelectedTextColor(ColorClass colorClass, bool focused) const {
    // The class colour inverted keeps the classes apart, but on a light or mid highlight it is
    // often unreadable (yellow on grey): the first colour that reads well wins, else the best.
    const QColor background = SelectionColor(focused);
    const QColor color = ClassColor(colorClass);
    const QColor candidates[] = {
        Inverted(color),
        color,
        palette().color(focused ? QPalette::HighlightedText : QPalette::ButtonText),
        QColor(Qt::black),
        QColor(Qt::white),
    };
    constexpr double kReadable = 4.5;
    QColor best = candidates[0];
    for (const QColor& candidate : candidates) {
        if (ContrastRatio(candidate, background) >= kReadable) return candidate;
        if (ContrastRatio(candidate, background) > ContrastRatio(best, background))
            best = candidate;
    }
    return best;
}

QColor CColorEditView::ClassColor(ColorClass colorClass) const {
    const QColor background = palette().color(QPalette::Base);
    switch (colorClass) {
        case ColorClass::Text:
            return palette().color(QPalette::Text);
        case ColorClass::Gutter:
            return QColor(200, 200, 200);
        case ColorClass::Status:
            return ReadableOn(QColor(0, 0, 200), background);
        case ColorClass::Error:
            return ReadableOn(QColor(200, 0, 0), background);
        case ColorClass::C:
            return ReadableOn(QColor(0, 200, 0), background);
        case ColorClass::Detail:
            return ReadableOn(QColor(50, 100, 100), background);
        case ColorClass::Bracket:
            return ReadableOn(QColor(122, 60, 175), background);
        case ColorClass::Quote:
            return ReadableOn(QColor(0, 160, 120), background);
    }
    return palette().color(QPalette::Text);
}

void CColorEditView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    painter.setFont(font_);
    const QPalette& pal = palette();
    const bool focused = hasFocus();
    const QColor highlight = SelectionColor(focused);
    painter.fillRect(viewport()->rect(), pal.color(QPalette::Base));

    const int gutter = GutterWidth();
    const int ascent = QFontMetrics(font_).ascent();
    const int tab = buffer_->TabSize();
    const int columns = VisibleColumns();
    const TextPos selFrom = std::min(anchor_, caret_);
    const TextPos selTo = std::max(anchor_, caret_);
    const bool selection = selFrom != selTo;
    QColor colors[kColorClassCount];
    QColor selectedColors[kColorClassCount];
    for (std::size_t i = 0; i < kColorClassCount; ++i) {
        colors[i] = ClassColor(static_cast<ColorClass>(i));
        selectedColors[i] = SelectedTextColor(static_cast<ColorClass>(i), focused);
    }

    std::vector<ColorRun> runs;
    QString segment;
    const int rows = VisibleLines();
    for (int row = 0; row < rows; ++row) {
        const int lineIndex = top_ + row;
        if (lineIndex >= LineCount()) break;
        const int y = row * lineHeight_;
        const std::string_view line = buffer_->Line(lineIndex);
        const bool lineSelected =
            selection && selFrom.line <= lineIndex &&
            (lineIndex < selTo.line || (lineIndex == selTo.line && selTo.offset > 0));

        // The number, right-aligned to end one column before the gutter's edge.
        const QRect number(0, y, gutter - charWidth_, lineHeight_);
        if (lineSelected && focused) {
            painter.fillRect(number, highlight);
            painter.setPen(pal.color(QPalette::HighlightedText));
        } else {
            painter.setPen(colors[ClassIndex(ColorClass::Gutter)]);
        }
        painter.drawText(number, Qt::AlignRight | Qt::AlignVCenter, QString::number(lineIndex + 1));

        // The selected bytes of this line; a selected line break shows as one more column.
        std::size_t selStart = line.size() + 1;
        std::size_t selEnd = selStart;
        if (selection && selFrom.line <= lineIndex && lineIndex <= selTo.line) {
            selStart = lineIndex == selFrom.line ? static_cast<std::size_t>(selFrom.offset) : 0;
            selEnd =
                lineIndex == selTo.line ? static_cast<std::size_t>(selTo.offset) : line.size() + 1;
        }

        painter.save();
        painter.setClipRect(QRect(gutter, y, viewport()->width() - gutter, lineHeight_));
        if (colorizer_)
            colorizer_->ColorLine(line, runs);
        else
            runs.assign(1, {0, line.size(), ColorClass::Text});
        std::size_t run = 0;
        int column = 0;
        int segColumn = 0;
        ColorClass segClass = ColorClass::Text;
        bool segSelected = false;
        segment.clear();
        const auto flush = [&] {
            if (segment.isEmpty()) return;
            const int x = gutter + (segColumn - left_) * charWidth_;
            if (segSelected) {
                painter.fillRect(
                    QRect(x, y, static_cast<int>(segment.size()) * charWidth_, lineHeight_),
                    highlight);
                painter.setPen(selectedColors[ClassIndex(segClass)]);
            } else {
                painter.setPen(colors[ClassIndex(segClass)]);
            }
            painter.drawText(x, y + ascent, segment);
            segment.clear();
        };
        const int lastColumn = left_ + columns + 1;
        for (std::size_t i = 0; i < line.size() && column < lastColumn;) {
            const DecodedChar c = CharAt(line, i);
            while (run + 1 < runs.size() && runs[run].start + runs[run].length <= i)
                ++run;
            const ColorClass cls = run < runs.size() ? runs[run].colorClass : ColorClass::Text;
            const bool selected = i >= selStart && i < selEnd;
            const int next = c.code == U'\t' ? (column / tab + 1) * tab : column + 1;
            if (next > left_) {
                if (!segment.isEmpty() && (cls != segClass || selected != segSelected)) flush();
                if (segment.isEmpty()) {
                    segColumn = std::max(column, left_);
                    segClass = cls;
                    segSelected = selected;
                }
                if (c.code == U'\t')
                    segment.append(QString(next - std::max(column, left_), QLatin1Char(' ')));
                else
                    AppendCode(segment, c.code);
            }
            column = next;
            i += static_cast<std::size_t>(c.length);
        }
        flush();
        if (selEnd > line.size() && selStart <= line.size() && column >= left_)
            painter.fillRect(
                QRect(gutter + (column - left_) * charWidth_, y, charWidth_, lineHeight_),
                highlight);
        painter.restore();
    }

    // The separator, half a column left of the gutter's edge.
    painter.setPen(colors[ClassIndex(ColorClass::Gutter)]);
    const int separator = gutter - charWidth_ / 2;
    painter.drawLine(separator, 0, separator, viewport()->height());

    if (focused && caret_.line >= top_ && caret_.line < top_ + rows) {
        const int column =
            ColumnOf(buffer_->Line(caret_.line), static_cast<std::size_t>(caret_.offset), tab);
        const int x = gutter + (column - left_) * charWidth_;
        if (x >= gutter)
            painter.fillRect(QRect(x, (caret_.line - top_) * lineHeight_, 2, lineHeight_),
                             pal.color(QPalette::Text));
    }
}

}  // namespace tellweir
