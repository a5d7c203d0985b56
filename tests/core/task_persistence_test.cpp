// Monitor tasks in the queue file: what Save writes, what Restore accepts, and the state a
// restored task comes back in.
#include <gtest/gtest.h>

#include "core/event_table.h"
#include "core/monitor_task.h"
#include "tests/support/core_fakes.h"
#include "tests/support/xml_text.h"

namespace tellweir {
namespace {

using testing::DocumentText;
using testing::FixedClock;
using testing::MakeTime;
using testing::ParseDocumentText;
using testing::ScopedCacheFolder;

const DateTime kNow = MakeTime(2004, 3, 3, 14, 5, 9);

class TaskPersistenceTest : public ::testing::Test {
  protected:
    // A document with one "Monitor" element, written to text and parsed back as the queue file
    // would be.
    CXmlNode* Reparsed(CXmlNode& root) {
        ParseDocumentText(root, DocumentText(root));
        return root.FindChild("Monitor", true, XML_ELEMENT, true);
    }
    CXmlNode* NewMonitor(CXmlNode& root) { return root.AddChild("Monitor", "", "", XML_ELEMENT); }

    // A hand-made element with the task basics and the given event entries.
    CXmlNode* StoredTask(CXmlNode& root, int eventCount) {
        CXmlNode* m = NewMonitor(root);
        m->WriteString("URI", "http://site.test/");
        m->WriteString("Name", "Stored");
        m->WriteInt64("NextStartTime", kNext.ToBits());
        if (eventCount >= 0) m->WriteInt("Events Count", eventCount);
        return m;
    }

    MonitorTaskPtr Restore(CXmlNode& element, bool& ok) {
        MonitorTaskPtr task = CMonitorTask::Create();
        ok = task->Restore(element);
        task->ReleaseLog();
        return task;
    }

