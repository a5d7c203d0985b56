// Tests of CWorkerPool: assignment to idle or new workers, the idle time-out, and stopping with
// calls under way.
#include "transfer/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "tests/support/wait_until.h"
#include "transfer/sync_event.h"

namespace tellweir {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// What the worker functions saw; worker functions are plain function pointers, so it is global.
struct Calls {
    std::mutex mutex;
    std::thread::id threads[8];
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    CSyncEvent gate{CSyncEvent::Mode::ManualReset};
};
Calls* g_calls = nullptr;

// Notes its thread under the user data as index.
void Record(std::int32_t index) {
    ++g_calls->started;
    {
        std::lock_guard lock(g_calls->mutex);
        g_calls->threads[index] = std::this_thread::get_id();
    }
    ++g_calls->finished;
}

// As Record, but waits for the gate before returning.
void Blocked(std::int32_t index) {
    ++g_calls->started;
    {
        std::lock_guard lock(g_calls->mutex);
        g_calls->threads[index] = std::this_thread::get_id();
    }
    g_calls->gate.Wait(5000ms);
    ++g_calls->finished;
}

// What HandOn saw: the thread its handed-on call was given to, and how many calls had started
// when it returned.
CWorkerPool* g_pool = nullptr;
std::thread::id g_handedTo;
int g_startedAtReturn = 0;
bool g_stopAfterHandingOn = false;

// Records itself, then hands call `index + 1` on to the pool it runs in (and stops the pool when
// asked to), as a transfer's end starts the next queued one.
void HandOn(std::int32_t index) {
    Record(index);
    g_handedTo = g_pool->RunOnWorker(Record, index + 1);
    if (g_stopAfterHandingOn) g_pool->RequestStop();
    g_startedAtReturn = g_calls->started;
}

class WorkerPoolTest : public ::testing::Test {
  protected:
    WorkerPoolTest() { g_calls = &calls_; }
    ~WorkerPoolTest() override {
        pool_.StopAndWait();
        g_calls = nullptr;
    }

    std::thread::id ThreadOf(int index) {
        std::lock_guard lock(calls_.mutex);
        return calls_.threads[index];
    }

