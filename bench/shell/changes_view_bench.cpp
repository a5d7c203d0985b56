// bench_changes_view: the View Changes window's diff over a 10 MB page whose lines changed by 1%.
// Times the comparison (on the window's worker), the GUI thread's part of opening it (laying
// out the rows and drawing the first screen), the whole open from two stored versions, and each
// frame of scrolling it page by page in every layout. Prints one table. Runs offscreen unless
// QT_QPA_PLATFORM says otherwise.
// Usage: bench_changes_view [MEGABYTES]   (default 10)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "history/version_store.h"
#include "shell/changes_view/changes_loader.h"
#include "shell/changes_view/diff_view.h"

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
    std::printf("| %-46s | %-40s | %-14s |\n", what, figure.c_str(), goal);
}

std::string Figure(const char* format, double a, double b = 0, double c = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// A page of `lines` lines of about 50 bytes; every hundredth line differs in `changed`.
std::string Page(long lines, bool changed) {
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 56);
    for (long n = 0; n < lines; ++n) {
        char line[96];
        const bool differs = changed && n % 100 == 50;
        std::snprintf(line, sizeof line, "<td>Item %07ld</td><td>price %s%ld.%02ld EUR</td>\n", n,
                      differs ? "now " : "", (n * 7) % 1000 + (differs ? 1 : 0), n % 100);
        text += line;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    // The old page's lines as many as make its megabytes; the new one has as many.
    const long lines =
        (static_cast<long>(megabytes) << 20) / static_cast<long>(Page(1000, false).size() / 1000);
    const std::string oldText = Page(lines, false);
    const std::string newText = Page(lines, true);

    QWidget window;
    auto* view = new CDiffView(&window);
    window.resize(1000, 720);
    view->setGeometry(0, 0, 1000, 720);
    window.show();
    for (int i = 0; i < 200 && !(window.windowHandle() && window.windowHandle()->isExposed());
         ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QApplication::processEvents();

    std::printf("| %-46s | %-40s | %-14s |\n", "what", "figure", "goal");
    std::printf("|%s|%s|%s|\n", std::string(48, '-').c_str(), std::string(42, '-').c_str(),
                std::string(16, '-').c_str());

    QElapsedTimer timer;
    timer.start();
    auto diff = std::make_shared<CTextDiff>();
    *diff = CTextDiff::Compare(oldText, newText);
    const double compareMs = Ms(timer);
    Row("pages",
        Figure("%.1f MB and %.1f MB, %.0f lines", static_cast<double>(oldText.size()) / 1e6,
               static_cast<double>(newText.size()) / 1e6, static_cast<double>(lines)),
        "");
    Row("compare (worker thread)",
        Figure("%.0f ms, %.0f lines added, %.0f removed", compareMs, diff->Added(),
               diff->Removed()),
        "< 1 s");

    // The GUI thread's part: rows laid out and the first screen drawn.
    timer.restart();
    view->SetDiff(diff);
    view->viewport()->repaint();
    Row("open: rows and first screen (GUI thread)",
        Figure("%.1f ms, %.0f rows", Ms(timer), view->Rows().Count()), "< 300 ms");
    view->SetContext(-1);
    timer.restart();
    view->SetDiff(diff);
    view->viewport()->repaint();
    Row("open the whole text (GUI thread)",
        Figure("%.1f ms, %.0f rows", Ms(timer), view->Rows().Count()), "< 300 ms");

    // The whole open as the window does it: two stored versions read, compared, shown.
    QTemporaryDir folder;
    CVersionStore store(folder.filePath(QStringLiteral("page.versions")).toStdString());
    VersionRecord record;
    record.name = "page.txt";
    record.event = "Content Changed";
    (void)store.Add(record, oldText, {});
    (void)store.Add(record, newText, {});
    timer.restart();
    ChangesRequest request;
    request.folder = store.Folder();
    request.list = true;
    const ChangesResult result = LoadChanges(request);
    const double loadMs = Ms(timer);
    view->SetContext(3);
    view->SetDiff(result.diff);
    view->viewport()->repaint();
    Row("open from two stored versions (all of it)",
        Figure("%.0f ms (%.0f ms on the worker)", Ms(timer), loadMs), "< 300 ms");

    // Scrolling: one page a frame from the start to the end of each layout.
    const struct {
        const char* what;
        DiffLayout layout;
        int context;
    } layouts[] = {
        {"scroll a page: changes only, unified", DiffLayout::Unified, 3},
        {"scroll a page: whole text, unified", DiffLayout::Unified, -1},
        {"scroll a page: whole text, side by side", DiffLayout::SideBySide, -1},
    };
    for (const auto& l : layouts) {
        view->SetLayout(l.layout);
        view->SetContext(l.context);
        view->ScrollTo(0, 0);
        std::vector<double> frames;
        const int page = view->VisibleRows();
        const int pages = std::min(view->Rows().Count() / std::max(page, 1), 2000);
        for (int i = 0; i < pages; ++i) {
            timer.restart();
            view->ScrollTo(view->TopRow() + page, 0);
            view->viewport()->repaint();
            frames.push_back(Ms(timer));
        }
        Row(l.what,
            Figure("median %.2f ms, p99 %.2f ms, max %.2f ms", Percentile(frames, 0.5),
                   Percentile(frames, 0.99), Percentile(frames, 1.0)),
            "< 16 ms");
    }
    return 0;
}
