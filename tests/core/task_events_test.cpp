// Events and actions of a task: which raised event is chosen, what running its actions writes and
// collects, the default event table and its description for the dialogs.
#include <gtest/gtest.h>

#include "core/event_table.h"
#include "core/monitor_task.h"
#include "log/log_registry.h"
#include "tests/support/core_fakes.h"

namespace tellweir {
namespace {

using testing::RecordingDesktop;
using testing::RecordingSound;

class TaskEventsTest : public ::testing::Test {
  protected:
    TaskEventsTest() {
        task_->SetName("Page");
        task_->SetString(task::kUri, "http://site.test/");
        log_ = CLogRegistryLog();
    }
    ~TaskEventsTest() override { task_->ReleaseLog(); }
    // Gives the task a log without preparing it (no cache folder involved).
    ItemLogPtr CLogRegistryLog() {
        task_->SetInt(task::kLogId, CLogRegistry::Instance().CreateLog());
        return task_->GetLog();
    }

    RecordingSound sound_;
    RecordingDesktop desktop_;
    MonitorTaskPtr task_ = CMonitorTask::Create();
    ItemLogPtr log_;
};

TEST_F(TaskEventsTest, LastRaisedEventWithActionsIsChosen) {
    struct Case {
        const char* what;
        std::vector<int> raised;
        std::vector<int> withEntries;
        int chosen;
    };
    const Case cases[] = {
        {"both have actions",
         {kEventOk, kEventContentChanged},
         {kEventOk, kEventContentChanged},
         kEventContentChanged},
        {"only the first has", {kEventOk, kEventContentChanged}, {kEventOk}, kEventOk},
        {"none has: the first", {kEventOk, kEventContentChanged}, {}, kEventOk},
        {"error family",
         {kEventError, kEventHttpError, kEventHttp4xxError},
         {kEventError},
         kEventError},
        {"not applicable is only logged",
         {kEventLocalFileExists, kEventOk},
         {kEventLocalFileExists},
         kEventOk},
        {"changed is never chosen", {kEventChanged}, {kEventChanged}, -1},
        // A recovering run raises UP, then OK: UP is the news.
        {"UP wins over OK", {kEventUp, kEventOk}, {kEventUp, kEventOk}, kEventUp},
        {"UP without actions does not", {kEventUp, kEventOk}, {kEventOk}, kEventOk},
        {"UP raised last wins as before", {kEventOk, kEventUp}, {kEventUp, kEventOk}, kEventUp},
        {"a later event with actions still wins",
         {kEventUp, kEventOk, kEventContentChanged},
         {kEventUp, kEventOk, kEventContentChanged},
         kEventContentChanged},
        {"nothing raised", {}, {kEventOk}, -1},
    };
    for (const Case& c : cases) {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetString(task::kUri, "http://site.test/");
        for (int e : c.withEntries)
            task->SetEventActions(e, "Beep");
        for (int e : c.raised)
            task->HandleEvent(e);
        EXPECT_EQ(task->GetChosenEvent(), c.chosen) << c.what;
    }
}

TEST_F(TaskEventsTest, HandleEventLogsDisplayNameAsDetail) {
    task_->HandleEvent(kEventHttp4xxError);
    task_->HandleEvent(kEventLocalDirExists);
    task_->HandleEvent(99);
    EXPECT_EQ(log_->GetText(),
              "D:\tHandleEvent: HTTP 4xx Error.\r\nD:\tHandleEvent: Local Dir Exists.\r\n");
}

TEST_F(TaskEventsTest, RunActionsLogsRunsAndCollectsEngineActions) {
    task_->SetEventActions(kEventOk,
                           "Beep Freq=100 Duration=10\r\nSave queue\r\nPrompt done\r\n"
                           "Stop Monitor Task\r\nSave queue");
    task_->HandleEvent(kEventOk);
    log_->Clear();
    task_->RunActions(desktop_);
    EXPECT_EQ(log_->GetText(),
              "S:\tLast monitor event: OK (none), 5 actions.\r\n"
              "S:\tAction 1: Beep Freq=100 Duration=10.\r\n"
              "S:\tAction 2: Save queue.\r\n"
              "S:\tAction 3: Prompt done.\r\n"
              "S:\tAction 4: Stop Monitor Task.\r\n"
              "S:\tAction 5: Save queue.\r\n");
    EXPECT_EQ(sound_.Calls(), std::vector<std::string>{"tone 100 10"});
    EXPECT_EQ(desktop_.Calls(), std::vector<std::string>{"prompt Page: done"});

    std::vector<int> codes{8};
    task_->TakeEngineActions(codes);
    EXPECT_EQ(codes, (std::vector<int>{8, 9, 7, 9}));
    task_->TakeEngineActions(codes);
    EXPECT_EQ(codes.size(), 4u);
}

TEST_F(TaskEventsTest, ChosenEventWithoutEntryRunsNone) {
    task_->SetLastResult(1011);
    task_->HandleEvent(kEventError);
    log_->Clear();
    task_->RunActions(desktop_);
    EXPECT_EQ(log_->GetText(),
              "S:\tLast monitor event: Error (HTTP 4xx error), 1 action.\r\n"
              "S:\tAction 1: None.\r\n");
    EXPECT_TRUE(sound_.Calls().empty());
}

TEST_F(TaskEventsTest, NoChosenEventRunsNothing) {
    MonitorTaskPtr other = CMonitorTask::Create();
    other->SetString(task::kUri, "www.site.test");  // a kind without events
    other->SetEventActions(kEventOk, "Beep");
    other->HandleEvent(kEventOk);
    other->RunActions(desktop_);
    std::vector<int> codes;
    other->TakeEngineActions(codes);
    EXPECT_TRUE(codes.empty());
    EXPECT_TRUE(sound_.Calls().empty());

    task_->RunActions(desktop_);
    EXPECT_EQ(log_->GetText(), "");
}

TEST_F(TaskEventsTest, DefaultTableFollowsTheKind) {
    task_->SetEventActions(kEventNotExists, "Beep");
    task_->ApplyDefaultEvents();
    std::vector<std::string> with, summaries;
    std::vector<int> without;
    task_->DescribeEvents(
        [&](int event, std::string_view actions, std::string_view summary) {
            with.emplace_back(EventDisplayName(event));
            summaries.emplace_back(summary);
            std::string stored;
            EXPECT_TRUE(task_->GetEventActions(event, stored));
            EXPECT_EQ(actions, stored);
        },
        [&](int event) { without.push_back(event); });
    EXPECT_EQ(with,
              (std::vector<std::string>{"First Time", "OK", "Error", "UP", "Content Changed"}));
    EXPECT_EQ(summaries, (std::vector<std::string>{"Beep; Prompt", "Beep", "Beep; Prompt",
                                                   "Beep; Prompt", "Beep; Prompt"}));
    EXPECT_EQ(without, (std::vector<int>{10, 11, 14, 15, 17, 18, 4, 5, 6, 7, 19, 20, 21, 22}));
    EXPECT_TRUE(task_->HasUnsetEvents());

    MonitorTaskPtr null = CMonitorTask::Create();
    null->SetString(task::kUri, "<null>");
    null->ApplyDefaultEvents();
    EXPECT_EQ(null->GetEventTable().size(), 2u);
    EXPECT_FALSE(null->HasUnsetEvents());

    MonitorTaskPtr none = CMonitorTask::Create();
    none->SetString(task::kUri, "www.site.test");
    none->SetEventActions(kEventOk, "Beep");
    none->ApplyDefaultEvents();
    EXPECT_TRUE(none->GetEventTable().empty());
    EXPECT_FALSE(none->HasUnsetEvents());
}

TEST_F(TaskEventsTest, EventTableEditing) {
    std::string text = "stale";
    EXPECT_FALSE(task_->GetEventActions(kEventOk, text));
    EXPECT_EQ(text, "");
    task_->SetEventActions(kEventOk, "Beep");
    task_->SetEventActions(kEventOk, "Prompt again");
    task_->SetEventActions(kEventCount, "Beep");  // no such event
    EXPECT_EQ(task_->GetEventTable(), (CMonitorTask::EventTable{{"OnOK", "Prompt again"}}));
    task_->RemoveEvent(kEventOk);
    EXPECT_TRUE(task_->GetEventTable().empty());
}

}  // namespace
}  // namespace tellweir
