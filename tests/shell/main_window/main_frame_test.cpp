// The main window driven as a user drives it, over a real engine running tasks on local files.
#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <thread>

#include "core/event_table.h"
#include "shell/log_view/color_edit_view.h"
#include "shell/log_view/log_window.h"
#include "shell/main_window/task_list_model.h"
#include "shell/main_window/task_list_view.h"
#include "shell/task_dialog/task_dialog.h"
#include "shell/task_dialog/url_page.h"
#include "shell/widgets/about_dialog.h"
#include "tests/shell/shell_fixture.h"

namespace tellweir::testing {
namespace {

// Clicks the row of the task named `name`; `extend` adds it to the selection.
void ClickRow(CMainFrame& frame, const std::string& name, bool extend = false) {
    CTaskListModel* model = frame.ListModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->RowAt(row).name != name) continue;
        const QRect cell = frame.List()->visualRect(model->index(row, kColumnName));
        QTest::mouseClick(frame.List()->viewport(), Qt::LeftButton,
                          extend ? Qt::ControlModifier : Qt::NoModifier, cell.center());
        return;
    }
    ADD_FAILURE() << "no row " << name;
}

std::vector<std::string> RowNames(CMainFrame& frame) {
    std::vector<std::string> names;
    for (int row = 0; row < frame.ListModel()->rowCount(); ++row)
        names.push_back(frame.ListModel()->RowAt(row).name);
    return names;
}

// A key pressed in the list of the active window (a message box that just closed may have taken
// the activation with it).
void PressInList(CMainFrame& frame, Qt::Key key) {
    ASSERT_TRUE(Activate(frame));
    QTest::keyClick(frame.List(), key);
}

bool Waiting(const MonitorTaskPtr& task) {
    return task->GetState() == TaskState::Waiting && task->Int(task::kCount) > 0;
}

TEST_F(ShellTest, CommandsFollowTheSelectionAndTheTasksState) {
    const MonitorTaskPtr running = AddFileTask("Running");
    const MonitorTaskPtr stopped = AddFileTask("Stopped");
    engine_.StopTasks({stopped});
    CMainFrame& frame = Frame();
    ASSERT_TRUE(WaitFor([&] { return Waiting(running); }));
    frame.Tick();

    struct Expect {
        CommandId id;
        bool none, runningOnly, both;
    };
    const Expect expected[] = {
        {CommandId::Start, false, false, true},    {CommandId::Stop, false, true, true},
        {CommandId::Remove, false, true, true},    {CommandId::ClearLog, false, true, true},
        {CommandId::ViewLog, false, true, false},  {CommandId::EventsActions, false, true, false},
        {CommandId::Schedule, false, true, false}, {CommandId::NewTask, true, true, true},
        {CommandId::Show, false, false, false},    {CommandId::Hide, true, true, true},
    };
    const auto check = [&](const char* what, bool Expect::*column) {
        for (const Expect& e : expected)
            EXPECT_EQ(frame.Action(e.id)->isEnabled(), e.*column)
                << what << " " << Command(e.id).text;
    };
    check("nothing selected", &Expect::none);
    ClickRow(frame, "Running");
    check("running selected", &Expect::runningOnly);
    ClickRow(frame, "Stopped", true);
    check("both selected", &Expect::both);

    // F6 stops both; Start is then the only one of the two enabled.
    PressInList(frame, Qt::Key_F6);
    EXPECT_EQ(running->GetState(), TaskState::Idle);
    EXPECT_TRUE(frame.Action(CommandId::Start)->isEnabled());
    EXPECT_FALSE(frame.Action(CommandId::Stop)->isEnabled());
}

