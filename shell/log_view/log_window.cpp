// The log window.
#include "shell/log_view/log_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/log_view/color_edit_view.h"
#include "shell/log_view/log_colorizer.h"
#include "shell/widgets/shell_icons.h"

namespace tellweir {

namespace {

constexpr int kLogTabSize = 6;
constexpr int kLogFontTenths = 90;
constexpr int kButtonPicture = 20;

// The button pictures, drawn in the palette's text colour so they suit light and dark themes.
QIcon Picture(const QColor& ink, bool pin, bool pressed) {
    QPixmap pixmap(kButtonPicture, kButtonPicture);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (!pin) {
        p.drawLine(QPointF(5.5, 5.5), QPointF(14.5, 14.5));
        p.drawLine(QPointF(14.5, 5.5), QPointF(5.5, 14.5));
        return QIcon(pixmap);
    }
    // A pin: upright while the window stays on top, leaning while it does not.
    p.translate(10, 10);
    if (!pressed) p.rotate(45);
    p.setBrush(pressed ? ink : Qt::transparent);
    p.drawRect(QRectF(-3, -7, 6, 6));
    p.drawLine(QPointF(-5.5, -1), QPointF(5.5, -1));
    p.drawLine(QPointF(0, -1), QPointF(0, 7));
    return QIcon(pixmap);
}

}  // namespace

CLogWindow::CLogWindow(ILogObserver* observer, const QString& title)
    : QWidget(nullptr, Qt::Window),
      stayOnTop_(new QToolButton(this)),
      close_(new QToolButton(this)),
      label_(new QLabel(this)),
      view_(new CColorEditView(this)) {
    setWindowTitle(tr("Monitor log"));
    setWindowIcon(ToolbarIcon("", "log.svg"));
    SetTitle(title);

    const QColor ink = palette().color(QPalette::ButtonText);
    QIcon pin = Picture(ink, true, false);
    pin.addPixmap(Picture(ink, true, true).pixmap(kButtonPicture), QIcon::Normal, QIcon::On);
    stayOnTop_->setIcon(pin);
    stayOnTop_->setIconSize(QSize(kButtonPicture, kButtonPicture));
    stayOnTop_->setCheckable(true);
    stayOnTop_->setAutoRaise(true);
    stayOnTop_->setToolTip(tr("Stay on top"));
    stayOnTop_->setFocusPolicy(Qt::TabFocus);
    connect(stayOnTop_, &QToolButton::toggled, this, &CLogWindow::SetStayOnTop);
    close_->setIcon(Picture(ink, false, false));
    close_->setIconSize(QSize(kButtonPicture, kButtonPicture));
    close_->setAutoRaise(true);
    close_->setToolTip(tr("Close"));
    close_->setFocusPolicy(Qt::TabFocus);
    connect(close_, &QToolButton::clicked, this, &QWidget::close);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(2, 2, 2, 2);
    bar->setSpacing(4);
    bar->addWidget(stayOnTop_);
    bar->addWidget(close_);
    bar->addWidget(label_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(view_, 1);
    setTabOrder(view_, stayOnTop_);
    setTabOrder(stayOnTop_, close_);

    view_->SetLogObserver(observer);
    view_->SetFontSize(kLogFontTenths);
    view_->SetReadOnly(true);
    view_->SetBuffer(std::make_unique<CTextBuffer>());
    view_->SetColorizer(std::make_unique<CLogColorizer>());
    view_->setFocus();
    resize(640, 400);
}

CLogWindow::~CLogWindow() = default;

void CLogWindow::SetTitle(const QString& title) {
    if (!title.isEmpty()) setWindowTitle(title);
}

void CLogWindow::ShowLog(const ItemLogPtr& log) {
    view_->AttachLog(log);
    view_->SetTabSize(kLogTabSize);
    view_->SetColorizer(std::make_unique<CLogColorizer>());
    if (!log) return;
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    view_->setFocus(Qt::OtherFocusReason);
}

void CLogWindow::Detach() {
    view_->AttachLog(nullptr);
}

void CLogWindow::LogChanged(int logId) {
    view_->LogChanged(logId);
}

void CLogWindow::SetStayOnTop(bool on) {
    // Changing the flag makes a new native window: the place and size are put back.
    const QRect place = geometry();
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (!shown) return;
    setGeometry(place);
    show();
}

void CLogWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            close();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return;  // no default button
        default:
            QWidget::keyPressEvent(event);
    }
}

void CLogWindow::closeEvent(QCloseEvent* event) {
    ShowLog(nullptr);
    event->accept();  // hides: the window stays for its next use
}

}  // namespace tellweir
