// The queue file the engine cannot read whole: entries it cannot read stay in their places, a
// damaged file is never saved over without a kept copy, and saves at the same time leave the
// newest list on disk.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <thread>

#include "base/text_format.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/task_run_support.h"
#include "transfer/local_fs.h"

namespace tellweir::testing {
namespace {

using Names = std::vector<std::string>;

// One stored task; `event` decides whether it can be restored.
std::string Entry(std::string_view element, std::string_view name, std::string_view event) {
    return Format(
        "<%s>\r\n    <URI>&lt;null&gt;</URI>\r\n    <Name>%s</Name>\r\n    "
        "<Events_Count>1</Events_Count>\r\n    <Event_01>\r\n      <Name>%s</Name>\r\n      "
        "<Actions_Count>1</Actions_Count>\r\n      <Action_01>Beep</Action_01>\r\n    "
        "</Event_01>\r\n  </%s>",
        element, name, event, element);
}

std::string Queue(const std::vector<std::string>& entries) {
    std::string text = "<?xml version=\"1.0\"?>\r\n<Monitors>\r\n  X-Monitors\r\n";
    for (const std::string& entry : entries)
        text += "  " + entry + "\r\n";
    return text + "</Monitors>\r\n";
}

class QueueDamageTest : public EngineTest {
  protected:
    QueueDamageTest() { MakeDirectories(dir_ / "1.1"); }
};

// Entries that cannot be read go back verbatim after the task they followed, also when that
// task is gone; a load reports them and loads the rest.
TEST_F(QueueDamageTest, UnreadableEntriesKeepTheirPlaces) {
    const std::string unknownEvent = Entry("Monitor", "Broken", "OnNoSuchEvent");
    const std::string otherElement = Entry("Task", "Other", "OnOK");
    dir_.WriteFile("1.1/m.xml", Queue({Entry("Monitor", "A", "OnOK"), unknownEvent,
                                       Entry("Monitor", "B", "OnOK"), otherElement}));
    ASSERT_EQ(engine_.LoadQueue(), 0);
    EXPECT_EQ(TaskNames(), (Names{"A", "B"}));
    const QueueFileReport report = engine_.GetQueueReport();
    EXPECT_FALSE(report.Damaged());
    EXPECT_EQ(report.skipped,
              (Names{"Skipped the queue file entry \"Broken\": it cannot be read and stays in "
                     "the file as it is.",
                     "Skipped the queue file entry <Task>: it cannot be read and stays in the "
                     "file as it is."}));

    engine_.DeleteTasks({Tasks()[0]});
    Added("C");
    ASSERT_EQ(engine_.SaveQueue(), 0);
    const std::string text = ReadAll(queuePath_);
    const std::size_t broken = text.find(unknownEvent), b = text.find("<Name>B</Name>"),
                      other = text.find(otherElement), c = text.find("<Name>C</Name>");
    ASSERT_NE(broken, std::string::npos) << text;
    ASSERT_NE(other, std::string::npos) << text;
    EXPECT_LT(broken, b) << "A was first, so what followed it comes first";
    EXPECT_LT(b, other);
    EXPECT_LT(other, c);
    EXPECT_EQ(text.find("A</Name>"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "1.1"),
                            std::filesystem::directory_iterator()),
              1)
        << "a whole file needs no kept copy";
}

// A damaged file is saved over only once it is kept under its planned name (or the next free
// one); when no name is free, the save is refused and the file stays.
TEST_F(QueueDamageTest, DamagedFileIsKeptBeforeItIsSavedOver) {
    const std::string damaged = Queue({Entry("Monitor", "A", "OnOK")}) + "</Stray>";
    dir_.WriteFile("1.1/m.xml", damaged);
    ASSERT_EQ(engine_.LoadQueue(), 0);
    QueueFileReport report = engine_.GetQueueReport();
    ASSERT_TRUE(report.Damaged());
    EXPECT_EQ(report.loaded, 1);
    EXPECT_TRUE(std::regex_match(
        report.keptAs, std::regex(std::regex_replace(queuePath_, std::regex("[.]"), "[.]") +
                                  "[.]damaged-[0-9]{8}-[0-9]{6}")))
        << report.keptAs;
    for (int n = 1; n <= 100; ++n)
        WriteAll(report.keptAs + (n == 1 ? "" : "-" + std::to_string(n)), "taken");
    EXPECT_NE(engine_.SaveQueue(), 0);
    EXPECT_EQ(ReadAll(queuePath_), damaged);

    const std::string copy = report.keptAs + "-7";
    std::filesystem::remove(copy);
    ASSERT_EQ(engine_.SaveQueue(), 0);
    EXPECT_EQ(ReadAll(copy), damaged);
    report = engine_.GetQueueReport();
    EXPECT_TRUE(report.kept);
    EXPECT_EQ(report.Describe(),
              "The queue was damaged: \"" + queuePath_ + "\" kept as \"" + copy + "\".");
    ASSERT_EQ(engine_.LoadQueue(), 0);
    EXPECT_FALSE(engine_.GetQueueReport().Damaged()) << "the saved file is whole";
}

// A long file is read piece by piece; entries that cannot be read go back verbatim wherever
// they lie in it, also across the pieces.
TEST_F(QueueDamageTest, UnreadableEntriesOfALongFileKeepTheirPlaces) {
    std::vector<std::string> entries;
    std::vector<std::string> broken;
    for (int i = 0; i < 1200; ++i) {
        if (i % 37 == 5) {
            broken.push_back(Entry("Monitor", "Broken" + std::to_string(i), "OnNoSuchEvent"));
            entries.push_back(broken.back());
        }
        entries.push_back(Entry("Monitor", "T" + std::to_string(i), "OnOK"));
    }
    const std::string text = Queue(entries);
    ASSERT_GT(text.size(), 4u * 64 * 1024);
    dir_.WriteFile("1.1/m.xml", text);
    ASSERT_EQ(engine_.LoadQueue(), 0);
    EXPECT_EQ(Tasks().size(), 1200u);
    EXPECT_EQ(engine_.GetQueueReport().skipped.size(), broken.size());
    ASSERT_EQ(engine_.SaveQueue(), 0);
    const std::string saved = ReadAll(queuePath_);
    for (std::size_t k = 0; k < broken.size(); ++k) {
        SCOPED_TRACE(k);
        const int i = static_cast<int>(k) * 37 + 5;
        const std::size_t at = saved.find("  " + broken[k] + "\r\n");
        ASSERT_NE(at, std::string::npos);
        EXPECT_LT(saved.find("<Name>T" + std::to_string(i - 1) + "</Name>"), at);
        EXPECT_GT(saved.find("<Name>T" + std::to_string(i) + "</Name>"), at);
    }
}

// A queue read only to be visited hands over the tasks a load would list, names made unique
// and in order, says what a load says about the rest, and leaves nothing to save over the file.
TEST_F(QueueDamageTest, VisitedQueueListsWhatALoadListsAndIsNeverSaved) {
    const std::string text =
        Queue({Entry("Monitor", "A", "OnOK"), Entry("Monitor", "Broken", "OnNoSuchEvent"),
               Entry("Monitor", "a", "OnError"), Entry("Monitor", "B", "OnOK")}) +
        "</Stray>";
    dir_.WriteFile("1.1/m.xml", text);
    ASSERT_EQ(engine_.LoadQueue(), 0);
    const Names loaded = TaskNames();
    std::vector<TaskState> loadedStates;
    for (const MonitorTaskPtr& task : Tasks())
        loadedStates.push_back(task->GetState());
    const QueueFileReport loadReport = engine_.GetQueueReport();
    ASSERT_EQ(loaded.size(), 3u);

    CMonitorEngine lister;
    Names visited;
    std::vector<TaskState> states;
    ASSERT_EQ(lister.VisitQueue([&](const CMonitorTask& task) {
        visited.push_back(task.GetName());
        states.push_back(task.GetState());
    }),
              0);
    EXPECT_EQ(visited, loaded);
    EXPECT_EQ(states, loadedStates);
    const QueueFileReport report = lister.GetQueueReport();
    EXPECT_EQ(report.loaded, 3);
    EXPECT_EQ(report.problem, loadReport.problem);
    EXPECT_EQ(report.skipped, loadReport.skipped);
    std::vector<MonitorTaskPtr> held;
    lister.SnapshotTasks(held);
    EXPECT_TRUE(held.empty());
    EXPECT_EQ(lister.SaveQueue(), result::kReadOnly);
    EXPECT_EQ(ReadAll(queuePath_), text);
}

// Each save writes the list as it was when the save began, and saves do not overlap, so the
// file always ends with the newest list, whichever thread saved last.
TEST_F(QueueDamageTest, ConcurrentSavesLeaveTheNewestList) {
    std::atomic<bool> done = false;
    std::thread other([this, &done] {
        while (!done)
            (void)engine_.SaveQueue();
    });
    for (int round = 0; round < 50; ++round) {
        const std::string name = "T" + std::to_string(round);
        Added(name);
        EXPECT_EQ(engine_.SaveQueue(), 0);
        EXPECT_NE(ReadAll(queuePath_).find("<Name>" + name + "</Name>"), std::string::npos)
            << "round " << round;
    }
    done = true;
    other.join();
}

}  // namespace
}  // namespace tellweir::testing
