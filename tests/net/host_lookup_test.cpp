// Name lookups of the socket layer through an injected resolver: answers become connections or
// resolve errors, and a lookup that hangs is given up at the socket's time limit or at once when
// the socket is interrupted or its owner stopped, while the lookup itself still hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "net/socket/net_socket.h"
#include "tests/net/hanging_resolver.h"
#include "tests/net/net_test_util.h"
#include "tests/support/recording_log.h"
#include "tests/support/scripted_server.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {
namespace {

TEST(NetHostLookup, AnswersOfTheResolver) {
    struct Case {
        const char* what;
        std::optional<Ipv4Address> answer;
        bool connected;
    };
    const Case cases[] = {
        {"an address", kLoopback, true},
        {"no address", std::nullopt, false},
        {"the broadcast address", 0xFFFFFFFF, false},
    };
    ScriptedServer server({script::Drain()});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedHangingResolver resolver;
        resolver->SetAnswer(c.answer);
        resolver->Release();
        CNetSocket socket;
        RecordingLog log;
        EXPECT_EQ(socket.ConnectHost("named.test", server.Port(), &log), c.connected);
        if (c.connected) {
            EXPECT_TRUE(log.Has("0|Host name resolved: \"named.test\" => \"127.0.0.1\"."))
                << log.Text();
        } else {
            EXPECT_EQ(socket.LastError(), result::kResolveFailed);
            EXPECT_EQ(log.Lines(),
                      (std::vector<std::string>{"1|Cannot find server or DNS Error, host name: "
                                                "\"named.test\"."}));
        }
    }
}

TEST(NetHostLookup, HangingLookupIsGivenUp) {
    struct Case {
        const char* what;
        std::int32_t timeoutMs;
        bool stopFirst;  // the owner was stopped before the lookup began
        bool interrupt;  // another thread interrupts the socket during the lookup
        TransferResult result;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"interrupted", 60000, false, true, result::kStopped, {}},
        {"stopped before", 60000, true, false, result::kStopped, {}},
        {"time limit",
         200,
         false,
         false,
         result::kResolveFailed,
         {"1|Timeout on: \"host name lookup\".",
          "1|Cannot find server or DNS Error, host name: \"stuck.test\"."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedHangingResolver resolver;
        CNetSocket socket;
        socket.SetTimeout(c.timeoutMs);
        socket.SetStopCheck([stop = c.stopFirst] { return stop; });
        RecordingLog log;
        std::atomic<bool> connected{true};
        std::atomic<bool> returned{false};
        std::thread owner([&] {
            connected = socket.ConnectHost("stuck.test", 80, &log);
            returned = true;
        });
        if (c.interrupt) {
            EXPECT_TRUE(resolver->WaitForLookup());
            socket.Interrupt();
            // Long before the time limit: the wait ended with the interrupt, not with its end.
            EXPECT_TRUE(WaitUntil([&] { return returned.load(); }, std::chrono::seconds(10)));
        }
        owner.join();
        EXPECT_FALSE(connected);
        EXPECT_EQ(socket.LastError(), c.result);
        EXPECT_EQ(log.Lines(), c.lines);
        if (!c.stopFirst) {
            EXPECT_EQ(resolver->Held(), 1) << "the lookup itself still hangs";
        }
    }
}

}  // namespace
}  // namespace tellweir::testing
