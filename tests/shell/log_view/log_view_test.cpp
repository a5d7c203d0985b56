// The log and prompts windows and their text view, driven as a user drives them, over real item
// logs written from other threads and a real engine.
#include <QClipboard>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <functional>
#include <thread>

#include "shell/log_view/color_edit_view.h"
#include "shell/log_view/log_window.h"
#include "shell/main_window/task_list_model.h"
#include "shell/main_window/task_list_view.h"
#include "tests/shell/shell_fixture.h"

namespace tellweir::testing {
namespace {

class LogViewTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        engine_.AnnounceStart();  // the engine log, which the prompts window shows
    }

    // A view on its own, told of its log's changes through the port as the windows are.
    CColorEditView& View() {
        if (!view_) {
            view_ = std::make_unique<CColorEditView>();
            view_->SetLogObserver(&port_);
            QObject::connect(&port_, &CQtDesktopPort::logChanged, view_.get(),
                             [this](int id) { view_->LogChanged(id); });
            view_->resize(500, 300);
            view_->show();
        }
        return *view_;
    }

    CLogWindow* OpenTaskLog(const MonitorTaskPtr& task) {
        CMainFrame& frame = Frame();
        frame.List()->SelectTask(task.get());
        frame.Execute(CommandId::ViewLog);
        return frame.LogWindow();
    }

    void TearDown() override {
        view_.reset();
        ShellTest::TearDown();
    }

    std::unique_ptr<CColorEditView> view_;
};

bool Waiting(const MonitorTaskPtr& task) {
    return task->GetState() == TaskState::Waiting && task->Int(task::kCount) > 0;
}

// The log's text as the view shows it.
QString Shown(const ItemLogPtr& log) {
    return QString::fromStdString(log->GetText()).replace(QStringLiteral("\r\n"), "\n");
}

// The middle of the cell at `column` of `line`, or its left edge.
QPoint Cell(const CColorEditView& view, int line, int column, bool middle = true) {
    const int x = (view.GutterColumns() + column - view.LeftColumn()) * view.CharWidth() +
                  (middle ? view.CharWidth() / 2 : 1);
    return {x, (line - view.TopLine()) * view.LineHeight() + view.LineHeight() / 2};
}

QPoint Gutter(const CColorEditView& view, int line) {
    return {view.CharWidth(), (line - view.TopLine()) * view.LineHeight() + view.LineHeight() / 2};
}

// The colour classes the view gives line `line`, one run per class, as it draws them.
std::vector<ColorRun> Runs(const CColorEditView& view, int line) {
    std::vector<ColorRun> runs;
    CLogColorizer().ColorLine(view.Buffer().Line(line), runs);
    return runs;
}

// Writes `count` error lines, each wider than the view, into `log` from another thread.
void WriteWideLines(const ItemLogPtr& log, int count) {
    std::thread([&] {
        for (int i = 0; i < count; ++i)
            log->Write(1, "E:\tan old line " + std::to_string(i) + " " + std::string(150, 'x'));
    }).join();
}

TEST_F(LogViewTest, StatusWritesAppendBlueLinesAndScrollToThem) {
    const MonitorTaskPtr task = AddFileTask("Page");
    ASSERT_TRUE(WaitFor([&] { return Waiting(task); }));
    const ItemLogPtr log = task->GetLog();
    WriteWideLines(log, 80);
    CLogWindow* window = OpenTaskLog(task);
    ASSERT_NE(window, nullptr);
    CColorEditView& view = *window->View();
    ASSERT_TRUE(view.FollowsEnd()) << "a log opens at its end";
    // At the end, scrolled to the right: new lines bring the view back to the left edge.
    view.ScrollTo(view.TopLine(), 30);
    ASSERT_EQ(view.LeftColumn(), 30);
    const int before = view.LineCount();
    std::thread([&] {
        log->Write(0, "first new line");
        log->Write(0, "second new line");
    }).join();
    ASSERT_TRUE(WaitFor([&] { return view.Text().endsWith("S:\tsecond new line\n"); }));
    ASSERT_GE(view.LineCount(), before + 2);
    const int last = view.LineCount() - 1;
    EXPECT_EQ(view.TopLine(), view.LineCount() - view.VisibleLines() + 1);
    EXPECT_EQ(view.LeftColumn(), 0);
    EXPECT_TRUE(view.FollowsEnd());
    // Both lines are status lines, whole: the tag, the tab and the text in the status class.
    for (int line : {last - 1, last}) {
        const std::vector<ColorRun> runs = Runs(view, line);
        ASSERT_EQ(runs.size(), 1u) << line;
        EXPECT_EQ(runs[0].colorClass, ColorClass::Status);
        EXPECT_EQ(runs[0].length, view.Buffer().Line(line).size());
    }
    EXPECT_EQ(view.ClassColor(ColorClass::Status), QColor(0, 0, 200));
}

