// The main window with the desktop around it: what the desktop could not open is said, the
// Schedule dialog's "Start now", where windows open and come back, and "Open in Shell" at most
// once.
#include <sys/stat.h>

#include <QDesktopServices>
#include <QRadioButton>
#include <QScreen>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "shell/log_view/log_window.h"
#include "shell/main_window/task_list_view.h"
#include "shell/main_window/window_layout.h"
#include "shell/task_dialog/schedule_page.h"
#include "shell/task_dialog/task_dialog.h"
#include "shell/widgets/hyperlink_label.h"
#include "tests/shell/shell_fixture.h"

namespace tellweir::testing {
namespace {

bool Waiting(const MonitorTaskPtr& task) {
    return task->GetState() == TaskState::Waiting && task->Int(task::kCount) > 0;
}

// A desktop where nothing opens anything: PATH starts with a folder whose xdg-open notes its
// argument and exits 3, as xdg-open does when no application is set up.
class FailingOpener {
  public:
    explicit FailingOpener(const TempDir& dir) : calls_(dir / "opened.txt") {
        const std::string folder = dir / "bin";
        ::mkdir(folder.c_str(), 0700);
        const std::string script = folder + "/xdg-open";
        std::ofstream(script) << "#!/bin/sh\necho \"$1\" >>'" << calls_ << "'\nexit 3\n";
        ::chmod(script.c_str(), 0700);
        previous_ = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(folder) + ":" + previous_);
    }
    ~FailingOpener() { qputenv("PATH", previous_); }
    FailingOpener(const FailingOpener&) = delete;
    FailingOpener& operator=(const FailingOpener&) = delete;

    std::string Calls() const {
        std::ifstream in(calls_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    std::string calls_;
    QByteArray previous_;
};

TEST_F(ShellTest, WhatNoApplicationOpensIsSaid) {
    const FailingOpener opener(dir_);
    const std::string help = dir_.WriteFile("Tellweir.html", "<html></html>");
    const std::string none = dir_ / "missing/tellweir";
    const QString link = QStringLiteral("https://tellweir.invalid/latest");
    settings_.SetString(setting::kHomePageLink, link.toStdString());
    CMainFrame& frame = Frame();
    CHyperlinkLabel label(QStringLiteral("Visit Home page"), link);
    const QString noApplication = QStringLiteral("No application is set up to open it.");
    const struct {
        const char* name;
        std::string helpPath;  // the stored help file ("" and no file beside the program: none)
        std::function<void()> act;
        QString message;
    } cases[] = {
        {"help", help, [&] { frame.Execute(CommandId::Help); },
         QStringLiteral("Cannot open the help file \"%1\".\n\n%2")
             .arg(QString::fromStdString(help), noApplication)},
        {"no help file", "", [&] { frame.Execute(CommandId::Help); },
         QStringLiteral("Help file not found!")},
        {"update", help, [&] { frame.Execute(CommandId::Update); },
         QStringLiteral("Unable to open hyperlink:\n\n%1\n\n%2").arg(link, noApplication)},
        {"about link", help, [&] { QTest::keyClick(&label, Qt::Key_Space); },
         QStringLiteral("Unable to open hyperlink:\n\n%1\n\n%2").arg(link, noApplication)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings_.SetString(setting::kHelpFilePath, c.helpPath);
        settings_.SetString(setting::kExecutablePath, none);
        MessageBoxAnswer ok(QStringLiteral("OK"));
        c.act();
        // The opener runs while the window goes on; its answer comes later.
        ASSERT_TRUE(WaitFor([&] { return ok.Answered(); }));
        EXPECT_EQ(ok.Text(), c.message);
    }
    EXPECT_FALSE(label.Visited());
    // Each target reached the opener once, the help file as a file address.
    EXPECT_EQ(opener.Calls(),
              "file://" + help + "\n" + link.toStdString() + "\n" + link.toStdString() + "\n");
}

TEST_F(ShellTest, StartNowInTheScheduleDialogStartsTheTask) {
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "waiting");
        const std::string name = stopped ? "Stopped" : "Waiting";
        CMainFrame& frame = Frame();
        const MonitorTaskPtr task = MakeFileTask(name);  // next run in an hour
        ASSERT_TRUE(frame.EngineCommands().AddTask(task));
        ASSERT_TRUE(WaitFor([&] { return Waiting(task); }));
        if (stopped) engine_.StopTasks({task});
        const std::int32_t count = task->Int(task::kCount);
        frame.List()->SelectTask(task.get());
        QTimer::singleShot(0, &frame, [&] {
            auto* dialog = qobject_cast<CTaskDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* page = static_cast<CSchedulePage*>(dialog->Page("schedule"));
            QTest::mouseClick(page->StartNowButton(), Qt::LeftButton, {},
                              QPoint(8, page->StartNowButton()->height() / 2));
            QTest::mouseClick(dialog->NextButton(), Qt::LeftButton);  // OK
        });
        frame.Execute(CommandId::Schedule);
        EXPECT_TRUE(WaitFor([&] { return task->Int(task::kCount) == count + 1; }))
            << task->Int(task::kCount);
        EXPECT_TRUE(WaitFor([&] { return task->GetState() == TaskState::Waiting; }));
    }
}

TEST_F(ShellTest, WindowsOpenByTheMainWindowAndItComesBackWhereItWas) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Centred on the main window, kept on the screen; on the screen's middle while it is hidden.
    EXPECT_EQ(PlaceNear(QRect(100, 100, 400, 300), QSize(200, 100), QRect(0, 0, 800, 600)),
              QRect(200, 200, 200, 100));
    EXPECT_EQ(PlaceNear(QRect(700, 500, 100, 100), QSize(300, 200), QRect(0, 0, 800, 600)),
              QRect(500, 400, 300, 200));
    EXPECT_EQ(PlaceNear(QRect(), QSize(200, 100), QRect(0, 0, 800, 600)),
              QRect(300, 250, 200, 100));
    EXPECT_EQ(PlaceNear(QRect(), QSize(2000, 100), QRect(0, 0, 800, 600)), QRect(0, 250, 800, 100));

