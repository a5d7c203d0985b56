// bench_commands: how long the window's commands keep the GUI thread from its events with a long
// task list: Stop, Start, Remove (answered Yes), New (the wizard through to Finish), OK of Events
// & Actions and of Schedule, and Cleanup cache over a cache folder of stray files. A 1 ms timer on
// the GUI thread measures the longest gap between its ticks while each command runs and until
// its results are in (the save on disk, the cleanup's counts back); for the dialogs, the gap that
// follows OK. Prints one table. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
// Usage: bench_commands [TASKS] [REPEATS]   (defaults 20000 and 5)
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_queue.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/task_list_model.h"
#include "shell/main_window/task_list_view.h"
#include "shell/program/qt_desktop_port.h"
#include "shell/task_dialog/task_dialog.h"
#include "shell/task_dialog/url_page.h"

using namespace tellweir;
using namespace tellweir::bench;
namespace fs = std::filesystem;

namespace {

// The longest gap between two ticks of a 1 ms timer on the GUI thread, from Start on; with a
// mark, the longest gap that ended after the mark.
class StallProbe {
  public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    void Start() {
        max_ = afterMark_ = 0;
        marked_ = false;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    void Mark() {
        marked_ = true;
        afterMark_ = 0;
    }
    void Stop() {
        Tick();
        timer_.stop();
    }
    double Max() const { return max_; }
    double AfterMark() const { return afterMark_; }

  private:
    void Tick() {
        const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
        const double gap = now - last_;
        last_ = now;
        max_ = std::max(max_, gap);
        if (marked_) afterMark_ = std::max(afterMark_, gap);
    }

    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = 0;
    double max_ = 0;
    double afterMark_ = 0;
    bool marked_ = false;
};

// Runs the event loop until `done` holds; false after 120 s.
bool RunUntil(const std::function<bool()>& done) {
    QElapsedTimer limit;
    limit.start();
    while (!done()) {
        if (limit.elapsed() > 120000) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Runs the event loop for `ms` milliseconds: the work a command leaves behind (the save written
// on the saver thread, the repaint) happens while the probe watches.
void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void SelectRow(CMainFrame& frame, int row) {
    CTaskListView* list = frame.List();
    list->clearSelection();
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    frame.UpdateCommands();
}

// Clicks `button` of the next message box when it shows, calling `before` first.
void AnswerMessageBox(const QString& button, const std::function<void()>& before) {
    auto* poll = new QTimer;
    poll->setInterval(2);
    QObject::connect(poll, &QTimer::timeout, [poll, button, before] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (QAbstractButton* b : box->buttons())
            if (b->text().remove(QLatin1Char('&')) == button) {
                poll->stop();
                poll->deleteLater();
                before();
                b->click();
                return;
            }
    });
    poll->start();
}

struct Figures {
    std::vector<double> stalls;
    void Add(double ms) { stalls.push_back(ms); }
    double Median() const {
        std::vector<double> sorted = stalls;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double Max() const {
        return stalls.empty() ? 0 : *std::max_element(stalls.begin(), stalls.end());
    }
};

void Row(const char* what, const Figures& figures) {
    std::printf("| %-44s | %8.2f | %8.2f | %s |\n", what, figures.Median(), figures.Max(),
                figures.Max() <= 16.0 ? "met" : "not met");
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    if (count < 200 || repeats < 1) {
        std::fprintf(stderr, "usage: bench_commands [TASKS, at least 200] [REPEATS]\n");
        return 2;
    }
    char pattern[] = "/tmp/tw-commands-bench.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const fs::path root = pattern;
    const RemoveOnExit removeRoot{root};
    UseFolders(root);
    if (!MakeQueueInChild(root, count)) return 1;
    // Stray files for the cache cleanup to walk and delete: one for each task.
    const fs::path cache = root / "tasks-cache";
    const auto makeStrays = [&] {
        fs::create_directories(cache / "stray");
        for (int i = 0; i < count; ++i)
            std::ofstream(cache / "stray" / ("file" + std::to_string(i))) << "stray";
    };

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    PointSettingsAt(root);
    CQtDesktopPort port;
    CMonitorEngine engine({.transfers = nullptr, .desktop = &port});
    CPropertySet layout;
    if (engine.LoadQueue() != 0 || engine.GetQueueReport().loaded != count) {
        std::fprintf(stderr, "the queue did not load whole\n");
        return 1;
    }
    engine.AnnounceStart();
    engine.Start();
    auto frame = std::make_unique<CMainFrame>(engine, port, layout);
    frame->Start(false);
    Settle(500);

    const auto saved = [&] { return fs::exists(root / "queue.xml"); };
    StallProbe probe;
    Figures stop, start, remove, removeAfterYes, add, addAfterOk, events, eventsAfterOk, schedule,
        scheduleAfterOk, cleanup;
    // A save is on disk when the file was replaced after the command.
    const auto runCommand = [&](CommandId id, Figures& figures) {
        const auto before = fs::last_write_time(root / "queue.xml");
        probe.Start();
        frame->Execute(id);
        RunUntil([&] { return saved() && fs::last_write_time(root / "queue.xml") != before; });
        Settle(50);
        probe.Stop();
        figures.Add(probe.Max());
    };
    // A dialog of the task in row `row`, OK pressed by `press`; the gap after OK counts.
    const auto runDialog = [&](CommandId id, int row, const std::function<void(QDialog*)>& press,
                               Figures& whole, Figures& afterOk) {
        SelectRow(*frame, row);
        const auto before = fs::last_write_time(root / "queue.xml");
        QTimer::singleShot(0, frame.get(), [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            press(dialog);
        });
        probe.Start();
        frame->Execute(id);
        RunUntil([&] { return fs::last_write_time(root / "queue.xml") != before; });
        Settle(50);
        probe.Stop();
        whole.Add(probe.Max());
        afterOk.Add(probe.AfterMark());
    };
    const auto ok = [&](QDialog* dialog) {
        probe.Mark();
        QTest::keyClick(dialog, Qt::Key_Return);
    };

    for (int n = 0; n < repeats; ++n) {
        SelectRow(*frame, n * 7);
        runCommand(CommandId::Stop, stop);
        runCommand(CommandId::Start, start);

        SelectRow(*frame, n * 11);
        AnswerMessageBox(QStringLiteral("Yes"), [&] { probe.Mark(); });
        runCommand(CommandId::Remove, remove);
        removeAfterYes.Add(probe.AfterMark());

        const std::string file = (root / "files" / ("new" + std::to_string(n) + ".txt")).string();
        std::ofstream(file) << "new";
        runDialog(
            CommandId::NewTask, 0,
            [&](QDialog* dialog) {
                auto* wizard = static_cast<CTaskDialog*>(dialog);
                QTest::keyClick(wizard, Qt::Key_Return);  // past the introduction
                auto* url = static_cast<CUrlPage*>(wizard->Page("url"))->UrlEdit();
                QTest::keyClicks(url, QString::fromStdString(file));
                if (url->completer() && url->completer()->popup())
                    url->completer()->popup()->hide();
                // Download, events, name and schedule as proposed, each press in an event loop
                // turn of its own, so that the gap after the last one (Finish) is its own.
                for (int page = 0; page < 5 && wizard->isVisible(); ++page) {
                    if (page == 4) probe.Mark();
                    QTest::keyClick(wizard, Qt::Key_Return);
                    QApplication::processEvents();
                }
            },
            add, addAfterOk);

        runDialog(CommandId::EventsActions, n * 13, ok, events, eventsAfterOk);
        runDialog(CommandId::Schedule, n * 17, ok, schedule, scheduleAfterOk);

        makeStrays();
        const auto cleaned = [&] {
            const ItemLogPtr log = engine.GetEngineLog();
            return log && log->GetText().find("Cache cleanup results") != std::string::npos;
        };
        if (const ItemLogPtr log = engine.GetEngineLog()) log->Clear();
        probe.Start();
        frame->Execute(CommandId::CleanupCache);
        RunUntil(cleaned);
        Settle(50);
        probe.Stop();
        cleanup.Add(probe.Max());
    }

    std::printf("%d tasks, %d runs of each; the longest gap of a 1 ms GUI-thread timer, ms\n\n",
                count, repeats);
    std::printf("| %-44s | %8s | %8s | %s |\n", "command", "median", "max", "goal 16 ms");
    std::printf("|---|---|---|---|\n");
    Row("Stop (one task)", stop);
    Row("Start (one task)", start);
    Row("Remove (one task): from Yes on", removeAfterYes);
    Row("Remove: with the question box", remove);
    Row("New: after the wizard's Finish", addAfterOk);
    Row("New: the whole wizard", add);
    Row("OK of Events & Actions", eventsAfterOk);
    Row("Events & Actions, open to closed", events);
    Row("OK of Schedule", scheduleAfterOk);
    Row("Schedule, open to closed", schedule);
    Row("Cleanup cache (a stray file per task)", cleanup);

    frame.reset();
    port.Close();
    (void)engine.SaveQueue();
    engine.EndSaves();
    engine.DeleteAllTasks();
    engine.Stop();
    return 0;
}
