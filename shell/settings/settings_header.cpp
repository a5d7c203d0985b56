// The settings page header's painting.
#include "shell/settings/settings_header.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

namespace tellweir {

CSettingsHeader::CSettingsHeader(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QFont CSettingsHeader::TitleFont() const {
    QFont f = font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() > 0 ? f.pointSizeF() * 1.6 : 14);
    return f;
}

void CSettingsHeader::SetTitle(const QString& title) {
    title_ = title;
    update();
}

QSize CSettingsHeader::sizeHint() const {
    const QFontMetrics metrics(TitleFont());
    return {metrics.horizontalAdvance(title_) + 24, metrics.height() + 12};
}

void CSettingsHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // From the button face into a shade of it that stays near the window colour, so the title
    // (in the window text colour) is readable on light and dark palettes alike.
    const QColor button = palette().color(QPalette::Button);
    const bool dark = button.lightness() < 128;
    QLinearGradient gradient(rect().topLeft(), rect().topRight());
    gradient.setColorAt(0, dark ? button.lighter(150) : button.darker(115));
    gradient.setColorAt(1, palette().color(QPalette::Window));
    painter.fillRect(rect(), gradient);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(TitleFont());
    painter.drawText(rect().adjusted(10, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter, title_);
}

void CSettingsHeader::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) updateGeometry();
    QWidget::changeEvent(event);
}

}  // namespace tellweir