    const MonitorTaskPtr task = AddFileTask("Page");
    engine_.AnnounceStart();
    CMainFrame& frame = Frame();
    // Placed by nobody but the window manager so far.
    const QRect place = frame.geometry();
    frame.Execute(CommandId::Hide);
    ASSERT_FALSE(frame.isVisible());
    frame.Execute(CommandId::Show);
    ASSERT_TRUE(frame.isVisible());
    EXPECT_EQ(frame.geometry(), place);
    // Asked for, so the window manager keeps it rather than placing it anew.
    EXPECT_TRUE(frame.testAttribute(Qt::WA_Moved));

    frame.setGeometry(QRect(screen.topLeft() + QPoint(40, 40), QSize(700, 500)));
    frame.List()->SelectTask(task.get());
    frame.Execute(CommandId::ViewLog);
    frame.Execute(CommandId::DisplayPrompts);
    for (CLogWindow* window : {frame.LogWindow(), frame.PromptsWindow()}) {
        ASSERT_NE(window, nullptr);
        SCOPED_TRACE(window->windowTitle().toStdString());
        EXPECT_EQ(window->frameGeometry().center(), frame.frameGeometry().center());
    }
}

// Takes the file addresses QDesktopServices would hand to the desktop, in order.
class OpenedFiles final : public QObject {
    Q_OBJECT

  public:
    OpenedFiles() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~OpenedFiles() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    Q_INVOKABLE void Open(const QUrl& url) { names.push_back(url.fileName().toStdString()); }

    std::vector<std::string> names;
};

// The window takes a target only while the action still waits for it: one that comes to the
// call after the action gave up and opened it itself leaves it alone.
TEST_F(ShellTest, OpenInShellOpensAtMostOnce) {
    OpenedFiles opened;
    const std::string target = dir_.WriteFile("page.txt", "x");
    std::optional<int> reply = kShellOpenHandled;
    // The GUI thread does not get to the queued call within the wait.
    std::thread([&] { reply = port_.OpenInShell(target, nullptr, {}); }).join();
    EXPECT_EQ(reply, std::nullopt) << "the action opens it itself";
    QApplication::processEvents();  // the late call runs now
    EXPECT_TRUE(opened.names.empty()) << "the window must not open it a second time";
    // In time, the window opens it, once.
    const std::string later = dir_.WriteFile("later.txt", "x");
    std::thread asking([&] { reply = port_.OpenInShell(later, nullptr, {}); });
    EXPECT_TRUE(WaitFor([&] { return !opened.names.empty(); }));
    asking.join();
    EXPECT_EQ(reply, kShellOpenHandled);
    EXPECT_EQ(opened.names, std::vector<std::string>{"later.txt"});
}

// A run's context reaches the opener the window starts, as it reaches one the action starts.
TEST_F(ShellTest, OpenInShellGivesTheOpenerTheRunsEnvironment) {
    const std::string folder = dir_ / "bin";
    ::mkdir(folder.c_str(), 0700);
    const std::string seen = dir_ / "seen.txt";
    const std::string script = folder + "/xdg-open";
    std::ofstream(script) << "#!/bin/sh\necho \"$1 $TELLWEIR_TASK\" >'" << seen << ".tmp'\nmv '"
                          << seen << ".tmp' '" << seen << "'\n";
    ::chmod(script.c_str(), 0700);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(folder) + ":" + path);
    const std::string target = dir_.WriteFile("page.txt", "x");
    std::optional<int> reply;
    std::thread asking([&] {
        reply = port_.OpenInShell(target, nullptr, {{"TELLWEIR_TASK=Prices"}, nullptr});
    });
    // The window answers once it has started the opener; the opener then writes what it saw.
    const bool written = WaitFor([&] { return std::filesystem::exists(seen); });
    asking.join();
    qputenv("PATH", path);
    EXPECT_EQ(reply, kShellOpenHandled);
    ASSERT_TRUE(written);
    std::ifstream in(seen);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, QUrl::fromLocalFile(QString::fromStdString(target)).toString().toStdString() +
                        " Prices");
}

}  // namespace
}  // namespace tellweir::testing

#include "main_frame_desktop_test.moc"
