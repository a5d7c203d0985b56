// bench_log_view: the log window over an item log. Opens a 100,000-line log, scrolls it from the
// end to the start page by page, measures the view's memory against the log's text, then follows
// a writer thread that adds 10,000 lines a second (trimmed as the engine trims) while the GUI
// thread runs 60 frames a second, timing each frame's work. Prints one table. Runs offscreen
// unless QT_QPA_PLATFORM says otherwise.
// Usage: bench_log_view [SECONDS of writing]   (default 10)
#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "log/item_log.h"
#include "shell/log_view/color_edit_view.h"
#include "shell/log_view/log_window.h"
#include "shell/program/qt_desktop_port.h"

using namespace tellweir;

namespace {

double Ms(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

void Row(const char* what, const std::string& figure, const char* goal) {
    std::printf("| %-46s | %-44s | %-14s |\n", what, figure.c_str(), goal);
}

std::string Figure(const char* format, double a, double b = 0, double c = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// A status line like the engine's, about 60 bytes with its tag.
std::string LineText(long n) {
    char text[96];
    std::snprintf(text, sizeof text, "Transfer %06ld ended [200 OK], \"news.html\": 18342 Bytes.",
                  n);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);

    CQtDesktopPort port;
    CLogWindow window(&port, QStringLiteral("Monitor item log: bench"));
    QObject::connect(&port, &CQtDesktopPort::logChanged, &window,
                     [&window](int id) { window.LogChanged(id); });
    window.resize(900, 700);
    CColorEditView& view = *window.View();
    // Shown and exposed first, so that every repaint below really draws.
    window.show();
    for (int i = 0; i < 200 && !(window.windowHandle() && window.windowHandle()->isExposed());
         ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QApplication::processEvents();

    std::printf("| %-46s | %-44s | %-14s |\n", "measure", "figure", "goal");
    std::printf("|%s|%s|%s|\n", std::string(48, '-').c_str(), std::string(46, '-').c_str(),
                std::string(16, '-').c_str());

    // 1. A 100,000-line log opened, drawn once.
    ItemLogPtr big = MakeRef<CItemLog>(1);
    for (long i = 0; i < 100000; ++i)
        big->Write(i % 7 == 0 ? 1 : 0, LineText(i).substr(0, 32));
    const LogStats bigStats = big->GetStats();
    QElapsedTimer timer;
    timer.start();
    window.ShowLog(big);
    view.viewport()->repaint();
    const double openMs = Ms(timer);
    Row("open a 100,000-line log (read, index, draw)",
        Figure("%.1f ms (%.0f lines, %.2f MB)", openMs, static_cast<double>(bigStats.lineCount),
               static_cast<double>(bigStats.textLength) / 1e6),
        "< 200 ms");

    // 2. From the end to the start, a page at a time, each page drawn.
    std::vector<double> pages;
    const int page = std::max(1, view.VisibleLines() - 1);
    while (view.TopLine() > 0) {
        timer.restart();
        view.ScrollTo(view.TopLine() - page, 0);
        view.viewport()->repaint();
        pages.push_back(Ms(timer));
    }
    Row("scroll end to start, per page",
        Figure("median %.3f ms, max %.3f ms (%.0f pages)", Percentile(pages, 0.5),
               Percentile(pages, 1.0), static_cast<double>(pages.size())),
        "< 16 ms");

    // 3. The view's own memory against the log's text.
    const double viewBytes = static_cast<double>(view.Buffer().MemoryBytes());
    Row("view memory / log text",
        Figure("%.2f (%.2f MB for %.2f MB)", viewBytes / static_cast<double>(bigStats.textLength),
               viewBytes / 1e6, static_cast<double>(bigStats.textLength) / 1e6),
        "< 3");
    window.ShowLog(nullptr);
    big = nullptr;

    // 4. A writer thread at 10,000 lines a second, the log trimmed to 20,000 lines every 100 ms
    // as the engine does, while the GUI thread runs frames of 16 ms.
    ItemLogPtr live = MakeRef<CItemLog>(2);
    window.ShowLog(live);
    std::atomic<bool> stop{false};
    std::atomic<long> written{0};
    std::thread writer([&] {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        auto nextTrim = start;
        long n = 0;
        while (!stop.load()) {
            // 10 lines each millisecond.
            const auto due = start + std::chrono::microseconds(n * 100);
            std::this_thread::sleep_until(due);
            for (int k = 0; k < 10; ++k, ++n)
                live->Write(n % 11 == 0 ? 4 : 0, LineText(n));
            written.store(n);
            if (Clock::now() >= nextTrim) {
                TrimToMax(*live, 20000);
                nextTrim += std::chrono::milliseconds(100);
            }
        }
    });
    std::vector<double> frames;
    const auto frameStart = std::chrono::steady_clock::now();
    const auto end = frameStart + std::chrono::seconds(seconds);
    auto nextFrame = frameStart;
    while (std::chrono::steady_clock::now() < end) {
        timer.restart();
        QApplication::processEvents();
        frames.push_back(Ms(timer));
        nextFrame += std::chrono::milliseconds(16);
        std::this_thread::sleep_until(nextFrame);
    }
    stop.store(true);
    writer.join();
    // The last lines reach the view in the next frames.
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    const bool keptUp = view.Buffer().Text() == live->GetText();
    const double rate = static_cast<double>(written.load()) / seconds;
    Row("writer thread, lines per second",
        Figure("%.0f (%.0f s)", rate, static_cast<double>(seconds)), "10,000");
    Row("GUI frame time while following",
        Figure("median %.2f ms, p99 %.2f ms, max %.1f", Percentile(frames, 0.5),
               Percentile(frames, 0.99), Percentile(frames, 1.0)),
        "< 16 / < 50 ms");
    Row("view shows the whole log at the end", keptUp ? "yes" : "NO", "yes");
    window.ShowLog(nullptr);
    port.Close();
    return keptUp ? 0 : 1;
}