TEST_F(LogViewTest, NewLinesMoveTheViewOnlyWhileItShowsTheEnd) {
    const ItemLogPtr log = MakeRef<CItemLog>(703);
    WriteWideLines(log, 80);
    CColorEditView& view = View();
    view.AttachLog(log);
    ASSERT_TRUE(view.FollowsEnd());
    // Scrolled up to read older lines (and to the right): the lines written meanwhile, and a
    // reload after a trim, leave the view where the user put it.
    view.ScrollTo(10, 7);
    const int shown = view.VisibleLines();
    WriteWideLines(log, 5);
    ASSERT_TRUE(WaitFor([&] { return view.Text() == Shown(log); }));
    EXPECT_EQ(view.TopLine(), 10);
    EXPECT_EQ(view.LeftColumn(), 7);
    EXPECT_FALSE(view.FollowsEnd());
    std::thread([&] { log->PopLines(1); }).join();
    WriteWideLines(log, 1);
    ASSERT_TRUE(WaitFor([&] { return view.Text() == Shown(log); }));
    EXPECT_EQ(view.TopLine(), 10);
    // Back at the end (the wheel or the scroll bar alike), it follows again.
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    ASSERT_TRUE(view.FollowsEnd());
    WriteWideLines(log, 3);
    ASSERT_TRUE(WaitFor([&] { return view.Text() == Shown(log); }));
    EXPECT_EQ(view.TopLine(), view.LineCount() - shown + 1);
    EXPECT_EQ(view.LeftColumn(), 0);
    EXPECT_TRUE(view.FollowsEnd());
}

TEST_F(LogViewTest, SelectedTextReadsWellOnEveryPalette) {
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, Qt::white);
    QPalette grey = View().palette();
    grey.setColor(QPalette::Button, QColor(239, 239, 239));    // a light button face: the
    grey.setColor(QPalette::Highlight, QColor(48, 140, 198));  // inverted colours fail on it
    for (const QPalette& palette : {View().palette(), dark, grey}) {
        View().setPalette(palette);
        for (bool focused : {true, false})
            for (ColorClass c :
                 {ColorClass::Text, ColorClass::Status, ColorClass::Error, ColorClass::C,
                  ColorClass::Detail, ColorClass::Bracket, ColorClass::Quote}) {
                const QColor background = View().SelectionColor(focused);
                EXPECT_GE(ContrastRatio(View().SelectedTextColor(c, focused), background), 4.5)
                    << "class " << int(c) << (focused ? " focused on " : " unfocused on ")
                    << background.name().toStdString();
            }
    }
}