    const DateTime kNext = MakeTime(2004, 3, 4, 8, 0, 0);
    FixedClock clock_{kNow};
    ScopedCacheFolder cache_;
};

TEST_F(TaskPersistenceTest, SaveWritesPropertiesAndNumberedEvents) {
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetName("Page");
    task->SetString(task::kUri, "http://site.test/");
    task->SetInt64(task::kBytesSent, 5000000000);
    task->SetEventActions(kEventOk, "Beep");
    task->SetEventActions(kEventContentChanged, "Beep\r\nPrompt changed\r\nSave queue\r\n");

    CXmlNode root;
    task->Save(*NewMonitor(root));
    CXmlNode* m = Reparsed(root);
    ASSERT_TRUE(m);
    std::string s;
    std::int32_t n = 0;
    std::int64_t n64 = 0;
    EXPECT_TRUE(m->ReadString("Name", s) && s == "Page");
    EXPECT_TRUE(m->ReadInt64("BytesSent", n64) && n64 == 5000000000);
    EXPECT_TRUE(m->ReadInt64("NextStartTime", n64) && n64 == kNow.ToBits());
    EXPECT_TRUE(m->ReadInt64("FirstStartTime", n64) && n64 == 0);  // not set: the number 0
    EXPECT_TRUE(m->ReadInt("Schedule", n) && n == 1);
    EXPECT_TRUE(m->ReadInt("Events Count", n) && n == 2);
    EXPECT_TRUE(m->ReadString("Event 01/Name", s) && s == "OnContentChanged");
    EXPECT_TRUE(m->ReadInt("Event 01/Actions Count", n) && n == 3);
    EXPECT_TRUE(m->ReadString("Event 01/Action 03", s) && s == "Save queue");
    EXPECT_TRUE(m->ReadString("Event 02/Name", s) && s == "OnOK");
    EXPECT_TRUE(m->ReadInt("Event 02/Actions Count", n) && n == 1);
    // The key path goes through element names: Event 01/Action 02 is Event_01 / Action_02.
    CXmlNode* event = m->FindChild("Event_01", true, XML_ELEMENT, true);
    ASSERT_TRUE(event);
    EXPECT_TRUE(event->FindChild("Action_02", true, XML_ELEMENT, true));
}

TEST_F(TaskPersistenceTest, RoundTripRestoresTaskAndResumesIt) {
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetName("Page");
    task->SetString(task::kUri, "http://site.test/a.html");
    task->SetInt(task::kDownload, 1);
    task->SetInt(task::kCount, 12);
    task->SetTime(task::kNextStartTime, kNext);
    task->SetTime(task::kFirstStartTime, MakeTime(2004, 1, 1, 1, 2, 3));
    task->ApplyDefaultEvents();
    // An empty line must not make the stored task unloadable.
    task->SetEventActions(kEventError, "Beep\r\n\r\nPrompt failed");

    CXmlNode root;
    task->Save(*NewMonitor(root));
    bool ok = false;
    MonitorTaskPtr back = Restore(*Reparsed(root), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(back->GetName(), "Page");
    EXPECT_EQ(back->Int(task::kDownload), 1);
    EXPECT_EQ(back->Int(task::kCount), 12);
    EXPECT_EQ(back->GetFirstStartTime(), MakeTime(2004, 1, 1, 1, 2, 3));
    EXPECT_EQ(back->GetState(), TaskState::Waiting);
    EXPECT_EQ(back->GetNextStartTimeShown(), kNext);
    CMonitorTask::EventTable expected = task->GetEventTable();
    expected["OnError"] = "Beep\r\nNone\r\nPrompt failed";
    EXPECT_EQ(back->GetEventTable(), expected);
}

TEST_F(TaskPersistenceTest, RestoreKeepsRepeatableActionsOnly) {
    CXmlNode root;
    CXmlNode* m = StoredTask(root, 1);
    m->WriteString("Event 01/Name", "ok");  // display name, any case
    const char* lines[] = {"Prompt first",
                           "Play Sound /a.wav",
                           "prompt second",
                           "Play Sound /b.wav",
                           "Save queue",
                           "None",
                           "Save queue",
                           "Beep",
                           "Beep Freq=1 Duration=1",
                           "Unknown",
                           "Unknown"};
    m->WriteInt("Event 01/Actions Count", 11);
    for (int k = 0; k < 11; ++k)
        m->WriteString(Format("Event 01/Action %.2d", k + 1), lines[k]);
    bool ok = false;
    MonitorTaskPtr task = Restore(*Reparsed(root), ok);
    ASSERT_TRUE(ok);
    std::string text;
    ASSERT_TRUE(task->GetEventActions(kEventOk, text));
    EXPECT_EQ(text,
              "Prompt first\r\nPlay Sound /a.wav\r\nPlay Sound /b.wav\r\nSave queue\r\nNone\r\n"
              "Beep\r\nUnknown\r\nUnknown");
}

TEST_F(TaskPersistenceTest, RestoreRefusesBrokenEntries) {
    struct Case {
        const char* what;
        int eventCount;
        std::vector<std::pair<const char*, const char*>> keys;
    };
    const Case cases[] = {
        {"no events count", -1, {}},
        {"no events", 0, {}},
        {"no name", 1, {{"Event 01/Actions Count", "0"}}},
        {"unknown event", 1, {{"Event 01/Name", "OnSunrise"}, {"Event 01/Actions Count", "0"}}},
        {"no action count", 1, {{"Event 01/Name", "OnOK"}}},
        {"negative count", 1, {{"Event 01/Name", "OnOK"}, {"Event 01/Actions Count", "-1"}}},
        {"missing line",
         1,
         {{"Event 01/Name", "OnOK"},
          {"Event 01/Actions Count", "2"},
          {"Event 01/Action 01", "Beep"}}},
        {"second entry missing", 2, {{"Event 01/Name", "OnOK"}, {"Event 01/Actions Count", "0"}}},
        {"bad uri",
         1,
         {{"URI", "gopher://x/"}, {"Event 01/Name", "OnOK"}, {"Event 01/Actions Count", "0"}}},
    };
    for (const Case& c : cases) {
        CXmlNode root;
        CXmlNode* m = StoredTask(root, c.eventCount);
        for (const auto& [key, value] : c.keys)
            m->WriteString(key, value);
        bool ok = true;
        Restore(*Reparsed(root), ok);
        EXPECT_FALSE(ok) << c.what;
    }
    CXmlNode root;
    CXmlNode* m = StoredTask(root, 1);
    m->WriteString("Event 01/Name", "OnOK");
    m->WriteInt("Event 01/Actions Count", 0);
    bool ok = false;
    MonitorTaskPtr task = Restore(*Reparsed(root), ok);
    EXPECT_TRUE(ok);
    std::string text = "stale";
    EXPECT_TRUE(task->GetEventActions(kEventOk, text));
    EXPECT_EQ(text, "");
}

TEST_F(TaskPersistenceTest, RestoredStateFollowsStoppedAndSchedule) {
    struct Case {
        int stopped;
        int schedule;
        TaskState state;
    };
    const Case cases[] = {
        {1, task::kSchedulePeriodic, TaskState::Idle},
        {0, task::kScheduleManual, TaskState::Idle},
        {0, task::kSchedulePeriodic, TaskState::Waiting},
        {0, task::kScheduleOnce, TaskState::Waiting},
    };
    for (const Case& c : cases) {
        CXmlNode root;
        CXmlNode* m = StoredTask(root, 1);
        m->WriteString("Event 01/Name", "OnOK");
        m->WriteInt("Event 01/Actions Count", 0);
        m->WriteInt("Stopped", c.stopped);
        m->WriteInt("Schedule", c.schedule);
        bool ok = false;
        MonitorTaskPtr task = Restore(*Reparsed(root), ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(task->GetState(), c.state) << c.stopped << " " << c.schedule;
        // A stored start time is kept, even when it is past.
        EXPECT_EQ(task->GetTime(task::kNextStartTime), kNext);
    }
}

}  // namespace
}  // namespace tellweir
