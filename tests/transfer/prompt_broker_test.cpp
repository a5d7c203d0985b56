// Tests of CPromptBroker: asking without a listener, time-outs, and answers, refusals and
// cancellations given from another thread.
#include "transfer/prompt_broker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/support/wait_until.h"

namespace tellweir {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// A broker that gives up after 300 ms, checking its listener every 50 ms.
class PromptBrokerTest : public ::testing::Test {
  protected:
    // Installs a listener that counts its notifications and listens while `listening_` holds.
    void Listen() { broker_.SetListener(&listener_); }

    struct Listener final : IDesktopPort {
        explicit Listener(PromptBrokerTest& test) : test(test) {}
        bool CredentialsRequested() override {
            ++test.notifications_;
            return test.listening_.load();
        }
        PromptBrokerTest& test;
    };

    CPromptBroker broker_{300ms, 50ms};
    std::atomic<int> notifications_{0};
    std::atomic<bool> listening_{true};
    Listener listener_{*this};
};

// Listens always, counting its notifications.
struct AlwaysListening final : IDesktopPort {
    bool CredentialsRequested() override {
        ++notifications;
        return true;
    }
    std::atomic<int> notifications{0};
};

TEST_F(PromptBrokerTest, WithoutAListenerAskGivesUpAtOnceAndLeavesNothing) {
    for (bool installed : {false, true}) {
        if (installed) {
            listening_ = false;  // the callback reports that no window is there
            Listen();
        }
        std::atomic<std::int32_t> id{-1};
        std::string user = "u";
        std::string password = "p";
        const auto before = std::chrono::steady_clock::now();
        EXPECT_FALSE(broker_.Ask(id, user, password, "ftp://host/"));
        EXPECT_LT(std::chrono::steady_clock::now() - before, 50ms);
        EXPECT_EQ(id.load(), 0);
        EXPECT_EQ(user, "u");
        PromptRequest pending;
        EXPECT_FALSE(broker_.GetPending(pending));
    }
    EXPECT_EQ(notifications_, 1);
}

TEST_F(PromptBrokerTest, UnansweredRequestTimesOutAfterNotifyingEveryStep) {
    Listen();
    std::atomic<std::int32_t> id{-1};
    std::string user;
    std::string password;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(broker_.Ask(id, user, password, "text"));
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 2000ms);
    EXPECT_EQ(id.load(), 0);
    // Once on asking, once per 50 ms step until the time-out, and once when it is gone.
    EXPECT_GE(notifications_, 4);
    EXPECT_LE(notifications_, 8);
    PromptRequest pending;
    EXPECT_FALSE(broker_.GetPending(pending));
}

TEST_F(PromptBrokerTest, AskEndsWithinAStepWhenTheListenerGoesAway) {
    CPromptBroker broker(10s, 20ms);
    broker.SetListener(&listener_);
    std::thread asker([&broker] {
        std::atomic<std::int32_t> id{0};
        std::string user;
        std::string password;
        EXPECT_FALSE(broker.Ask(id, user, password, "t"));
        EXPECT_EQ(id.load(), 0);
    });
    PromptRequest request;
    WaitUntil([&] { return broker.GetPending(request); }, 3s, 2ms);
    listening_ = false;
    const auto before = std::chrono::steady_clock::now();
    asker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1000ms);
    EXPECT_FALSE(broker.GetPending(request));
}

TEST_F(PromptBrokerTest, AnswersFromAnotherThreadReachTheAsker) {
    struct Case {
        bool refused;
        bool expected;
    };
    for (const Case c : {Case{false, true}, Case{true, false}}) {
        CPromptBroker broker(5s, 50ms);
        AlwaysListening listener;
        broker.SetListener(&listener);
        std::thread answerer([&] {
            PromptRequest request;
            EXPECT_TRUE(WaitUntil([&] { return broker.GetPending(request); }, 5s, 2ms));
            EXPECT_GT(request.id, 0);
            EXPECT_EQ(request.text, "ftp://host/");
            EXPECT_EQ(request.userName, "anonymous");
            EXPECT_FALSE(request.refused);
            EXPECT_FALSE(request.answered);
            request.userName = "alice";
            request.password = "secret";
            request.refused = c.refused;
            EXPECT_TRUE(broker.Answer(request));
        });
        std::atomic<std::int32_t> id{0};
        std::string user = "anonymous";
        std::string password;
        EXPECT_EQ(broker.Ask(id, user, password, "ftp://host/"), c.expected);
        answerer.join();
        EXPECT_EQ(id.load(), 0);
        EXPECT_EQ(user, "alice");
        EXPECT_EQ(password, "secret");
        PromptRequest pending;
        EXPECT_FALSE(broker.GetPending(pending));
    }
}

TEST_F(PromptBrokerTest, CancelRefusesTheRequestAndLaterAnswersAreRejected) {
    CPromptBroker broker(5s, 50ms);
    AlwaysListening listener;
    std::atomic<int>& notifications = listener.notifications;
    broker.SetListener(&listener);
    std::thread canceller([&] {
        PromptRequest request;
        EXPECT_TRUE(WaitUntil([&] { return broker.GetPending(request); }, 5s, 2ms));
        const int before = notifications;
        EXPECT_TRUE(broker.Cancel(request.id));
        EXPECT_GT(notifications, before);
        EXPECT_FALSE(broker.Cancel(request.id));  // refused already, or gone
        request.userName = "late";
        EXPECT_FALSE(broker.Answer(request));
    });
    std::atomic<std::int32_t> id{0};
    std::string user = "bob";
    std::string password;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(broker.Ask(id, user, password, "text"));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
    canceller.join();
    EXPECT_EQ(user, "bob");

    PromptRequest unknown;
    unknown.id = 12345;
    EXPECT_FALSE(broker.Answer(unknown));
    EXPECT_FALSE(broker.Cancel(12345));
}

}  // namespace
}  // namespace tellweir