TEST_F(LogViewTest, ClearedOrTrimmedLogReloadsWhole) {
    const struct {
        const char* name;
        std::function<void(CItemLog&)> change;
    } cases[] = {
        {"clear", [](CItemLog& log) { log.Clear(); }},
        // The front goes, yet the text grows: only the lines dropped tell.
        {"trim",
         [](CItemLog& log) {
             log.PopLines(1);
             log.Write(0, std::string(100, 'y'));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ItemLogPtr log = MakeRef<CItemLog>(700);
        log->Write(0, "one");
        log->Write(0, "two");
        View().AttachLog(log);
        ASSERT_EQ(View().Text(), "S:\tone\nS:\ttwo\n");
        std::thread([&] { c.change(*log); }).join();
        EXPECT_TRUE(WaitFor([&] { return View().Text() == Shown(log); }))
            << View().Text().toStdString();
        std::thread([&] { log->Write(0, "after"); }).join();
        EXPECT_TRUE(WaitFor([&] { return View().Text() == Shown(log); }));
    }
}

TEST_F(LogViewTest, GutterWidensWithTheLineCount) {
    const struct {
        int lines;
        int columns;
    } cases[] = {{1, 3}, {9, 3}, {10, 4}, {99, 4}, {100, 5}, {9999, 6}, {10000, 7}, {100000, 8}};
    for (const auto& c : cases) {
        std::string text;
        for (int i = 0; i < c.lines; ++i)
            text += "S:\tline\r\n";
        View().SetText(text, true, 0);
        EXPECT_EQ(View().LineCount(), c.lines);
        EXPECT_EQ(View().GutterColumns(), c.columns) << c.lines << " lines";
    }
}

TEST_F(LogViewTest, KeysThatEditChangeNothingAndEscapeCloses) {
    const MonitorTaskPtr task = AddFileTask("Page");
    CMainFrame& frame = Frame();
    ASSERT_TRUE(WaitFor([&] { return Waiting(task); }));
    frame.Execute(CommandId::DisplayPrompts);
    OpenTaskLog(task);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    for (CLogWindow* window : {frame.PromptsWindow(), frame.LogWindow()}) {
        ASSERT_NE(window, nullptr);
        SCOPED_TRACE(window->windowTitle().toStdString());
        CColorEditView* view = window->View();
        const QString text = view->Text();
        // Keys go to the active window: the main window's own keys must not take them.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(view, QStringLiteral("typed"));
        for (const auto& [key, modifiers] : {std::pair{Qt::Key_Backspace, Qt::NoModifier},
                                             {Qt::Key_Delete, Qt::NoModifier},
                                             {Qt::Key_V, Qt::ControlModifier},
                                             {Qt::Key_X, Qt::ControlModifier},
                                             {Qt::Key_Z, Qt::ControlModifier},
                                             {Qt::Key_Return, Qt::NoModifier},
                                             {Qt::Key_Enter, Qt::KeypadModifier}})
            QTest::keyClick(view, key, modifiers);
        // The view shows its log and nothing typed (the engine log may have grown meanwhile).
        const ItemLogPtr log = view->AttachedLog();
        EXPECT_TRUE(WaitFor([&] { return view->Text() == Shown(log); }));
        EXPECT_TRUE(view->Text().startsWith(text)) << view->Text().toStdString();
        EXPECT_FALSE(view->Text().contains("typed") || view->Text().contains("pasted"));
        EXPECT_TRUE(window->isVisible());  // Enter does nothing
        QTest::keyClick(view, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(view->AttachedLog().get(), nullptr);
    }
}

TEST_F(LogViewTest, KeysThatEditNeverReachTheTaskListsShortcuts) {
    // Even while the main window is the active one (activation may lag behind the focus), a Del
    // typed into the log view is the view's: it must not ask to remove the selected task.
    const MonitorTaskPtr task = AddFileTask("Page");
    CMainFrame& frame = Frame();
    ASSERT_TRUE(WaitFor([&] { return Waiting(task); }));
    CLogWindow* window = OpenTaskLog(task);
    frame.List()->SelectTask(task.get());
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    bool asked = false;
    QTimer::singleShot(0, &frame, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            asked = true;
            modal->close();
        }
    });
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Delete, Qt::NoModifier},
                                         {Qt::Key_Backspace, Qt::NoModifier},
                                         {Qt::Key_X, Qt::ControlModifier}})
        QTest::keyClick(window->View(), key, modifiers);
    QApplication::processEvents();
    EXPECT_FALSE(asked);
    EXPECT_EQ(frame.ListModel()->rowCount(), 1);
}

