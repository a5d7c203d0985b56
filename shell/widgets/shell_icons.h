// The program's images: its own SVGs, built into the program, and toolbar images from the
// desktop's icon theme where one fits.
#pragma once

#include <QIcon>

#include "shell/main_window/task_row.h"

namespace tellweir {

QIcon AppIcon();
// The lit tray icon in its phase 0 or 1.
QIcon LitTrayIcon(int phase);
QIcon StatusIcon(StatusImage image);
// The theme's icon `themeName`, else the program's own `fallback` (a file name in its icons).
QIcon ToolbarIcon(const char* themeName, const char* fallback);

}  // namespace tellweir
