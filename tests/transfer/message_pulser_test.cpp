// Tests of CMessagePulser: posting at intervals, dropping entries whose target is gone, and the
// thread that lives only while there are entries.
#include "transfer/message_pulser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tellweir {
namespace {

using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 3000ms) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A stand-in for a window: records what is posted to it, and can be "destroyed".
struct Target {
    struct Post {
        std::uint32_t message;
        std::intptr_t wParam;
        std::intptr_t lParam;
    };

    CMessagePulser::PostFunc Poster() {
        return [this](std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
            if (destroyed) return false;
            std::lock_guard lock(mutex);
            posts.push_back({message, wParam, lParam});
            return true;
        };
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return posts.size();
    }

    std::mutex mutex;
    std::vector<Post> posts;
    std::atomic<bool> destroyed{false};
};

TEST(MessagePulserTest, PostsEachEntryAtItsOwnIntervalUntilRemoved) {
    CMessagePulser pulser;
    Target fast;
    Target slow;
    EXPECT_EQ(pulser.Add({}, 2736, 0, 0, 10), 0);
    const std::int32_t fastId = pulser.Add(fast.Poster(), 2736, 22, 11, 0);
    const std::int32_t slowId = pulser.Add(slow.Poster(), 2736, 0, 0, 60000);
    EXPECT_GT(fastId, 0);
    EXPECT_GT(slowId, fastId);
    EXPECT_TRUE(pulser.IsRunning());

    ASSERT_TRUE(WaitUntil([&] { return fast.Count() >= 3; }));
    {
        std::lock_guard lock(fast.mutex);
        EXPECT_EQ(fast.posts[0].message, 2736u);
        EXPECT_EQ(fast.posts[0].wParam, 11);
        EXPECT_EQ(fast.posts[0].lParam, 22);
    }
    EXPECT_EQ(slow.Count(), 0u);

    EXPECT_TRUE(pulser.Remove(fastId));
    EXPECT_FALSE(pulser.Remove(fastId));
    const std::size_t afterRemove = fast.Count();
    std::this_thread::sleep_for(120ms);
    EXPECT_EQ(fast.Count(), afterRemove);  // no post once Remove has returned
    EXPECT_TRUE(pulser.IsRunning());

    EXPECT_TRUE(pulser.Remove(slowId));
    ASSERT_TRUE(WaitUntil([&] { return !pulser.IsRunning(); }));
}

TEST(MessagePulserTest, EntryOfAVanishedTargetIsDroppedAndTheLastOneEndsTheThread) {
    CMessagePulser pulser;
    Target staying;
    Target leaving;
    pulser.Add(staying.Poster(), 2736, 0, 0, 0);
    pulser.Add(leaving.Poster(), 2736, 0, 0, 0);
    leaving.destroyed = true;
    ASSERT_TRUE(WaitUntil([&] { return pulser.GetEntryCount() == 1; }));
    EXPECT_TRUE(pulser.IsRunning());
    staying.destroyed = true;
    ASSERT_TRUE(WaitUntil([&] { return !pulser.IsRunning(); }));
    EXPECT_EQ(pulser.GetEntryCount(), 0u);

    // A new entry starts a new thread.
    Target again;
    pulser.Add(again.Poster(), 2736, 0, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return again.Count() >= 1; }));
}

TEST(MessagePulserTest, RemoveAllReturnsTheDroppedCountOnceTheThreadHasEnded) {
    Target target;
    {
        CMessagePulser pulser;
        EXPECT_EQ(pulser.RemoveAll(), 0u);
        for (int i = 0; i < 3; ++i)
            pulser.Add(target.Poster(), 2736, i, 0, 0);
        EXPECT_EQ(pulser.RemoveAll(), 3u);
        EXPECT_FALSE(pulser.IsRunning());
        const std::size_t posted = target.Count();
        std::this_thread::sleep_for(80ms);
        EXPECT_EQ(target.Count(), posted);

        pulser.Add(target.Poster(), 2736, 0, 0, 0);
        EXPECT_TRUE(pulser.IsRunning());
        // The destructor empties the pulser and waits for the thread.
    }
}

}  // namespace
}  // namespace tellweir