TEST_F(LogViewTest, SelectionByKeyboardAndMouse) {
    CLogWindow window(&port_);
    ItemLogPtr log = MakeRef<CItemLog>(701);
    log->Write(0, "first line");
    log->Write(1, "second [2] word");
    log->Write(4, "third");
    window.ShowLog(log);  // tabs expand to 6 columns: the text starts in column 6
    CColorEditView* view = window.View();
    const auto click = [&](QPoint at, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, at);
    };
    const struct {
        const char* name;
        std::function<void()> act;
        const char* selected;
    } cases[] = {
        {"select all", [&] { QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier); },
         "S:\tfirst line\nE:\tsecond [2] word\nD:\tthird\n"},
        {"shift end",
         [&] {
             QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
             QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
         },
         "S:\tfirst line"},
        {"shift ctrl right",
         [&] {
             QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
             QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
         },
         "S:\t"},
        {"shift down",
         [&] {
             click(Cell(*view, 0, 6, false));
             QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
         },
         "first line\nE:\t"},
        {"click and shift click",
         [&] {
             click(Cell(*view, 0, 6, false));
             click(Cell(*view, 0, 11, false), Qt::ShiftModifier);
         },
         "first"},
        {"double click",
         [&] { QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 1, 8)); },
         "second"},
        {"ctrl click", [&] { click(Cell(*view, 1, 17), Qt::ControlModifier); }, "word"},
        {"gutter", [&] { click(Gutter(*view, 1)); }, "E:\tsecond [2] word\n"},
        {"gutter shift",
         [&] {
             click(Gutter(*view, 0));
             click(Gutter(*view, 1), Qt::ShiftModifier);
         },
         "S:\tfirst line\nE:\tsecond [2] word\n"},
        {"gutter ctrl", [&] { click(Gutter(*view, 1), Qt::ControlModifier); },
         "S:\tfirst line\nE:\tsecond [2] word\nD:\tthird\n"},
        {"drag",
         [&] {
             QTest::mousePress(view->viewport(), Qt::LeftButton, {}, Cell(*view, 1, 6, false));
             QMouseEvent move(QEvent::MouseMove, Cell(*view, 2, 8, false),
                              view->viewport()->mapToGlobal(Cell(*view, 2, 8, false)), Qt::NoButton,
                              Qt::LeftButton, Qt::NoModifier);
             QApplication::sendEvent(view->viewport(), &move);
             QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, Cell(*view, 2, 8, false));
         },
         "second [2] word\nD:\tth"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        click(Cell(*view, 2, 0));
        c.act();
        EXPECT_EQ(view->SelectedText(), c.selected);
    }
    QTest::keyClick(view, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), view->SelectedText());
    // Left without Shift collapses the selection to its start.
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_EQ(view->SelectedText(), "");
    EXPECT_EQ(view->Caret(), (TextPos{1, 3}));
}

TEST_F(LogViewTest, WheelScrollsAndScrollingStaysWithinTheText) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "S:\t" + std::string(300, 'x') + "\r\n";
    CColorEditView& view = View();
    view.SetText(text, true, 0);
    const auto wheel = [&](int notches, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(QPointF(100, 50), view.viewport()->mapToGlobal(QPointF(100, 50)),
                          QPoint(), QPoint(0, -120 * notches), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &event);
    };
    wheel(2, Qt::NoModifier);
    EXPECT_EQ(view.TopLine(), 6);
    wheel(1, Qt::ShiftModifier);
    EXPECT_EQ(view.LeftColumn(), 4);
    EXPECT_EQ(view.verticalScrollBar()->value(), 6);
    view.ScrollTo(1'000'000, 1'000'000);
    EXPECT_EQ(view.TopLine(), 100 - view.VisibleLines() + 1);
    EXPECT_EQ(view.LeftColumn(), view.Buffer().LongestWidth() - view.VisibleColumns() + 2);
    EXPECT_EQ(view.Buffer().LongestWidth(), 304);  // "S:" and a tab of 4, then 300
    // A view that follows the end stays there when it grows taller.
    EXPECT_TRUE(view.FollowsEnd());
    view.resize(view.width(), view.height() + 100);
    EXPECT_EQ(view.TopLine(), 100 - view.VisibleLines() + 1);
}

