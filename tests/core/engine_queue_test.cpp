// The monitor engine's queue file (saving, loading, what a load refuses or skips) and the
// cleaning of the cache folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/engine_fixture.h"
#include "tests/support/task_run_support.h"
#include "tests/support/xml_text.h"
#include "transfer/local_fs.h"

namespace tellweir::testing {
namespace {

using Names = std::vector<std::string>;

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

class EngineQueueTest : public EngineTest {
  protected:
    EngineQueueTest() { MakeDirectories(dir_ / "1.1"); }

    // A queue document whose "Monitors" element the test fills.
    CXmlNode* NewQueue(CXmlNode& root, std::string_view top = "Monitors") {
        CXmlNode* monitors =
            root.AddChild("", "", "", XML_DECLARATION)->AddChild(top, "", "", XML_ELEMENT);
        monitors->AddChild("", "", "X-Monitors", XML_TEXT);
        return monitors;
    }
    static void AddStoredTask(CXmlNode& monitors, std::string_view name, std::string_view event,
                              std::string_view element = "Monitor") {
        CXmlNode* m = monitors.AddChild(element, "", "", XML_ELEMENT);
        m->WriteString("URI", "<null>");
        m->WriteString("Name", name);
        m->WriteInt("Events Count", 1);
        m->WriteString("Event 01/Name", event);
        m->WriteInt("Event 01/Actions Count", 1);
        m->WriteString("Event 01/Action 01", "Beep");
    }
    void WriteQueue(const CXmlNode& root) { dir_.WriteFile("1.1/m.xml", DocumentText(root)); }
};

TEST_F(EngineQueueTest, SavedQueueLoadsBackTheSameTasks) {
    const std::string local = dir_.WriteFile("watched.txt", "hello");
    MonitorTaskPtr page = NewTask("Page", "http://site.test/");
    page->SetEventActions(kEventOk, "Beep\r\nPrompt changed");
    MonitorTaskPtr file = NewTask("File", local);
    file->SetInt(task::kDownload, 1);
    file->SetEventActions(kEventContentChanged, "Save queue");
    MonitorTaskPtr manual = NewTask("Manual");
    manual->SetInt(task::kSchedule, task::kScheduleManual);
    manual->SetEventActions(kEventFirstTime, "Display queue");
    for (const MonitorTaskPtr& task : {page, file, manual})
        ASSERT_TRUE(engine_.AddTask(*task));
    engine_.StopTasks({file});

    ASSERT_EQ(engine_.SaveQueue(), 0);
    const std::string text = ReadAll(queuePath_);
    EXPECT_TRUE(text.starts_with(std::string(kDeclaration) +
                                 "<Monitors>\r\n  X-Monitors\r\n  <Monitor>\r\n    <URI>"))
        << text;
    EXPECT_TRUE(text.ends_with("  </Monitor>\r\n</Monitors>\r\n"));

    CMonitorEngine loaded;
    ASSERT_EQ(loaded.LoadQueue(), 0);
    std::vector<MonitorTaskPtr> tasks;
    loaded.SnapshotTasks(tasks);
    ASSERT_EQ(tasks.size(), 3u);
    const MonitorTaskPtr originals[] = {page, file, manual};
    const TaskState states[] = {TaskState::Waiting, TaskState::Idle, TaskState::Idle};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(originals[i]->GetName());
        EXPECT_EQ(tasks[i]->GetName(), originals[i]->GetName());
        EXPECT_EQ(tasks[i]->GetUri(), originals[i]->GetUri());
        EXPECT_EQ(tasks[i]->Int(task::kDownload), originals[i]->Int(task::kDownload));
        EXPECT_EQ(tasks[i]->GetEventTable(), originals[i]->GetEventTable());
        EXPECT_EQ(tasks[i]->GetSamplePath(), originals[i]->GetSamplePath());
        EXPECT_EQ(tasks[i]->GetState(), states[i]);
        EXPECT_EQ(tasks[i]->GetListIndex(), static_cast<std::int32_t>(i));
    }

