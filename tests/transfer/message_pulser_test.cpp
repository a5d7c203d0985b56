// Tests of CMessagePulser: refreshing at intervals, dropping entries whose view is gone, and the
// thread that lives only while there are entries.
#include "transfer/message_pulser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/wait_until.h"

namespace tellweir {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// A stand-in for the windows: records which views were asked to refresh, and can "destroy"
// its views.
struct Target final : IDesktopPort {
    bool RefreshView(std::int32_t viewId) override {
        if (destroyed) return false;
        std::lock_guard lock(mutex);
        views.push_back(viewId);
        return true;
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return views.size();
    }

    std::mutex mutex;
    std::vector<std::int32_t> views;
    std::atomic<bool> destroyed{false};
};

TEST(MessagePulserTest, PostsEachEntryAtItsOwnIntervalUntilRemoved) {
    CMessagePulser pulser;
    Target fast;
    Target slow;
    EXPECT_EQ(pulser.Add(nullptr, 1, 10), 0);
    const std::int32_t fastId = pulser.Add(&fast, 11, 0);
    const std::int32_t slowId = pulser.Add(&slow, 12, 60000);
    EXPECT_GT(fastId, 0);
    EXPECT_GT(slowId, fastId);
    EXPECT_TRUE(pulser.IsRunning());

    ASSERT_TRUE(WaitUntil([&] { return fast.Count() >= 3; }));
    {
        std::lock_guard lock(fast.mutex);
        EXPECT_EQ(fast.views[0], 11);
    }
    EXPECT_EQ(slow.Count(), 0u);

    EXPECT_TRUE(pulser.Remove(fastId));
    EXPECT_FALSE(pulser.Remove(fastId));
    const std::size_t afterRemove = fast.Count();
    std::this_thread::sleep_for(120ms);
    EXPECT_EQ(fast.Count(), afterRemove);  // no refresh once Remove has returned
    EXPECT_TRUE(pulser.IsRunning());

    EXPECT_TRUE(pulser.Remove(slowId));
    ASSERT_TRUE(WaitUntil([&] { return !pulser.IsRunning(); }));
}

TEST(MessagePulserTest, EntryOfAVanishedTargetIsDroppedAndTheLastOneEndsTheThread) {
    CMessagePulser pulser;
    Target staying;
    Target leaving;
    pulser.Add(&staying, 0, 0);
    pulser.Add(&leaving, 0, 0);
    leaving.destroyed = true;
    ASSERT_TRUE(WaitUntil([&] { return pulser.GetEntryCount() == 1; }));
    EXPECT_TRUE(pulser.IsRunning());
    staying.destroyed = true;
    ASSERT_TRUE(WaitUntil([&] { return !pulser.IsRunning(); }));
    EXPECT_EQ(pulser.GetEntryCount(), 0u);

    // A new entry starts a new thread.
    Target again;
    pulser.Add(&again, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return again.Count() >= 1; }));
}

TEST(MessagePulserTest, RemoveAllReturnsTheDroppedCountOnceTheThreadHasEnded) {
    Target target;
    {
        CMessagePulser pulser;
        EXPECT_EQ(pulser.RemoveAll(), 0u);
        for (int i = 0; i < 3; ++i)
            pulser.Add(&target, i, 0);
        EXPECT_EQ(pulser.RemoveAll(), 3u);
        EXPECT_FALSE(pulser.IsRunning());
        const std::size_t posted = target.Count();
        std::this_thread::sleep_for(80ms);
        EXPECT_EQ(target.Count(), posted);

        pulser.Add(&target, 0, 0);
        EXPECT_TRUE(pulser.IsRunning());
        // The destructor empties the pulser and waits for the thread.
    }
}

}  // namespace
}  // namespace tellweir
