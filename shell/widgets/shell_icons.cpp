// Icons from the program's resources and the icon theme.
#include "shell/widgets/shell_icons.h"

#include <QString>

// The images live in a static library, whose resource registration the linker would drop
// unless something calls it.
static void RegisterShellResources() {
    Q_INIT_RESOURCE(shell);
}

namespace tellweir {

namespace {

QIcon Own(const char* file) {
    static const bool registered = (RegisterShellResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/tellweir/icons/") + QString::fromLatin1(file));
}

}  // namespace

QIcon AppIcon() {
    static const QIcon icon = Own("tellweir.svg");
    return icon;
}

QIcon LitTrayIcon(int phase) {
    static const QIcon lit[2] = {Own("tray-lit-1.svg"), Own("tray-lit-2.svg")};
    return lit[phase & 1];
}

QIcon StatusIcon(StatusImage image) {
    static const char* const files[] = {"status-idle.svg", "status-waiting.svg",
                                        "status-working.svg", "status-done.svg",
                                        "status-error.svg"};
    return Own(files[static_cast<int>(image)]);
}

QIcon ToolbarIcon(const char* themeName, const char* fallback) {
    return QIcon::fromTheme(QString::fromLatin1(themeName), Own(fallback));
}

}  // namespace tellweir