    // Loading again replaces the list rather than adding to it.
    ASSERT_EQ(loaded.LoadQueue(), 0);
    loaded.SnapshotTasks(tasks);
    EXPECT_EQ(tasks.size(), 3u);
}

TEST_F(EngineQueueTest, EmptyQueueHoldsOnlyTheMarkerText) {
    ASSERT_EQ(engine_.SaveQueue(), 0);
    EXPECT_EQ(ReadAll(queuePath_),
              std::string(kDeclaration) + "<Monitors>X-Monitors</Monitors>\r\n");
    Added("A");
    EXPECT_EQ(engine_.LoadQueue(), 0);
    EXPECT_TRUE(Tasks().empty());
}

TEST_F(EngineQueueTest, LoadAndSaveFailuresLeaveTheListAlone) {
    struct Case {
        const char* what;
        std::string path;
        TransferResult load;
        bool saves;
    };
    const std::string folder = dir_ / "a-folder";
    MakeDirectories(folder);
    const std::string blocker = dir_.WriteFile("blocker", "x");
    const Case cases[] = {
        {"no queue file set", "", result::kInvalidParameter, false},
        {"missing file", dir_ / "missing.xml", result::kNotFound, true},
        {"a folder", folder, result::kReadOnly, false},
        {"folder cannot be made", blocker + "/sub/m.xml", result::kInvalidParameter, false},
    };
    Added("A");
    Added("B");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppSettings().SetString(setting::kMonitorQueueFile, c.path);
        EXPECT_EQ(engine_.LoadQueue(), c.load);
        EXPECT_EQ(TaskNames(), (Names{"A", "B"}));
        EXPECT_EQ(engine_.SaveQueue() == 0, c.saves);
        EXPECT_EQ(TaskNames(), (Names{"A", "B"}));
    }
}

TEST_F(EngineQueueTest, BareQueueFileNameIsWrittenInTheCurrentFolder) {
    ScopedCurrentFolder here(dir_.Path());
    AppSettings().SetString(setting::kMonitorQueueFile, "queue.xml");
    Added("A")->SetEventActions(kEventOk, "Beep");
    ASSERT_EQ(engine_.SaveQueue(), 0);
    EXPECT_TRUE(IsFile(dir_ / "queue.xml"));
    ASSERT_EQ(engine_.LoadQueue(), 0);
    EXPECT_EQ(TaskNames(), Names{"A"});
}

TEST_F(EngineQueueTest, NameWithAllNumbersTakenIsRefused) {
    CXmlNode root;
    CXmlNode* monitors = NewQueue(root);
    AddStoredTask(*monitors, "Page", "OK");
    for (int i = 1; i <= 10000; ++i)
        AddStoredTask(*monitors, Format("Page(%d)", i), "OK");
    WriteQueue(root);
    ASSERT_EQ(engine_.LoadQueue(), 0);
    ASSERT_EQ(Tasks().size(), 10001u);

    MonitorTaskPtr task = NewTask("Page");
    EXPECT_FALSE(engine_.AddTask(*task));
    EXPECT_EQ(task->GetName(), "Page(10000)") << "the last candidate stays";
    EXPECT_EQ(Tasks().size(), 10001u);
    EXPECT_EQ(task->GetListIndex(), -1);
    EXPECT_FALSE(task->GetLog()) << "a refused task is not prepared";
}

TEST_F(EngineQueueTest, LoadSkipsWhatCannotBeRestored) {
    CXmlNode root;
    CXmlNode* monitors = NewQueue(root);
    AddStoredTask(*monitors, "First", "OK");
    AddStoredTask(*monitors, "Broken", "No Such Event");
    AddStoredTask(*monitors, "Other", "OK", "Task");
    AddStoredTask(*monitors, "first", "Content Changed");
    AddStoredTask(*monitors, "Last", "OnError");
    WriteQueue(root);
    ASSERT_EQ(engine_.LoadQueue(), 0);
    EXPECT_EQ(TaskNames(), (Names{"First", "first(1)", "Last"}));
    EXPECT_TRUE(IndexesAreContiguous());
    EXPECT_EQ(Tasks()[0]->GetState(), TaskState::Waiting) << "restored tasks are resumed";

    // Another top element loads nothing, and the earlier tasks are gone all the same.
    CXmlNode other;
    AddStoredTask(*NewQueue(other, "Tasks"), "First", "OK");
    WriteQueue(other);
    EXPECT_EQ(engine_.LoadQueue(), 0);
    EXPECT_TRUE(Tasks().empty());
}

