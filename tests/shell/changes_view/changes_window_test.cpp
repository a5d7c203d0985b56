// The View Changes window and what leads to it, driven as a user drives them, over versions kept
// by the real version store.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <thread>

#include "history/version_store.h"
#include "shell/changes_view/changes_window.h"
#include "shell/changes_view/diff_view.h"
#include "shell/changes_view/version_list_model.h"
#include "shell/log_view/color_edit_view.h"
#include "shell/log_view/log_window.h"
#include "shell/main_window/task_list_model.h"
#include "shell/main_window/task_list_view.h"
#include "tests/shell/shell_fixture.h"

namespace tellweir::testing {
namespace {

// "line 0\n" ... with the lines in `changed` saying `word` instead.
std::string Page(std::initializer_list<int> changed, const std::string& word = "price") {
    std::string text;
    for (int i = 0; i < 200; ++i) {
        const bool change = std::find(changed.begin(), changed.end(), i) != changed.end();
        text += (change ? word + " " : std::string("line ")) + std::to_string(i) + "\n";
    }
    return text;
}

class ChangesWindowTest : public ShellTest {
  protected:
    // A task whose store keeps `pages` as its versions, as its runs would have kept them.
    MonitorTaskPtr TaskWithVersions(const std::string& name,
                                    const std::vector<std::string>& pages) {
        MonitorTaskPtr task = MakeFileTask(name);
        task->SetString(task::kSamplePath, dir_ / (name + ".sample"));
        task->SetInt(task::kSchedule, task::kScheduleManual);
        // Added first: a task created afresh clears whatever versions its folder held.
        EXPECT_TRUE(engine_.AddTask(*task)) << name;
        CVersionStore store(task->GetVersionFolder());
        std::int32_t number = 0;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            VersionRecord record;
            record.time = DateTime::Now();
            record.run = static_cast<std::int32_t>(i) + 1;
            record.event = i == 0 ? "First Time" : "Content Changed";
            record.name = "page.txt";
            number = store.Add(record, pages[i], VersionLimits{});
            EXPECT_GT(number, 0);
        }
        task->SetInt(task::kNewestVersion, number);
        return task;
    }

    CChangesWindow* OpenChanges(CMainFrame& frame, const MonitorTaskPtr& task) {
        frame.List()->SelectTask(task.get());
        frame.Execute(CommandId::ViewChanges);
        CChangesWindow* window = frame.ChangesWindow(task.get());
        EXPECT_NE(window, nullptr);
        if (window) {
            EXPECT_TRUE(WaitFor([&] { return !window->Busy(); }));
        }
        return window;
    }

    static QString Cell(const CChangesWindow& window, int row, int column) {
        return window.Model()->index(row, column).data().toString();
    }
};

TEST_F(ChangesWindowTest, OpensOnChangesSinceLastViewedAndMarksThemSeen) {
    const MonitorTaskPtr task =
        TaskWithVersions("Prices", {Page({}), Page({20}), Page({20, 150}, "cost")});
    task->SetInt(task::kViewedVersion, 1);
    CMainFrame& frame = Frame();
    frame.Tick();
    const int row = frame.ListModel()->RowOf(task.get());
    EXPECT_TRUE(
        frame.ListModel()->index(row, kColumnName).data(Qt::FontRole).value<QFont>().bold());

    CChangesWindow* window = OpenChanges(frame, task);
    ASSERT_NE(window, nullptr);
    // The list: every version with its event and the lines it changed.
    ASSERT_EQ(window->Model()->rowCount(), 3);
    EXPECT_EQ(Cell(*window, 0, CVersionListModel::kEvent), "First Time");
    EXPECT_EQ(Cell(*window, 2, CVersionListModel::kNumber), "3");
    EXPECT_EQ(Cell(*window, 2, CVersionListModel::kEvent), "Content Changed");
    // Two changes since version 1 was viewed: shown together.
    EXPECT_EQ(window->From(), 1);
    EXPECT_EQ(window->To(), 3);
    EXPECT_EQ(window->SummaryText(), "2 lines added, 2 removed");
    EXPECT_EQ(window->View()->Rows().Hunks().size(), 2U);
    const std::string unified = window->UnifiedText().toStdString();
    EXPECT_NE(unified.find("-line 20\n+cost 20\n"), std::string::npos) << unified;
    EXPECT_NE(unified.find("+++ Prices version 3\t"), std::string::npos) << unified;

    // Seen now: the row is plain and the task has nothing unseen.
    EXPECT_EQ(task->GetViewedVersion(), 3);
    EXPECT_FALSE(task->HasUnseenChanges());
    EXPECT_FALSE(
        frame.ListModel()->index(row, kColumnName).data(Qt::FontRole).value<QFont>().bold());
}

TEST_F(ChangesWindowTest, PairChoiceLayoutAndContextChangeTheDiff) {
    const MonitorTaskPtr task =
        TaskWithVersions("Page", {Page({}), Page({20, 150}), Page({20, 150, 199})});
    CChangesWindow* window = OpenChanges(Frame(), task);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Activate(*window));
    // Nothing viewed yet: the last change.
    EXPECT_EQ(window->From(), 2);
    EXPECT_EQ(window->To(), 3);
    EXPECT_EQ(window->SummaryText(), "1 line added, 1 removed");

