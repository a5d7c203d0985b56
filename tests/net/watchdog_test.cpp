// Time limits of plain receives: the watchdog's sweep, the socket's own bound, and waking a
// blocked call from another thread with Interrupt.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "net/socket/net_socket.h"
#include "net/socket/socket_watchdog.h"
#include "tests/net/net_test_util.h"
#include "tests/support/scripted_server.h"
#include "tests/support/wait_until.h"

namespace tellweir {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedServer;
namespace script = testing::script;

struct ReceiveOutcome {
    std::int32_t count = 0;
    TransferResult error = 0;
    std::int64_t elapsedMs = 0;
};

// Runs one Receive on another thread, as a transfer's worker would.
std::future<ReceiveOutcome> ReceiveInBackground(CNetSocket& socket) {
    return std::async(std::launch::async, [&socket] {
        const auto start = std::chrono::steady_clock::now();
        char buffer[64];
        ReceiveOutcome outcome;
        outcome.count = socket.Receive(buffer, sizeof buffer);
        outcome.error = socket.LastError();
        outcome.elapsedMs = testing::ElapsedMs(start);
        return outcome;
    });
}

// Waits until the socket's receive is inside the watchdog's table.
bool WaitUntilWatched(const CNetSocket& socket) {
    return testing::WaitUntil(
        [&socket] { return SocketWatchdog::Instance().Contains(socket.Handle()); }, 5s, 10ms);
}

TEST(NetWatchdog, SweepShutsDownOnlyDueEntries) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    SocketWatchdog watchdog;
    watchdog.Register(-1, 0);
    EXPECT_FALSE(watchdog.Contains(-1));
    watchdog.Register(pair[0], 1000);
    watchdog.SweepAt(999);
    EXPECT_TRUE(watchdog.Contains(pair[0]));
    watchdog.SweepAt(1000);
    EXPECT_FALSE(watchdog.Contains(pair[0]));
    EXPECT_FALSE(watchdog.Unregister(pair[0]));
    char byte = 0;
    EXPECT_EQ(::recv(pair[1], &byte, 1, 0), 0);  // shut down, not closed: the peer sees the end
    EXPECT_NE(::fcntl(pair[0], F_GETFD), -1);    // still open for its owner to close

    watchdog.Register(pair[0], 5);
    EXPECT_TRUE(watchdog.Unregister(pair[0]));
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST(NetWatchdog, SweptReceiveReportsTheTimeout) {
    ScriptedServer server({script::Drain()});
    CNetSocket socket;
    socket.SetTimeout(30000);
    ASSERT_TRUE(socket.Connect(testing::kLoopback, server.Port(), nullptr));
    std::future<ReceiveOutcome> outcome = ReceiveInBackground(socket);
    ASSERT_TRUE(WaitUntilWatched(socket));
    SocketWatchdog::Instance().Sweep();  // nothing is due yet
    EXPECT_EQ(outcome.wait_for(100ms), std::future_status::timeout);
    SocketWatchdog::Instance().SweepAt(MonotonicMs() + 30001);
    ASSERT_EQ(outcome.wait_for(5s), std::future_status::ready);
    const ReceiveOutcome got = outcome.get();
    EXPECT_EQ(got.count, -1);
    EXPECT_EQ(got.error, result::kTimeout);
    EXPECT_TRUE(socket.IsOpen());  // the owner closes
}

TEST(NetWatchdog, ReceiveIsAlsoBoundedWithoutASweep) {
    ScriptedServer server({script::Drain()});
    CNetSocket socket;
    socket.SetTimeout(250);
    ASSERT_TRUE(socket.Connect(testing::kLoopback, server.Port(), nullptr));
    const ReceiveOutcome got = ReceiveInBackground(socket).get();
    EXPECT_EQ(got.count, -1);
    EXPECT_EQ(got.error, result::kTimeout);
    EXPECT_GE(got.elapsedMs, 240);
    EXPECT_LT(got.elapsedMs, 3000);
    EXPECT_FALSE(SocketWatchdog::Instance().Contains(socket.Handle()));
}

TEST(NetWatchdog, InterruptWakesABlockedReceiveAtOnce) {
    ScriptedServer server({script::Drain()});
    CNetSocket socket;
    socket.SetTimeout(30000);
    ASSERT_TRUE(socket.Connect(testing::kLoopback, server.Port(), nullptr));
    std::future<ReceiveOutcome> outcome = ReceiveInBackground(socket);
    ASSERT_TRUE(WaitUntilWatched(socket));
    socket.Interrupt();
    ASSERT_EQ(outcome.wait_for(2s), std::future_status::ready);
    const ReceiveOutcome got = outcome.get();
    EXPECT_EQ(got.count, -1);
    EXPECT_EQ(got.error, result::kStopped);
    EXPECT_TRUE(socket.IsOpen());
    socket.Close();
    socket.Interrupt();  // nothing to do once closed
}

TEST(NetWatchdog, InterruptWakesAConnectInProgress) {
    CNetSocket listener;
    ASSERT_TRUE(listener.BindAndListen(testing::kLoopback, 0, 0, nullptr));
    Ipv4Address address = 0;
    int port = 0;
    ASSERT_TRUE(listener.GetLocalAddress(address, port));
    CNetSocket first;  // fills the accept queue, so the next connect hangs
    ASSERT_TRUE(first.Connect(testing::kLoopback, port, nullptr));

    CNetSocket socket;
    socket.SetTimeout(30000);
    std::future<bool> connected = std::async(
        std::launch::async, [&] { return socket.Connect(testing::kLoopback, port, nullptr); });
    std::this_thread::sleep_for(50ms);  // inside the wait for the handshake, most likely
    const auto start = std::chrono::steady_clock::now();
    // A stop that comes before the socket exists has nothing to wake, as for a real session.
    do {
        socket.Interrupt();
    } while (connected.wait_for(5ms) != std::future_status::ready &&
             testing::ElapsedMs(start) < 2000);
    EXPECT_LT(testing::ElapsedMs(start), 2000);
    EXPECT_FALSE(connected.get());
    EXPECT_EQ(socket.LastError(), result::kStopped);
}

}  // namespace
}  // namespace tellweir
