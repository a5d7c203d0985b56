// Saves of the queue off the caller's thread: the saver's gathering of requests, its end and its
// failures, and the engine's saves, which copy the list under the engine lock and write outside
// it.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>

#include "core/queue_saver.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/wait_until.h"
#include "transfer/local_fs.h"

namespace tellweir::testing {
namespace {

using namespace std::chrono_literals;

// A save function that counts its calls and, while closed, holds each call until opened.
class SaveGate {
  public:
    TransferResult Save() {
        std::unique_lock guard(lock_);
        ++started_;
        changed_.notify_all();
        changed_.wait(guard, [&] { return open_; });
        ++done_;
        return result_;
    }
    void Open() {
        std::lock_guard guard(lock_);
        open_ = true;
        changed_.notify_all();
    }
    bool WaitStarted(int count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, 10s, [&] { return started_ >= count; });
    }
    int Done() {
        std::lock_guard guard(lock_);
        return done_;
    }
    void Fail(TransferResult result) {
        std::lock_guard guard(lock_);
        result_ = result;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
    int started_ = 0;
    int done_ = 0;
    TransferResult result_ = 0;
};

TEST(QueueSaverTest, RequestsWhileASaveIsWrittenAreWrittenOnceAfterIt) {
    SaveGate gate;
    std::atomic<int> failures{0};
    CQueueSaver saver([&] { return gate.Save(); }, [&](TransferResult) { ++failures; }, 0ms);
    saver.Request();
    ASSERT_TRUE(gate.WaitStarted(1));
    for (int i = 0; i < 5; ++i)
        saver.Request();
    gate.Open();
    EXPECT_EQ(saver.Wait(), 0);
    EXPECT_EQ(gate.Done(), 2) << "the five requests made during the first save share one";
    saver.End();
    EXPECT_EQ(gate.Done(), 2);
    EXPECT_EQ(failures, 0);
}

TEST(QueueSaverTest, EndWritesWhatWasAskedAndDropsLaterRequests) {
    SaveGate gate;
    gate.Open();
    // Gathering for an hour: only the end, or a waiter, gets the save written.
    CQueueSaver saver([&] { return gate.Save(); }, {}, 1h);
    saver.Request();
    saver.Request();
    saver.End();
    EXPECT_EQ(gate.Done(), 1);
    saver.Request();
    EXPECT_EQ(saver.Wait(), 0) << "nothing is waited for after the end";
    EXPECT_EQ(gate.Done(), 1);
}

TEST(QueueSaverTest, WaitHurriesAGatheringRequestAndSaysTheFailure) {
    SaveGate gate;
    gate.Open();
    gate.Fail(result::kNoDiskSpace);
    std::vector<TransferResult> failures;
    CQueueSaver saver([&] { return gate.Save(); },
                      [&](TransferResult failed) { failures.push_back(failed); }, 1h);
    saver.Request();
    EXPECT_EQ(saver.Wait(), result::kNoDiskSpace);
    EXPECT_EQ(gate.Done(), 1);
    saver.End();
    EXPECT_EQ(failures, std::vector<TransferResult>{result::kNoDiskSpace});
}

TEST(QueueSaverTest, SaveMadeElsewhereCoversTheRequestsBeforeIt) {
    SaveGate gate;
    gate.Open();
    CQueueSaver saver([&] { return gate.Save(); }, {}, 1h);
    saver.Request();
    saver.Written(saver.Asked(), 0);
    EXPECT_EQ(saver.Wait(), 0);
    saver.End();
    EXPECT_EQ(gate.Done(), 0);
}

class EngineSaveTest : public EngineTest {
  protected:
    EngineSaveTest() { MakeDirectories(dir_ / "1.1"); }
    bool TemporaryFileHasData() {
        for (const auto& entry : std::filesystem::directory_iterator(dir_ / "1.1"))
            if (entry.path().filename().string().starts_with("m.xml.tmp") && entry.file_size() > 0)
                return true;
        return false;
    }
};

// A save that waits for a task (its lock held, as a run step holds it) keeps neither the engine
// nor the windows waiting: the list was copied under the engine lock and is written outside it.
TEST_F(EngineSaveTest, SaveWritesOutsideTheEngineLock) {
    const MonitorTaskPtr big = Added("Big");
    // More than the piece the writer buffers, so the file has data once this task is written.
    big->SetString(task::kPostData, std::string(600 * 1024, 'x'));
    const MonitorTaskPtr held = Added("Held");
    std::future<TransferResult> saved;
    std::future<bool> asked;
    {
        const auto taskLock = held->LockTask();
        saved = std::async(std::launch::async, [this] { return engine_.SaveQueue(); });
        ASSERT_TRUE(WaitUntil([&] { return TemporaryFileHasData(); }, 10s));
        // The save now waits for "Held"; the engine answers meanwhile.
        asked = std::async(std::launch::async, [this] { return engine_.NameExists("Big"); });
        EXPECT_EQ(asked.wait_for(10s), std::future_status::ready)
            << "the engine lock is free while the save writes";
    }
    EXPECT_TRUE(asked.get());
    EXPECT_EQ(saved.get(), 0);
    EXPECT_NE(ReadAll(queuePath_).find("<Name>Held</Name>"), std::string::npos);
}

TEST_F(EngineSaveTest, RequestedSavesAreWrittenBeforeTheEndAndNoneAfter) {
    Added("First");
    engine_.RequestSave();
    EXPECT_EQ(engine_.WaitForSaves(), 0);
    EXPECT_NE(ReadAll(queuePath_).find("<Name>First</Name>"), std::string::npos);

    // The "Save queue" action of a run asks for a save; the end writes it.
    const MonitorTaskPtr saving = NewTask("Saving");
    saving->SetEventActions(kEventFirstTime, "Save queue");
    ASSERT_TRUE(engine_.AddTask(*saving));
    engine_.RunPass();
    engine_.RunPass();
    ASSERT_EQ(saving->Int(task::kCount), 1);
    engine_.EndSaves();
    EXPECT_NE(ReadAll(queuePath_).find("<Name>Saving</Name>"), std::string::npos);

    // After the end nothing is written: the owner is about to delete the tasks.
    engine_.DeleteAllTasks();
    engine_.RequestSave();
    EXPECT_EQ(engine_.WaitForSaves(), 0);
    EXPECT_NE(ReadAll(queuePath_).find("<Name>Saving</Name>"), std::string::npos);
}

TEST_F(EngineSaveTest, FailedBackgroundSaveIsLoggedAndToldToTheWindows) {
    engine_.AnnounceStart();
    const std::string blocked = dir_.WriteFile("not-a-folder", "") + "/m.xml";
    ScopedSetting queueFile{setting::kMonitorQueueFile, PropertyValue::String(blocked)};
    Added("Task");
    engine_.RequestSave();
    EXPECT_NE(engine_.WaitForSaves(), 0);
    const std::vector<std::string> calls = desktop_.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(
        calls[0].starts_with("save failed: Cannot save the queue file \"" + blocked + "\" ("))
        << calls[0];
    EXPECT_NE(engine_.GetEngineLog()->GetText().find(calls[0].substr(13)), std::string::npos);
}

}  // namespace
}  // namespace tellweir::testing