    // "From" version 1: the pair's diff follows.
    window->FromBox()->setCurrentIndex(window->FromBox()->findData(1));
    ASSERT_TRUE(WaitFor([&] { return !window->Busy() && window->From() == 1; }));
    EXPECT_EQ(window->SummaryText(), "3 lines added, 3 removed");
    CDiffView* view = window->View();
    ASSERT_EQ(view->Rows().ChangeStarts().size(), 3U);
    // Opened on the first change; F7 and Shift+F7 step through the others.
    const std::vector<int> starts = view->Rows().ChangeStarts();
    EXPECT_EQ(view->CurrentRow(), starts[0]);
    QTest::keyClick(window, Qt::Key_F7);
    EXPECT_EQ(view->CurrentRow(), starts[1]);
    QTest::keyClick(window, Qt::Key_F7);
    EXPECT_EQ(view->CurrentRow(), starts[2]);
    EXPECT_FALSE(window->NextButton()->isEnabled());
    QTest::keyClick(window, Qt::Key_F7, Qt::ShiftModifier);
    EXPECT_EQ(view->CurrentRow(), starts[1]);
    EXPECT_TRUE(window->PreviousButton()->isEnabled());

    // The whole text: one row a line of the aligned texts, the caret still on its change.
    const int changesOnly = view->Rows().Count();
    ASSERT_TRUE(Activate(*window));
    // A mnemonic clicks its button as an animated click: it toggles a moment later.
    QTest::keyClick(window, Qt::Key_W, Qt::AltModifier);
    ASSERT_TRUE(WaitFor([&] { return window->WholeTextBox()->isChecked(); }));
    EXPECT_EQ(view->Rows().Count(), 203);
    EXPECT_GT(view->Rows().Count(), changesOnly);
    EXPECT_EQ(view->CurrentRow(), view->Rows().ChangeStarts()[1]);
    // Side by side: a changed line and its new text share a row.
    QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
    ASSERT_TRUE(WaitFor([&] { return window->SideBySideBox()->isChecked(); }));
    EXPECT_EQ(view->Layout(), DiffLayout::SideBySide);
    EXPECT_EQ(view->Rows().Count(), 200);
    const DiffRow& changed = view->Rows().Rows()[static_cast<std::size_t>(view->CurrentRow())];
    ASSERT_GE(changed.left, 0);
    ASSERT_GE(changed.right, 0);
    EXPECT_EQ(view->Diff()->Text(view->Diff()->Lines()[changed.left]), "line 150");
    EXPECT_EQ(view->Diff()->Text(view->Diff()->Lines()[changed.right]), "price 150");

    // A double click on a version compares it with the one before.
    const QModelIndex first = window->Model()->index(1, CVersionListModel::kEvent);
    window->Table()->scrollTo(first);
    QTest::mouseClick(window->Table()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      window->Table()->visualRect(first).center());
    QTest::mouseDClick(window->Table()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       window->Table()->visualRect(first).center());
    ASSERT_TRUE(WaitFor([&] { return !window->Busy() && window->To() == 2; }));
    EXPECT_EQ(window->From(), 1);
    EXPECT_EQ(window->SummaryText(), "2 lines added, 2 removed");
}

TEST_F(ChangesWindowTest, AnOpenWindowListsVersionsKeptMeanwhile) {
    const MonitorTaskPtr task = TaskWithVersions("Live", {Page({}), Page({5}), Page({5, 6})});
    CMainFrame& frame = Frame();
    CChangesWindow* window = OpenChanges(frame, task);
    ASSERT_NE(window, nullptr);
    window->FromBox()->setCurrentIndex(window->FromBox()->findData(1));
    ASSERT_TRUE(WaitFor([&] { return !window->Busy() && window->From() == 1; }));

    // A run keeps version 4 while the window is open: listed at the next tick, the pair kept.
    VersionRecord record;
    record.event = "Content Changed";
    ASSERT_EQ(CVersionStore(task->GetVersionFolder()).Add(record, Page({7}), VersionLimits{}), 4);
    task->SetInt(task::kNewestVersion, 4);
    frame.Tick();
    ASSERT_TRUE(WaitFor([&] { return !window->Busy() && window->Model()->rowCount() == 4; }));
    EXPECT_EQ(window->From(), 1);
    EXPECT_EQ(window->To(), 3);
    EXPECT_EQ(window->ToBox()->findData(4), 0);  // the newest first
    EXPECT_FALSE(task->HasUnseenChanges());
}

TEST_F(ChangesWindowTest, CopyTakesSelectedRowsOrTheWholeDiff) {
    const MonitorTaskPtr task = TaskWithVersions("Copy", {Page({}), Page({50})});
    CChangesWindow* window = OpenChanges(Frame(), task);
    ASSERT_NE(window, nullptr);
    window->Copy();
    EXPECT_EQ(QApplication::clipboard()->text(), window->UnifiedText());
    EXPECT_TRUE(window->UnifiedText().startsWith(QStringLiteral("--- Copy version 1\t")));

    CDiffView* view = window->View();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keySequence(view, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), "-line 50\n+price 50\n");
}

