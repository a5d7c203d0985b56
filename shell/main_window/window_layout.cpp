// Window placement and column widths as the settings keep them.
#include "shell/main_window/window_layout.h"

#include <QStringList>
#include <algorithm>

namespace tellweir {

QString FormatPlacement(const WindowPlacement& placement) {
    const QRect& r = placement.normal;
    return QStringLiteral("%1:%2:%3:%4:%5")
        .arg(r.left())
        .arg(r.top())
        .arg(r.width())
        .arg(r.height())
        .arg(placement.maximized ? 1 : 0);
}

std::optional<WindowPlacement> ParsePlacement(const QString& text, const QRect& screen) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 5) return std::nullopt;
    int values[5];
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0) return std::nullopt;
    const int width = std::min(values[2], screen.width());
    const int height = std::min(values[3], screen.height());
    const int left = std::clamp(values[0], screen.left(), screen.left() + screen.width() - width);
    const int top = std::clamp(values[1], screen.top(), screen.top() + screen.height() - height);
    return WindowPlacement{QRect(left, top, width, height), values[4] != 0};
}

QRect PlaceNear(const QRect& anchor, const QSize& size, const QRect& screen) {
    QRect place(QPoint(0, 0), size.boundedTo(screen.size()));
    place.moveCenter(anchor.isEmpty() ? screen.center() : anchor.center());
    place.moveLeft(std::clamp(place.left(), screen.left(), screen.right() - place.width() + 1));
    place.moveTop(std::clamp(place.top(), screen.top(), screen.bottom() - place.height() + 1));
    return place;
}

QString FormatColumnWidths(const std::vector<int>& widths) {
    QStringList parts;
    for (int width : widths)
        parts << QString::number(width);
    return parts.join(QLatin1Char(':'));
}

std::vector<int> ParseColumnWidths(const QString& text, int columns) {
    std::vector<int> widths;
    if (text.trimmed().isEmpty()) return widths;
    for (const QString& part : text.split(QLatin1Char(':'))) {
        if (static_cast<int>(widths.size()) >= columns) break;
        widths.push_back(std::clamp(part.trimmed().toInt(), 0, 1000));
    }
    return widths;
}

}  // namespace tellweir
