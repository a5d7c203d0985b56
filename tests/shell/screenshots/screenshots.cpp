// Renders every window of the desktop program to PNG files, in the desktop's own palette and in
// a dark one, for a person to look at: the main window with a few tasks, the About box, the
// tray menu, the task dialogs and wizard, the settings dialog, the log and prompts windows.
// Usage: tellweir_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <thread>

#include "app/services.h"
#include "core/monitor_engine.h"
#include "core/task_properties.h"
#include "shell/login/login_dialog.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/task_list_view.h"
#include "shell/program/qt_desktop_port.h"
#include "shell/widgets/about_dialog.h"
#include "store/app_identity.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "tests/shell/screenshots/screens.h"

using namespace tellweir;

void tellweir::SaveShot(QWidget& widget, const QString& folder, const QString& name) {
    QApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget.grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

namespace {

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(38, 79, 120));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 60));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    // The bevel roles too, as a desktop's dark theme sets them: Fusion draws frames, radio
    // buttons and check boxes with them.
    dark.setColor(QPalette::Light, QColor(90, 90, 94));
    dark.setColor(QPalette::Midlight, QColor(70, 70, 74));
    dark.setColor(QPalette::Mid, QColor(110, 110, 116));
    dark.setColor(QPalette::Dark, QColor(20, 20, 22));
    dark.setColor(QPalette::Shadow, QColor(0, 0, 0));
    dark.setColor(QPalette::Link, QColor(120, 170, 255));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    return dark;
}

MonitorTaskPtr AddTask(CMonitorEngine& engine, const QString& folder, const char* name,
                       const char* text, int schedule) {
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name) + ".txt";
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(text);
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetName(name);
    task->SetString(task::kUri, path.toStdString());
    task->SetInt(task::kSchedule, schedule);
    task->SetInt(task::kScheduleRepeatValue, 15);
    task->SetString(task::kScheduleRepeatUnit, "minutes");
    task->ApplyDefaultEvents();
    if (!engine.AddTask(*task)) std::fprintf(stderr, "task %s not added\n", name);
    return task;
}

void Render(const QString& out, const QString& suffix, CMainFrame& frame, CMonitorEngine& engine,
            const MonitorTaskPtr& task) {
    frame.resize(1040, 300);
    frame.Tick();
    SaveShot(frame, out, "main-window" + suffix);

    CAboutDialog about(&frame);
    about.show();
    about.adjustSize();
    SaveShot(about, out, "about" + suffix);

    frame.TrayMenu()->adjustSize();
    SaveShot(*frame.TrayMenu(), out, "tray-menu" + suffix);

    CLoginDialog login(QStringLiteral("ftp://ftp.example.com:21/pub/report.txt"),
                       QStringLiteral("anna"), true, &frame);
    login.show();
    login.adjustSize();
    SaveShot(login, out, "login-dialog" + suffix);

    RenderTaskDialogScreens(out, suffix, frame, engine, task);
    RenderSettingsScreens(out, suffix, frame, engine, task);
    RenderLogViewScreens(out, suffix, frame, engine, task);
    RenderChangesViewScreens(out, suffix, frame);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc < 2) {
        std::fprintf(stderr, "usage: tellweir_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    QDir work(out + "/files");
    work.removeRecursively();
    QDir().mkpath(work.path());

    SetProgramIdentity();
    // The settings as a first start has them, whatever the user's own are.
    AppSettingTable().ApplyDefaults(AppSettings());
    AppSettings().SetInt(setting::kMaxLogLines, 2000);
    AppSettings().SetString(setting::kMonitorQueueFile, (work.path() + "/queue.xml").toStdString());
    AppSettings().SetString(setting::kCacheFolder, (work.path() + "/cache").toStdString());

    CQtDesktopPort port;
    CMonitorEngine engine({.transfers = nullptr, .desktop = &port});
    engine.Start();
    const MonitorTaskPtr report =
        AddTask(engine, work.path(), "Daily report", "first", task::kSchedulePeriodic);
    AddTask(engine, work.path(), "Price list", "prices", task::kSchedulePeriodic);
    AddTask(engine, work.path(), "Release notes", "notes", task::kScheduleManual);
    const MonitorTaskPtr failing = CMonitorTask::Create();
    failing->SetName("Missing file");
    failing->SetString(task::kUri, (work.path() + "/missing.txt").toStdString());
    failing->ApplyDefaultEvents();
    engine.AddTask(*failing);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));

    {
        CMainFrame frame(engine, port, AppSettings());
        frame.Start(false);
        QApplication::processEvents();
        Render(out, QString(), frame, engine, report);
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(DarkPalette());
    {
        CMainFrame frame(engine, port, AppSettings());
        frame.Start(false);
        QApplication::processEvents();
        Render(out, QStringLiteral("-dark"), frame, engine, report);
    }
    port.Close();
    engine.DeleteAllTasks();
    engine.Stop();
    return 0;
}