TEST_F(LogViewTest, PromptsWriteTwoEntriesIntoTheEngineLog) {
    CMainFrame& frame = Frame();
    const ItemLogPtr log = engine_.GetEngineLog();
    ASSERT_NE(log.get(), nullptr);
    const struct {
        std::string name;
        std::string text;
        const char* entries;  // a pattern of what the log gains
    } cases[] = {
        {"Page", "Changed", R"(^S:\tPrompt action: \[[^\]]+\] "Page"\.\r\nD:\tChanged\r\n$)"},
        {"", "No name",
         R"(^S:\tPrompt action: \[[^\]]+\] < name not specified>\.\r\nD:\tNo name\r\n$)"},
        {"Page", "", R"(^S:\tPrompt action: \[[^\]]+\] "Page"\.\r\nD:\t\r\n$)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        const std::size_t before = log->GetText().size();
        std::thread([&] { port_.ShowPrompt(c.name, c.text); }).join();
        ASSERT_TRUE(WaitFor([&] { return log->GetText().size() > before; }));
        const QString added = QString::fromStdString(log->GetText().substr(before));
        EXPECT_TRUE(QRegularExpression(c.entries).match(added).hasMatch()) << added.toStdString();
        CLogWindow* prompts = frame.PromptsWindow();
        ASSERT_NE(prompts, nullptr);
        EXPECT_EQ(prompts->windowTitle(), "Monitor prompt events");
        EXPECT_TRUE(prompts->isVisible());
        EXPECT_TRUE(WaitFor([&] { return prompts->View()->Text() == Shown(log); }));
        prompts->close();
    }
    // Display Prompts only shows the window.
    const std::string text = log->GetText();
    frame.Execute(CommandId::DisplayPrompts);
    EXPECT_TRUE(frame.PromptsWindow()->isVisible());
    EXPECT_EQ(log->GetText(), text);
    EXPECT_EQ(frame.PromptsWindow()->View()->Text(), Shown(log));
}

TEST_F(LogViewTest, OneLogWindowSwitchesBetweenTasksAndReopensWhole) {
    const MonitorTaskPtr first = AddFileTask("First");
    const MonitorTaskPtr second = AddFileTask("Second");
    first->GetLog()->Write(0, "of the first");
    second->GetLog()->Write(0, "of the second");
    CLogWindow* window = OpenTaskLog(first);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->View()->Text().contains("of the first"));
    EXPECT_EQ(OpenTaskLog(second), window);
    EXPECT_EQ(window->windowTitle(), "Monitor item log: Second");
    EXPECT_TRUE(window->View()->Text().contains("of the second"));
    EXPECT_FALSE(window->View()->Text().contains("of the first"));

    QTest::mouseClick(window->CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->View()->AttachedLog().get(), nullptr);
    std::thread([&] { second->GetLog()->Write(0, "while closed"); }).join();
    EXPECT_EQ(OpenTaskLog(second), window);
    EXPECT_EQ(window->View()->Text(), Shown(second->GetLog()));
}

TEST_F(LogViewTest, StayOnTopKeepsThePlace) {
    CLogWindow window(&port_, QStringLiteral("Monitor item log: Page"));
    window.ShowLog(MakeRef<CItemLog>(702));
    window.setGeometry(120, 130, 500, 300);
    const QRect place = window.geometry();
    QTest::mouseClick(window.StayOnTopButton(), Qt::LeftButton);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.geometry(), place);
    QTest::mouseClick(window.StayOnTopButton(), Qt::LeftButton);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window.geometry(), place);
}

}  // namespace
}  // namespace tellweir::testing
