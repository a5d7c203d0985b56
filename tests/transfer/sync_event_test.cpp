// Tests of CSyncEvent and WaitAny: reset modes, time-outs and wake-ups across threads.
#include "transfer/sync_event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tellweir {
namespace {

using namespace std::chrono_literals;
using Mode = CSyncEvent::Mode;

TEST(SyncEventTest, AutoResetReleasesOneWaitManualResetStaysUntilReset) {
    CSyncEvent autoEvent(Mode::AutoReset, true);
    EXPECT_TRUE(autoEvent.Wait(0ms));
    EXPECT_FALSE(autoEvent.IsSet());
    EXPECT_FALSE(autoEvent.Wait(10ms));

    CSyncEvent manualEvent(Mode::ManualReset);
    EXPECT_FALSE(manualEvent.Wait(0ms));
    manualEvent.Set();
    EXPECT_TRUE(manualEvent.Wait(0ms));
    EXPECT_TRUE(manualEvent.Wait(0ms));
    manualEvent.Reset();
    EXPECT_FALSE(manualEvent.Wait(0ms));
}

TEST(SyncEventTest, SetFromAnotherThreadEndsAnUnboundedWait) {
    CSyncEvent event(Mode::AutoReset);
    std::thread setter([&event] {
        std::this_thread::sleep_for(20ms);
        event.Set();
    });
    EXPECT_TRUE(event.Wait());
    setter.join();
    EXPECT_FALSE(event.IsSet());
}

TEST(SyncEventTest, WaitAnyReportsWhichEventFiredAndConsumesOnlyThatOne) {
    CSyncEvent first(Mode::AutoReset, true);
    CSyncEvent second(Mode::AutoReset, true);
    EXPECT_EQ(WaitAny(first, second, 0ms), 0);  // the first wins when both are set
    EXPECT_TRUE(second.IsSet());
    EXPECT_EQ(WaitAny(first, second, 0ms), 1);
    EXPECT_FALSE(second.IsSet());

    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitAny(first, second, 50ms), kWaitTimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 50ms);

    CSyncEvent manual(Mode::ManualReset, true);
    EXPECT_EQ(WaitAny(first, manual, 0ms), 1);
    EXPECT_TRUE(manual.IsSet());
}

TEST(SyncEventTest, WaitAnyWakesForASetOnEitherEventFromAnotherThread) {
    for (int which : {0, 1}) {
        CSyncEvent first(Mode::AutoReset);
        CSyncEvent second(Mode::ManualReset);
        std::thread setter([&] {
            std::this_thread::sleep_for(20ms);
            (which == 0 ? first : second).Set();
        });
        EXPECT_EQ(WaitAny(first, second, 5000ms), which);
        setter.join();
    }
}

// One auto-reset signal releases exactly one of several threads waiting on it.
TEST(SyncEventTest, OneAutoResetSignalReleasesOneOfTwoWaiters) {
    CSyncEvent shared(Mode::AutoReset);
    CSyncEvent never1(Mode::AutoReset);
    CSyncEvent never2(Mode::AutoReset);
    int results[2] = {0, 0};
    std::thread a([&] { results[0] = WaitAny(never1, shared, 300ms); });
    std::thread b([&] { results[1] = WaitAny(never2, shared, 300ms); });
    std::this_thread::sleep_for(50ms);
    shared.Set();
    a.join();
    b.join();
    EXPECT_EQ((results[0] == 1) + (results[1] == 1), 1);
    EXPECT_FALSE(shared.IsSet());
}

}  // namespace
}  // namespace tellweir
