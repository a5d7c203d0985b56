// Desktop notifications on a bus of the test's own: prompts and lit icons of a hidden window
// reach org.freedesktop.Notifications with the task's name and text, one notification per task,
// choosing one shows the window with that task selected, and without a service the fallback
// (the tray balloon) shows the message.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "history/version_store.h"
#include "shell/changes_view/changes_window.h"
#include "shell/main_window/task_list_view.h"
#include "shell/program/desktop_notifier.h"
#include "tests/shell/program/private_session_bus.h"
#include "tests/shell/shell_fixture.h"

namespace tellweir::testing {
namespace {

class DesktopNotifierTest : public ShellTest {
  protected:
    // A task that never runs by itself, so no event of its own sends a notification.
    void AddQuietTask(const std::string& name) {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, dir_.WriteFile(name + ".txt", "text"));
        task->SetInt(task::kSchedule, task::kScheduleManual);
        ASSERT_TRUE(engine_.AddTask(*task)) << name;
    }

    static const FakeNotificationService::Call* LastCallOf(const FakeNotificationService& service,
                                                           const QString& summary) {
        const FakeNotificationService::Call* last = nullptr;
        for (const auto& call : service.Calls())
            if (call.summary == summary) last = &call;
        return last;
    }
};

TEST_F(DesktopNotifierTest, PromptsOfAHiddenWindowReachTheServiceOnePerTask) {
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.Ok()) << bus.Error();
    FakeNotificationService service(bus.Connect(QStringLiteral("service")));
    ASSERT_TRUE(service.Registered());
    AddQuietTask("alpha");
    AddQuietTask("beta");
    CMainFrame& frame = Frame();
    CDesktopNotifier& notifier = *frame.Notifier();
    notifier.UseBus(bus.Connect(QStringLiteral("program")));
    frame.hide();

    port_.ShowPrompt("alpha", "Monitored resource was changed.");
    ASSERT_TRUE(WaitFor([&] { return notifier.NotificationId(QStringLiteral("alpha")) != 0; }));
    ASSERT_EQ(service.Calls().size(), 1u);
    const FakeNotificationService::Call first = service.Calls().front();
    EXPECT_EQ(first.appName, QStringLiteral("Tellweir"));
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.icon, QStringLiteral("tellweir"));
    EXPECT_EQ(first.summary, QStringLiteral("alpha"));
    EXPECT_EQ(first.body, QStringLiteral("Monitored resource was changed."));
    EXPECT_TRUE(first.actions.contains(QStringLiteral("default")))
        << first.actions.join(',').toStdString();
    EXPECT_EQ(first.timeout, -1);

    // The same task replaces its notification; another task gets one of its own. Sent
    // back to back, before any reply: the second of "alpha" still waits for the first's id.
    port_.ShowPrompt("alpha", "Monitored resource is UP now.");
    port_.LightTrayIcon("beta", "Size changed.");
    port_.ShowPrompt("alpha", "Monitored resource was changed again.");
    ASSERT_TRUE(WaitFor([&] {
        const auto* last = LastCallOf(service, QStringLiteral("alpha"));
        return notifier.NotificationId(QStringLiteral("beta")) != 0 && last &&
               last->body == QStringLiteral("Monitored resource was changed again.");
    }));
    for (const auto& call : service.Calls()) {
        if (call.summary == QStringLiteral("alpha")) {
            EXPECT_EQ(call.id, first.id) << call.body.toStdString();
        }
    }
    const auto* beta = LastCallOf(service, QStringLiteral("beta"));
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->replacesId, 0u);
    EXPECT_NE(beta->id, first.id);
    EXPECT_EQ(beta->body, QStringLiteral("Size changed."));

    // Choosing beta's notification brings the window back with beta selected.
    service.InvokeDefaultAction(beta->id);
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<MonitorTaskPtr> selected = frame.List()->SelectedTasks();
        return frame.isVisible() && selected.size() == 1 && selected.front()->GetName() == "beta";
    }));
    EXPECT_FALSE(frame.IsLit()) << "the lit icon told its news";
}

// A change's notification says how much changed, and choosing it opens the task's changes.
TEST_F(DesktopNotifierTest, ChangeNotificationLeadsToTheChanges) {
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.Ok()) << bus.Error();
    FakeNotificationService service(bus.Connect(QStringLiteral("service")));
    ASSERT_TRUE(service.Registered());
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetName("prices");
    task->SetString(task::kUri, dir_.WriteFile("prices.txt", "text"));
    task->SetString(task::kSamplePath, dir_ / "prices.sample");
    task->SetInt(task::kSchedule, task::kScheduleManual);
    ASSERT_TRUE(engine_.AddTask(*task));  // first: a task created afresh clears its versions
    VersionRecord record;
    record.event = "First Time";
    ASSERT_EQ(CVersionStore(task->GetVersionFolder()).Add(record, "price 1\n", VersionLimits{}), 1);
    task->SetInt(task::kNewestVersion, 1);
    CMainFrame& frame = Frame();
    frame.Notifier()->UseBus(bus.Connect(QStringLiteral("program")));
    frame.hide();

    port_.ShowChangePrompt("prices", "Content Changed", {1, "1 line added"});
    ASSERT_TRUE(WaitFor([&] { return LastCallOf(service, QStringLiteral("prices")) != nullptr; }));
    const auto* call = LastCallOf(service, QStringLiteral("prices"));
    EXPECT_EQ(call->body, QStringLiteral("Content Changed (1 line added)"));
    service.InvokeDefaultAction(call->id);
    ASSERT_TRUE(WaitFor([&] { return frame.ChangesWindow(task.get()) != nullptr; }));
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(task->GetViewedVersion(), 1);
    ASSERT_TRUE(WaitFor([&] { return !frame.ChangesWindow(task.get())->Busy(); }));
}

// No service on the bus, or no bus at all: the message is shown the old way, and nothing is
// kept to replace.
TEST_F(DesktopNotifierTest, WithoutAServiceTheFallbackShowsTheMessage) {
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.Ok()) << bus.Error();
    const std::pair<const char*, QDBusConnection> cases[] = {
        {"no service", bus.Connect(QStringLiteral("program"))},
        {"no bus", QDBusConnection(QStringLiteral("never connected"))},
    };
    for (const auto& [name, connection] : cases) {
        SCOPED_TRACE(name);
        CDesktopNotifier notifier;
        notifier.UseBus(connection);
        std::vector<std::pair<QString, QString>> shown;
        notifier.SetFallback(
            [&](const QString& task, const QString& text) { shown.emplace_back(task, text); });
        notifier.Notify(QStringLiteral("alpha"), QStringLiteral("Monitored resource was changed."));
        ASSERT_TRUE(WaitFor([&] { return !shown.empty(); }));
        EXPECT_EQ(shown.front().first, QStringLiteral("alpha"));
        EXPECT_EQ(shown.front().second, QStringLiteral("Monitored resource was changed."));
        EXPECT_EQ(notifier.NotificationId(QStringLiteral("alpha")), 0u);
    }
}

}  // namespace
}  // namespace tellweir::testing