TEST_F(ShellTest, ExitAsksWhileTasksAreActive) {
    const MonitorTaskPtr first = AddFileTask("First");
    const MonitorTaskPtr second = AddFileTask("Second");
    CMainFrame& frame = Frame();
    QSignalSpy exited(&frame, &CMainFrame::exitRequested);
    ASSERT_TRUE(WaitFor([&] { return Waiting(first) && Waiting(second); }));
    {
        MessageBoxAnswer no(QStringLiteral("No"));
        ASSERT_TRUE(Activate(frame));
        QTest::keySequence(&frame, QKeySequence(QStringLiteral("Ctrl+Q")));
        ASSERT_TRUE(no.Answered());
        EXPECT_EQ(no.Text(), "You have currently 2 active tasks.\nExit Tellweir anyway?");
    }
    QTest::qWait(20);
    EXPECT_EQ(exited.count(), 0);
    EXPECT_FALSE(frame.Exiting());
    EXPECT_EQ(engine_.CountActiveTasks(), 2);
    {
        MessageBoxAnswer yes(QStringLiteral("Yes"));
        frame.Execute(CommandId::Exit);
        ASSERT_TRUE(yes.Answered());
    }
    ASSERT_TRUE(WaitFor([&] { return exited.count() == 1; }));
    EXPECT_TRUE(frame.Exiting());
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(settings_.String(setting::kMainFrameLayout).empty());
}

