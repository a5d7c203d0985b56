// The hyperlink control.
#include "shell/widgets/hyperlink_label.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include "shell/program/qt_desktop_port.h"
#include "shell/widgets/desktop_opener.h"
#include "shell/widgets/message_box.h"

namespace tellweir {

const QColor CHyperlinkLabel::kNormal(0, 0, 238);
const QColor CHyperlinkLabel::kVisited(85, 26, 139);
const QColor CHyperlinkLabel::kHover(255, 0, 0);

CHyperlinkLabel::CHyperlinkLabel(const QString& text, QString link, QWidget* parent)
    : QLabel(text, parent), link_(std::move(link)) {
    setCursor(Qt::PointingHandCursor);
    // Reachable with Tab and opened with Space or Enter, as a button is.
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(link_);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    Recolour();
}

void CHyperlinkLabel::Recolour() {
    QPalette colours = palette();
    QColor colour = hovered_ ? kHover : (visited_ ? kVisited : kNormal);
    // The link colours are made for a light dialog; on a dark one they keep their hue but are
    // lightened, so that the text stays readable.
    if (colours.color(QPalette::Window).lightness() < 128)
        colour = QColor::fromHsl(colour.hslHue(), colour.hslSaturation(), 170);
    colours.setColor(QPalette::WindowText, colour);
    setPalette(colours);
}

void CHyperlinkLabel::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    Recolour();
    QLabel::enterEvent(event);
}

void CHyperlinkLabel::leaveEvent(QEvent* event) {
    hovered_ = false;
    Recolour();
    QLabel::leaveEvent(event);
}

void CHyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Open();
    QLabel::mouseReleaseEvent(event);
}

void CHyperlinkLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CHyperlinkLabel::Open() {
    QPointer<CHyperlinkLabel> self(this);
    const auto message = LinkOpenFailure(link_);
    OpenOnDesktop(
        this, link_,
        [message](const QString& reason) {
            QApplication::beep();
            return message(reason);
        },
        [self] {
            if (!self) return;
            self->visited_ = true;
            self->Recolour();
        });
}

}  // namespace tellweir
