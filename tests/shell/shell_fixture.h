// The fixture of the window tests: one offscreen QApplication for the process, a real engine
// over local files in a temporary folder, the Qt desktop port, and helpers that answer message
// boxes and wait while the event loop runs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <functional>
#include <memory>

#include "app/services.h"
#include "core/monitor_engine.h"
#include "core/task_properties.h"
#include "shell/main_window/main_frame.h"
#include "shell/program/qt_desktop_port.h"
#include "shell/task_dialog/action_test_threads.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {

// Sets an application setting for its lifetime.
class ScopedAppSetting {
  public:
    ScopedAppSetting(PropertyId id, const std::string& value)
        : id_(id), previous_(AppSettings().String(id)) {
        AppSettings().SetString(id, value);
    }
    ~ScopedAppSetting() { AppSettings().SetString(id_, previous_); }
    ScopedAppSetting(const ScopedAppSetting&) = delete;
    ScopedAppSetting& operator=(const ScopedAppSetting&) = delete;

  private:
    PropertyId id_;
    std::string previous_;
};

// Runs the event loop until `condition` holds or `limit` has passed.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QTest::qWait(10);
    }
    return true;
}

// Makes `window` the active window, as a click on it would: keys reach the menus' shortcuts only
// there. The platform's own activation is asynchronous and, offscreen under load, may not come.
inline bool Activate(QWidget& window) {
    window.activateWindow();
    if (QTest::qWaitForWindowActive(&window, 200)) return true;
    QApplication::setActiveWindow(&window);
    return QApplication::activeWindow() == &window;
}

// Watches for the next message box, keeps its text, and clicks the button labelled `button`
// (mnemonic "&" ignored). Lives until the box was answered or the test ends.
class MessageBoxAnswer {
  public:
    explicit MessageBoxAnswer(QString button) : button_(std::move(button)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    bool Answered() const { return answered_; }
    const QString& Text() const { return text_; }

  private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (QAbstractButton* b : box->buttons()) {
            if (b->text().remove(QLatin1Char('&')) != button_) continue;
            text_ = box->text();
            answered_ = true;
            timer_.stop();
            QTest::mouseClick(b, Qt::LeftButton);
            return;
        }
    }

    QString button_;
    QString text_;
    bool answered_ = false;
    QTimer timer_;
};

class ShellTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (qApp) return;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "tellweir_shell_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        std::setlocale(LC_NUMERIC, "C");  // as the program does after Qt took the locale
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void SetUp() override {
        SetProgramIdentity();
        engine_.Start();
    }
    void TearDown() override {
        frame_.reset();
        port_.Close();
        // No Test Action thread outlives its test.
        EXPECT_TRUE(CActionTestThreads::Instance().JoinAll(std::chrono::seconds(20)));
        engine_.DeleteAllTasks();
        engine_.Stop();
    }

    // A task over a file of the folder, every hour from now: it runs once and then waits.
    MonitorTaskPtr AddFileTask(const std::string& name) {
        MonitorTaskPtr task = MakeFileTask(name);
        EXPECT_TRUE(engine_.AddTask(*task)) << name;
        return task;
    }
    // The same task, not yet in the engine.
    MonitorTaskPtr MakeFileTask(const std::string& name) {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, dir_.WriteFile(name + ".txt", "text of " + name));
        task->SetInt(task::kSchedule, task::kSchedulePeriodic);
        task->SetInt(task::kScheduleRepeatValue, 1);
        task->SetString(task::kScheduleRepeatUnit, "hours");
        task->ApplyDefaultEvents();
        return task;
    }

    CMainFrame& Frame() {
        if (!frame_) {
            frame_ = std::make_unique<CMainFrame>(engine_, port_, settings_);
            frame_->Start(false);
            EXPECT_TRUE(Activate(*frame_));
        }
        return *frame_;
    }

    TempDir dir_{"shell"};
    ScopedAppSetting queueFile_{setting::kMonitorQueueFile, dir_ / "queue.xml"};
    ScopedAppSetting cacheFolder_{setting::kCacheFolder, dir_ / "cache"};
    // The task logs keep their lines only under a limit.
    const std::int32_t maxLines_ = (AppSettings().SetInt(setting::kMaxLogLines, 2000), 2000);
    CQtDesktopPort port_;
    CMonitorEngine engine_{{.transfers = nullptr, .desktop = &port_}};
    CPropertySet settings_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace tellweir::testing
