// bench_shell: the desktop task list with 10,000 idle local-file tasks: start-up to a shown
// window, the 250 ms tick with nothing and with 100 rows changed, a sort by each column, and the
// memory the window adds. Prints one table. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
// Usage: bench_shell [TASKS]   (default 10000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/services.h"
#include "core/local_clock.h"
#include "core/monitor_engine.h"
#include "core/task_properties.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/task_list_model.h"
#include "shell/main_window/task_list_view.h"
#include "shell/main_window/task_row.h"
#include "shell/program/qt_desktop_port.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"

#include "bench_queue.h"

using namespace tellweir;
using namespace tellweir::bench;
namespace fs = std::filesystem;

namespace {

double Ms(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Resident memory now, in MiB.
double RssMib() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

// User + system CPU of the whole process (all threads) so far, in ms.
double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// CPU time of the calling thread so far, in ms.
double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Spread {
    double median = 0;
    double max = 0;
    int maxAt = 0;  // which value was the largest, from 0
};

Spread SpreadOf(std::vector<double> values) {
    const int maxAt =
        static_cast<int>(std::max_element(values.begin(), values.end()) - values.begin());
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back(), maxAt};
}

// Counts the paints of a widget: the window counts as shown once its list has painted.
class PaintCounter final : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

void Row(const char* what, const std::string& figure, const char* goal) {
    std::printf("| %-50s | %-30s | %-12s |\n", what, figure.c_str(), goal);
}

std::string Format(const char* format, double a, double b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (count < 200) {
        std::fprintf(stderr, "usage: bench_shell [TASKS, at least 200]\n");
        return 2;
    }
    char pattern[] = "/tmp/tw-shell-bench.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const fs::path root = pattern;
    const RemoveOnExit removeRoot{root};
    UseFolders(root);

    if (!MakeQueueInChild(root, count)) return 1;
    const auto queueBytes = fs::file_size(root / "queue.xml");

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QElapsedTimer appTimer;
    appTimer.start();
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    const double appMs = Ms(appTimer);
    PointSettingsAt(root);

    CQtDesktopPort port;
    CMonitorEngine engine({.transfers = nullptr, .desktop = &port});
    CPropertySet layout;
    const double rssEmpty = RssMib();

    // 1. Start-up, in the program's order: the queue, the engine, the window.
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = CpuMs();
    if (engine.LoadQueue() != 0 || engine.GetQueueReport().loaded != count) {
        std::fprintf(stderr, "the queue did not load whole\n");
        return 1;
    }
    engine.Start();
    const double loadMs = Ms(timer);
    const double rssLoaded = RssMib();
    QElapsedTimer frameTimer;
    frameTimer.start();
    auto frame = std::make_unique<CMainFrame>(engine, port, layout);
    const double constructMs = Ms(frameTimer);
    PaintCounter painted;
    frame->List()->viewport()->installEventFilter(&painted);
    frame->Start(false);
    while (!(frame->windowHandle() && frame->windowHandle()->isExposed() && painted.paints > 0)) {
        if (timer.elapsed() > 60000) {
            std::fprintf(stderr, "the window was not shown within 60 s\n");
            return 1;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const double shownMs = Ms(timer);
    const double shownCpu = CpuMs() - cpu0;
    const double rssShown = RssMib();

    // The bench calls the tick itself: the window's own timer would add ticks to the figures.
    for (QTimer* t : frame->findChildren<QTimer*>())
        if (t->interval() == 250) t->stop();
    CTaskListModel& model = *frame->ListModel();

    // 2. The tick: alone, and with the repaint that follows it.
    // Wall time, and the CPU time of this thread: a wall maximum far above its CPU was a
    // preemption by another process, not the tick's work.
    const auto ticks = [&](int changed, std::vector<double>& tick, std::vector<double>& paint,
                           std::vector<double>& tickCpu) {
        for (int n = 0; n < 200; ++n) {
            for (int i = 0; i < changed; ++i)
                model.TaskAt(i * (count / changed))->RenewStamp();
            QElapsedTimer t;
            const double cpu = ThreadCpuMs();
            t.start();
            frame->Tick();
            tick.push_back(Ms(t));
            tickCpu.push_back(ThreadCpuMs() - cpu);
            QApplication::processEvents();
            paint.push_back(Ms(t));
        }
    };
    std::vector<double> idleTick, idlePaint, idleCpu, busyTick, busyPaint, busyCpu;
    ticks(0, idleTick, idlePaint, idleCpu);
    ticks(100, busyTick, busyPaint, busyCpu);
    // The part of the idle tick that grows with the list: the stamp of every row read.
    std::vector<double> refresh;
    for (int n = 0; n < 200; ++n) {
        QElapsedTimer t;
        t.start();
        model.Refresh();
        refresh.push_back(Ms(t));
    }

    // 3. Sorts: each column one way and back, from an order that is not its own (names and due
    // times follow different orders; idle tasks share the other columns' values).
    std::vector<double> sortAsc(kTaskColumnCount), sortDesc(kTaskColumnCount);
    for (int column = 0; column < kTaskColumnCount; ++column) {
        model.sort(column == kColumnNextRun ? kColumnName : kColumnNextRun, Qt::AscendingOrder);
        QApplication::processEvents();
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            QElapsedTimer t;
            t.start();
            model.sort(column, order);
            (order == Qt::AscendingOrder ? sortAsc : sortDesc)[static_cast<std::size_t>(column)] =
                Ms(t);
            QApplication::processEvents();
        }
    }
    const double rssAfter = RssMib();

    std::printf("bench_shell: %d idle local-file tasks, queue file %.1f MB, platform %s\n", count,
                static_cast<double>(queueBytes) / 1e6, qPrintable(QGuiApplication::platformName()));
    std::printf("| %-50s | %-30s | %-12s |\n", "what", "figure", "goal");
    std::printf("|%s|%s|%s|\n", std::string(52, '-').c_str(), std::string(32, '-').c_str(),
                std::string(14, '-').c_str());
    Row("QApplication construction (not counted)", Format("%.1f ms", appMs), "");
    Row("start-up: LoadQueue + engine start", Format("%.1f ms", loadMs), "");
    Row("start-up: CMainFrame construction", Format("%.1f ms", constructMs), "");
    Row("start-up: load to window shown and painted",
        Format("%.1f ms wall, %.1f ms CPU", shownMs, shownCpu), "< 1 s");
    const Spread it = SpreadOf(idleTick), ip = SpreadOf(idlePaint);
    const Spread bt = SpreadOf(busyTick), bp = SpreadOf(busyPaint);
    const Spread ic = SpreadOf(idleCpu), bc = SpreadOf(busyCpu);
    Row("Tick, nothing changed: median / max (which tick)",
        Format("%.3f / %.3f ms", it.median, it.max) +
            Format(" (#%.0f)", static_cast<double>(it.maxAt)),
        "< 2 ms");
    Row("  thread CPU: median / max", Format("%.3f / %.3f ms", ic.median, ic.max), "");
    Row("  with the repaint after it", Format("%.3f / %.3f ms", ip.median, ip.max), "");
    const Spread rf = SpreadOf(refresh);
    Row("  CTaskListModel::Refresh alone: median / max",
        Format("%.3f / %.3f ms", rf.median, rf.max), "");
    Row("Tick, 100 rows changed: median / max (which tick)",
        Format("%.3f / %.3f ms", bt.median, bt.max) +
            Format(" (#%.0f)", static_cast<double>(bt.maxAt)),
        "< 5 ms");
    Row("  thread CPU: median / max", Format("%.3f / %.3f ms", bc.median, bc.max), "");
    Row("  with the repaint after it", Format("%.3f / %.3f ms", bp.median, bp.max), "");
    for (int column = 0; column < kTaskColumnCount; ++column) {
        const std::string what = std::string("sort by \"") + CTaskListModel::Header(column) +
                                 "\": ascending / descending";
        Row(what.c_str(),
            Format("%.1f / %.1f ms", sortAsc[static_cast<std::size_t>(column)],
                   sortDesc[static_cast<std::size_t>(column)]),
            "< 50 ms");
    }
    Row("RSS: application and empty engine", Format("%.1f MiB", rssEmpty), "");
    Row("RSS: tasks loaded, no window", Format("%.1f MiB (+%.1f)", rssLoaded, rssLoaded - rssEmpty),
        "");
    Row("RSS: window shown", Format("%.1f MiB (+%.1f)", rssShown, rssShown - rssLoaded),
        "< +30 MiB");
    Row("RSS: after the ticks and sorts",
        Format("%.1f MiB (+%.1f)", rssAfter, rssAfter - rssLoaded), "< +30 MiB");

    frame.reset();
    port.Close();
    engine.Stop();
    return 0;
}
