// The saved window placement ("left:top:width:height:maximized") and list column widths
// ("w0:w1:..."), read back within the screen and the allowed widths.
#pragma once

#include <QRect>
#include <QString>
#include <optional>
#include <vector>

namespace tellweir {

struct WindowPlacement {
    QRect normal;  // the restored window in screen pixels
    bool maximized = false;
};

QString FormatPlacement(const WindowPlacement& placement);
// Nothing for a text without five integers; else the size limited to `screen` and the position
// kept on it.
std::optional<WindowPlacement> ParsePlacement(const QString& text, const QRect& screen);

// Where a window of `size` opens beside the main window `anchor`: centred on it, or on `screen`
// when the main window is hidden (an empty `anchor`), and kept on `screen`.
QRect PlaceNear(const QRect& anchor, const QSize& size, const QRect& screen);

QString FormatColumnWidths(const std::vector<int>& widths);
// The widths given, each clamped to 0..1000, at most `columns` of them.
std::vector<int> ParseColumnWidths(const QString& text, int columns);

}  // namespace tellweir