// Tasks on one URI created in the same second get cache names of their own: the second never
// deletes the first one's sample nor shares its INFO file.
TEST_F(EngineQueueTest, TasksOnOneUriCreatedInOneSecondKeepTheirOwnCacheFiles) {
    const std::string watched = dir_.WriteFile("watched.txt", "hello");
    MonitorTaskPtr first = Added("First", watched);
    ASSERT_TRUE(
        MakeDirectories(std::filesystem::path(first->GetSamplePath()).parent_path().string()));
    PutFile(first->GetSamplePath(), "kept sample", 0);
    PutFile(first->GetInfoPath(), "kept info", 0);
    MonitorTaskPtr second = Added("Second", watched);
    MonitorTaskPtr third = Added("Third", watched);

    EXPECT_EQ(second->GetSamplePath(), first->GetSamplePath() + "_2");
    EXPECT_EQ(third->GetSamplePath(), first->GetSamplePath() + "_3");
    EXPECT_EQ(third->GetInfoPath(), third->GetSamplePath() + ".info");
    EXPECT_EQ(ReadAll(first->GetSamplePath()), "kept sample");
    EXPECT_EQ(ReadAll(first->GetInfoPath()), "kept info");
}

TEST_F(EngineQueueTest, CleanupCacheKeepsReferencedFilesOnly) {
    const std::string cache = cache_.Path();
    const std::string watched = dir_.WriteFile("watched.txt", "hello");
    MonitorTaskPtr local = NewTask("Local", watched);
    local->SetInt(task::kDownload, 1);
    ASSERT_TRUE(engine_.AddTask(*local));
    local->StartRun(link_);
    local->PollRun(link_);
    local->ClassifyOutcome();  // makes the sample and the INFO file
    const std::string sample = local->GetSamplePath(), info = local->GetInfoPath();
    ASSERT_TRUE(IsFile(sample) && IsFile(info));
    MonitorTaskPtr remote = Added("Remote", "http://site.test/a.bin");
    const std::string download = remote->GetObjectPath();
    ASSERT_TRUE(MakeDirectories(std::filesystem::path(download).parent_path().string()));
    PutFile(download, "abc", 0);
    Added("Null");

    PutFile(cache + "/stray.txt", "stray", 0);
    ASSERT_TRUE(MakeDirectories(cache + "/sub/deep"));
    PutFile(cache + "/sub/deep/old.bin", "old", 0);
    ASSERT_TRUE(MakeDirectories(cache + "/empty"));

    const CacheCleanupResult cleaned = engine_.CleanupCache();
    EXPECT_EQ(cleaned.skipped, 3);
    EXPECT_EQ(cleaned.skippedBytes, 5 + GetFileSize(info) + 3);
    EXPECT_EQ(cleaned.deleted, 2);
    EXPECT_EQ(cleaned.deletedBytes, 8);
    for (const std::string& kept : {sample, info, download})
        EXPECT_TRUE(IsFile(kept)) << kept;
    for (const char* gone : {"/stray.txt", "/sub", "/empty"})
        EXPECT_EQ(GetPathKind(cache + gone), PathKind::Missing) << gone;
    EXPECT_TRUE(IsDirectory(cache + "/locals"));

    ScopedCacheFolder noCache(false);
    const CacheCleanupResult none = engine_.CleanupCache();
    EXPECT_EQ(none.skipped + none.deleted, 0);
    EXPECT_EQ(none.skippedBytes + none.deletedBytes, 0);
}

}  // namespace
}  // namespace tellweir::testing