TEST_F(ChangesWindowTest, SaysWhenThereIsNothingToShow) {
    const MonitorTaskPtr none = TaskWithVersions("None", {});
    CMainFrame& frame = Frame();
    frame.List()->SelectTask(none.get());
    frame.UpdateCommands();
    EXPECT_FALSE(frame.Action(CommandId::ViewChanges)->isEnabled());

    // Opened anyway (a notification of a task whose versions went meanwhile).
    for (const bool off : {false, true}) {
        CChangesWindow window(none, off);
        ASSERT_TRUE(WaitFor([&] { return !window.Busy(); }));
        EXPECT_EQ(window.Model()->rowCount(), 0);
        EXPECT_TRUE(window.InfoText().startsWith(QStringLiteral("No versions kept yet")));
        EXPECT_EQ(window.InfoText().contains(QStringLiteral("turned off in Settings")), off);
        EXPECT_FALSE(window.NextButton()->isEnabled());
    }
}

TEST_F(ChangesWindowTest, DamagedVersionIsALineNotACrash) {
    const MonitorTaskPtr task = TaskWithVersions("Damaged", {Page({}), Page({1}), Page({2})});
    const QString path = QString::fromStdString(task->GetVersionFolder() + "/000003.version");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("Tellweir version 1\nnot a version\n");
    file.close();
    CChangesWindow* window = OpenChanges(Frame(), task);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Model()->rowCount(), 2);
    EXPECT_TRUE(window->InfoText().contains(QStringLiteral("damaged")))
        << window->InfoText().toStdString();
    EXPECT_TRUE(window->InfoText().contains(path));
    // The two that are whole compare as usual.
    EXPECT_EQ(window->From(), 1);
    EXPECT_EQ(window->To(), 2);
    EXPECT_EQ(window->SummaryText(), "1 line added, 1 removed");
}

TEST_F(ChangesWindowTest, OpenThisVersionWritesAnOwnerOnlyCopy) {
    const MonitorTaskPtr task = TaskWithVersions("Open me", {Page({}), Page({3})});
    CChangesWindow* window = OpenChanges(Frame(), task);
    ASSERT_NE(window, nullptr);
    // No desktop handler in the test: xdg-open may fail; the file is written before it runs.
    qputenv("PATH", "/nonexistent");
    const QString path = window->OpenVersion();
    qunsetenv("PATH");
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.endsWith(QStringLiteral("Open_me-version-2.txt"))) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), Page({3}));
    EXPECT_EQ(QFileInfo(path).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFileDevice::Permissions());
    // Closes the failure message, if any.
    MessageBoxAnswer ok(QStringLiteral("OK"));
    WaitFor([&] { return ok.Answered(); }, std::chrono::milliseconds(500));
}

TEST_F(ChangesWindowTest, DoubleClickOnAChangedRowOpensItsChanges) {
    const MonitorTaskPtr changed = TaskWithVersions("Changed", {Page({}), Page({9})});
    const MonitorTaskPtr plain = TaskWithVersions("Plain", {Page({})});
    plain->SetInt(task::kViewedVersion, 1);
    CMainFrame& frame = Frame();
    frame.Tick();
    const auto doubleClick = [&](const MonitorTaskPtr& task) {
        const QRect cell = frame.List()->visualRect(
            frame.ListModel()->index(frame.ListModel()->RowOf(task.get()), kColumnName));
        QTest::mouseClick(frame.List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(frame.List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    };
    doubleClick(changed);
    ASSERT_NE(frame.ChangesWindow(changed.get()), nullptr);
    EXPECT_TRUE(frame.Action(CommandId::ViewChanges)->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !frame.ChangesWindow(changed.get())->Busy(); }));

    // A row without news opens its events, as before.
    MessageBoxAnswer none(QStringLiteral("Cancel"));
    QTimer::singleShot(50, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    doubleClick(plain);
    EXPECT_EQ(frame.ChangesWindow(plain.get()), nullptr);
}

TEST_F(ChangesWindowTest, ChangePromptSaysHowMuchChanged) {
    engine_.AnnounceStart();  // prompts go into the engine log
    CMainFrame& frame = Frame();
    std::thread([&] {
        port_.ShowChangePrompt("Prices", "Content Changed", {3, "12 lines added, 3 removed"});
    }).join();
    ASSERT_TRUE(WaitFor([&] { return frame.PromptsWindow() != nullptr; }));
    CColorEditView* view = frame.PromptsWindow()->View();
    ASSERT_TRUE(WaitFor([&] {
        return view->Text().contains(QStringLiteral("Content Changed (12 lines added, 3 removed)"));
    })) << view->Text().toStdString();
    EXPECT_EQ(ChangeText("Content Changed", {}), "Content Changed");
    EXPECT_EQ(ChangeText("", {1, "1 line added"}), "1 line added");
}

}  // namespace
}  // namespace tellweir::testing