    Calls calls_;
    // Idle workers stay long enough to be reused; tests of the idle time-out make their own.
    CWorkerPool pool_{3000ms, 50ms};
};

TEST_F(WorkerPoolTest, RefusesWorkUntilStartedAndAfterAStop) {
    EXPECT_EQ(pool_.RunOnWorker(Record, 0), std::thread::id());
    pool_.Start();
    EXPECT_NE(pool_.RunOnWorker(Record, 0), std::thread::id());
    ASSERT_TRUE(WaitUntil([&] { return calls_.finished == 1; }));
    pool_.RequestStop();
    EXPECT_EQ(pool_.RunOnWorker(Record, 1), std::thread::id());
    ASSERT_TRUE(WaitUntil([&] { return pool_.GetWorkerCount() == 0; }));
    pool_.Start();
    EXPECT_NE(pool_.RunOnWorker(Record, 1), std::thread::id());
    ASSERT_TRUE(WaitUntil([&] { return calls_.finished == 2; }));
}

TEST_F(WorkerPoolTest, RunsTheCallOnTheThreadItReturnsAndReusesAnIdleWorker) {
    pool_.Start();
    const std::thread::id first = pool_.RunOnWorker(Record, 0);
    ASSERT_TRUE(WaitUntil([&] { return calls_.finished == 1; }));
    EXPECT_EQ(ThreadOf(0), first);
    EXPECT_NE(first, std::this_thread::get_id());

    // Give the worker time to get back to its wait, then hand it the next call.
    std::this_thread::sleep_for(50ms);
    const std::thread::id second = pool_.RunOnWorker(Record, 1);
    ASSERT_TRUE(WaitUntil([&] { return calls_.finished == 2; }));
    EXPECT_EQ(second, first);
    EXPECT_EQ(ThreadOf(1), first);
    EXPECT_EQ(pool_.GetWorkerCount(), 1u);
}

// A call started from within a worker's call waits for that call and runs on the same thread,
// without waking or making another worker; a stop meanwhile drops it like any call not begun.
TEST_F(WorkerPoolTest, CallHandedOnByARunningCallRunsNextOnTheSameWorker) {
    g_pool = &pool_;
    pool_.Start();
    const std::thread::id first = pool_.RunOnWorker(HandOn, 0);
    ASSERT_TRUE(WaitUntil([&] { return calls_.finished == 2; }));
    EXPECT_EQ(g_handedTo, first);
    EXPECT_EQ(ThreadOf(1), first);
    EXPECT_EQ(g_startedAtReturn, 1);
    EXPECT_EQ(pool_.GetWorkerCount(), 1u);

    g_stopAfterHandingOn = true;
    pool_.RunOnWorker(HandOn, 2);
    // The call stops the pool itself; its worker then leaves without the handed-on call.
    ASSERT_TRUE(WaitUntil([&] { return pool_.GetWorkerCount() == 0; }));
    pool_.StopAndWait();
    g_stopAfterHandingOn = false;
    g_pool = nullptr;
    EXPECT_EQ(calls_.started, 3);
    EXPECT_EQ(ThreadOf(3), std::thread::id());
}

TEST_F(WorkerPoolTest, BusyWorkersMakeThePoolGrowAndIdleWorkersLeave) {
    CWorkerPool pool(150ms, 50ms);
    pool.Start();
    const std::thread::id busy = pool.RunOnWorker(Blocked, 0);
    ASSERT_TRUE(WaitUntil([&] { return calls_.started == 1; }));
    const std::thread::id a = pool.RunOnWorker(Blocked, 1);
    const std::thread::id b = pool.RunOnWorker(Blocked, 2);
    EXPECT_NE(a, busy);
    EXPECT_NE(b, busy);
    EXPECT_NE(a, b);
    EXPECT_EQ(pool.GetWorkerCount(), 3u);
    ASSERT_TRUE(WaitUntil([&] { return calls_.started == 3; }));

    calls_.gate.Set();
    ASSERT_TRUE(WaitUntil([&] { return calls_.finished == 3; }));
    // Each leaves after the idle time (150 ms here) without work.
    ASSERT_TRUE(WaitUntil([&] { return pool.GetWorkerCount() == 0; }, 2000ms));
}

TEST_F(WorkerPoolTest, StopAndWaitReturnsOnlyAfterTheRunningCallAndTheWorkerHaveEnded) {
    pool_.Start();
    pool_.RunOnWorker(Blocked, 0);
    ASSERT_TRUE(WaitUntil([&] { return calls_.started == 1; }));
    std::thread releaser([&] {
        std::this_thread::sleep_for(100ms);
        calls_.gate.Set();
    });
    pool_.StopAndWait();
    EXPECT_EQ(calls_.finished, 1);
    EXPECT_EQ(pool_.GetWorkerCount(), 0u);
    releaser.join();
}

// The stop event releases one waiting worker per signal; every idle worker must still go.
TEST(WorkerPoolStopTest, StopAndWaitSendsAwayEveryIdleWorker) {
    Calls calls;
    g_calls = &calls;
    {
        CWorkerPool pool(10000ms, 200ms);  // idle workers would stay for 10 s
        pool.Start();
        for (int i = 0; i < 4; ++i)
            pool.RunOnWorker(Blocked, i);
        ASSERT_TRUE(WaitUntil([&] { return calls.started == 4; }));
        calls.gate.Set();
        ASSERT_TRUE(WaitUntil([&] { return calls.finished == 4; }));
        const auto before = std::chrono::steady_clock::now();
        pool.StopAndWait();
        EXPECT_EQ(pool.GetWorkerCount(), 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - before, 2000ms);
    }
    g_calls = nullptr;
}

TEST(WorkerPoolStopTest, DestroyingThePoolWaitsForItsWorkers) {
    Calls calls;
    g_calls = &calls;
    {
        CWorkerPool pool(10000ms, 200ms);
        pool.Start();
        pool.RunOnWorker(Record, 0);
        ASSERT_TRUE(WaitUntil([&] { return calls.finished == 1; }));
    }
    g_calls = nullptr;
}

}  // namespace
}  // namespace tellweir