TEST_F(ShellTest, ExitClosesAnOpenDialogFirst) {
    CMainFrame& frame = Frame();
    QSignalSpy exited(&frame, &CMainFrame::exitRequested);
    bool aboutShown = false;
    QTimer::singleShot(0, &frame, [&] {
        // Inside the About box's own loop: Exit from the tray menu.
        aboutShown = qobject_cast<CAboutDialog*>(QApplication::activeModalWidget()) != nullptr;
        frame.TrayMenu()->actions().last()->trigger();
    });
    frame.Execute(CommandId::About);  // returns once the box was closed
    EXPECT_TRUE(aboutShown);
    ASSERT_TRUE(WaitFor([&] { return exited.count() == 1; }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ShellTest, ClosingPutsTheWindowAwayAndMonitoringGoesOn) {
    const MonitorTaskPtr task = AddFileTask("Page");
    CMainFrame& frame = Frame();
    QSignalSpy exited(&frame, &CMainFrame::exitRequested);
    frame.close();
    QTest::qWait(20);
    // Offscreen there is no tray: the window is minimised rather than lost.
    EXPECT_EQ(frame.Tray() == nullptr, frame.isMinimized());
    EXPECT_EQ(frame.Tray() != nullptr, !frame.isVisible());
    EXPECT_EQ(exited.count(), 0);
    ASSERT_TRUE(WaitFor([&] { return Waiting(task); }));
    // F4 (Show) brings it back.
    EXPECT_TRUE(frame.Action(CommandId::Show)->isEnabled());
    frame.Action(CommandId::Show)->trigger();
    EXPECT_TRUE(frame.isVisible());
    EXPECT_FALSE(frame.isMinimized());
}

TEST_F(ShellTest, LitIconNamesTheTaskAndClearsWhenShown) {
    const MonitorTaskPtr task = AddFileTask("Page");
    CMainFrame& frame = Frame();
    EXPECT_EQ(frame.TrayTip(), "Tellweir 1.1 - Quandor Software");
    // The engine thread's call reaches the window through the port's queue.
    std::thread engineSide([&] { port_.LightTrayIcon("Page", "Content Changed"); });
    engineSide.join();
    ASSERT_TRUE(WaitFor([&] { return frame.IsLit(); }));
    EXPECT_EQ(frame.LitTip(), "Item: Page - Content Changed");
    frame.TrayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(frame.IsLit());
    EXPECT_EQ(frame.List()->SelectedTasks().size(), 1u);
    EXPECT_EQ(frame.List()->SelectedTasks().front().get(), task.get());
    // Once the port is closed, calls are dropped.
    port_.Close();
    port_.LightTrayIcon("Page", "again");
    QTest::qWait(20);
    EXPECT_FALSE(frame.IsLit());
}

TEST_F(ShellTest, HeaderClicksSortAndReverse) {
    const MonitorTaskPtr a = AddFileTask("a");
    const MonitorTaskPtr b = AddFileTask("b");
    const MonitorTaskPtr c = AddFileTask("c");
    CMainFrame& frame = Frame();
    ASSERT_TRUE(WaitFor([&] { return Waiting(a) && Waiting(b) && Waiting(c); }));
    a->SetInt64(task::kBytesRecv, 5LL << 30);
    b->SetInt64(task::kBytesRecv, 3LL << 30);
    c->SetInt64(task::kBytesRecv, 1);
    frame.Tick();
    QHeaderView* header = frame.List()->horizontalHeader();
    const auto clickHeader = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(RowNames(frame), (Names{"a", "b", "c"}));  // by name at first
    clickHeader(kColumnBytesRecv);
    EXPECT_EQ(RowNames(frame), (Names{"c", "b", "a"}));
    clickHeader(kColumnBytesRecv);
    EXPECT_EQ(RowNames(frame), (Names{"a", "b", "c"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    // Another column keeps the direction.
    clickHeader(kColumnName);
    EXPECT_EQ(RowNames(frame), (Names{"c", "b", "a"}));
    EXPECT_EQ(c->GetListRow(), 0);
}

TEST_F(ShellTest, LayoutIsSavedAndComesBackClamped) {
    settings_.SetString(setting::kMonitorListColumns, "20:5000:300:120:120:120:44:44:60:68:68:77");
    settings_.SetString(setting::kMainFrameLayout, "10:20:500:300:0");
    CMainFrame& frame = Frame();
    EXPECT_EQ(frame.List()->columnWidth(kColumnName), 1000);
    EXPECT_EQ(frame.List()->columnWidth(kColumnLastError), 77);
    EXPECT_EQ(frame.geometry().size(), QSize(500, 300));
    frame.List()->setColumnWidth(kColumnCount, 55);
    frame.SaveLayout();
    const QString columns = QString::fromStdString(settings_.String(setting::kMonitorListColumns));
    EXPECT_TRUE(columns.startsWith("20:1000:")) << columns.toStdString();
    EXPECT_EQ(columns.split(':').value(kColumnCount), "55");
    EXPECT_TRUE(
        QString::fromStdString(settings_.String(setting::kMainFrameLayout)).endsWith(":500:300:0"));
}

TEST_F(ShellTest, NewTaskIsAddedSavedAndSelected) {
    CMainFrame& frame = Frame();
    const std::string path = dir_.WriteFile("new.txt", "new");
    QTimer::singleShot(0, &frame, [&] {
        auto* dialog = qobject_cast<CTaskDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::keyClick(dialog, Qt::Key_Return);  // past the introduction
        auto* url = static_cast<CUrlPage*>(dialog->Page("url"))->UrlEdit();
        QTest::keyClicks(url, QString::fromStdString(path));
        url->completer()->popup()->hide();
        // Download, events, name and schedule keep what the wizard proposes.
        for (int page = 0; page < 5 && dialog->isVisible(); ++page)
            QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::keySequence(&frame, QKeySequence(QStringLiteral("Ctrl+N")));
    ASSERT_EQ(RowNames(frame), std::vector<std::string>{"new.txt"});
    EXPECT_EQ(frame.List()->SelectedTasks().size(), 1u);
    EXPECT_EQ(engine_.WaitForSaves(), 0) << "saved off the GUI thread";
    EXPECT_NE(dir_.ReadFile("queue.xml").find(path), std::string::npos);
}

TEST_F(ShellTest, RemoveAsksThenDeletesAndSaves) {
    AddFileTask("Keep");
    AddFileTask("Drop");
    CMainFrame& frame = Frame();
    ClickRow(frame, "Drop");
    {
        MessageBoxAnswer no(QStringLiteral("No"));
        PressInList(frame, Qt::Key_Delete);
        EXPECT_EQ(no.Text(), "Are you sure you want to delete 1 monitor task(s)?");
    }
    EXPECT_EQ(RowNames(frame).size(), 2u);
    {
        MessageBoxAnswer yes(QStringLiteral("Yes"));
        PressInList(frame, Qt::Key_Delete);
        EXPECT_TRUE(yes.Answered());
    }
    EXPECT_EQ(RowNames(frame), std::vector<std::string>{"Keep"});
    EXPECT_EQ(engine_.WaitForSaves(), 0);
    const std::string queue = dir_.ReadFile("queue.xml");
    EXPECT_NE(queue.find("Keep"), std::string::npos);
    EXPECT_EQ(queue.find("Drop"), std::string::npos);
}

// OK in Events & Actions of a task that runs every second keeps the runs made while the dialog
// was open.
TEST_F(ShellTest, EventsDialogOkKeepsTheRunsOfARunningTask) {
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetName("Every second");
    task->SetString(task::kUri, "<null>");
    task->SetInt(task::kScheduleRepeatValue, 1);
    task->SetString(task::kScheduleRepeatUnit, "seconds");
    task->SetEventActions(kEventFirstTime, "None");
    ASSERT_TRUE(engine_.AddTask(*task));
    CMainFrame& frame = Frame();
    ClickRow(frame, "Every second");
    int countAtOk = 0;
    QTimer::singleShot(0, &frame, [&] {
        auto* dialog = qobject_cast<CTaskDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        const int opened = task->Int(task::kCount);
        EXPECT_TRUE(WaitFor([&] { return task->Int(task::kCount) >= opened + 2; },
                            std::chrono::seconds(20)));
        countAtOk = task->Int(task::kCount);
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    frame.Execute(CommandId::EventsActions);
    EXPECT_GT(countAtOk, 0);
    EXPECT_GE(task->Int(task::kCount), countAtOk);
    EXPECT_GE(task->GetNextStartTimeShown().days, task->GetLastStartTime().days);
}

TEST_F(ShellTest, ViewLogFollowsTheTaskLog) {
    const MonitorTaskPtr task = AddFileTask("Page");
    CMainFrame& frame = Frame();
    ASSERT_TRUE(WaitFor([&] { return Waiting(task); }));
    ClickRow(frame, "Page");
    PressInList(frame, Qt::Key_F9);
    CLogWindow* log = frame.LogWindow();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->windowTitle(), "Monitor item log: Page");
    EXPECT_TRUE(log->View()->Text().contains("Started")) << log->View()->Text().toStdString();
    // A line written on another thread shows once the port has passed the change on.
    std::thread([&] { task->GetLog()->Write(0, "written elsewhere"); }).join();
    EXPECT_TRUE(WaitFor([&] { return log->View()->Text().contains("written elsewhere"); }));
}

TEST_F(ShellTest, PromptsAndExternalChangesReachTheWindow) {
    engine_.AnnounceStart();  // prompts go into the engine log
    CMainFrame& frame = Frame();
    std::thread([&] { port_.ShowPrompt("Page", "Content Changed"); }).join();
    ASSERT_TRUE(WaitFor([&] { return frame.PromptsWindow() != nullptr; }));
    const QString prompts = frame.PromptsWindow()->View()->Text();
    EXPECT_TRUE(prompts.contains("] \"Page\".\nD:\tContent Changed")) << prompts.toStdString();
    EXPECT_EQ(frame.PromptsWindow()->windowTitle(), "Monitor prompt events");
    // Tasks another copy of the program adds or removes (on the control thread) reach the list
    // through the commands' hooks.
    const MonitorTaskPtr outside = MakeFileTask("From outside");
    std::thread([&] { EXPECT_TRUE(frame.EngineCommands().AddTask(outside)); }).join();
    EXPECT_TRUE(
        WaitFor([&] { return RowNames(frame) == std::vector<std::string>{"From outside"}; }));
    std::thread([&] { frame.EngineCommands().RemoveTasks({outside}); }).join();
    EXPECT_TRUE(WaitFor([&] { return RowNames(frame).empty(); }));
}

}  // namespace
}  // namespace tellweir::testing
