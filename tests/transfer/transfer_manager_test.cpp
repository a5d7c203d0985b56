// The transfer manager: limits, session reuse, stop, start, wait, remove, the operations' codes,
// callbacks, connection retries and shutdown, with scripted sessions.
#include <atomic>
#include <thread>

#include "base/date_time.h"
#include "tests/support/manager_fixture.h"
#include "tests/support/temp_dir.h"
#include "transfer/file_info.h"

namespace tellweir::testing {
namespace {

using std::chrono_literals::operator""ms;

bool Contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

TEST_F(ManagerTest, ConnectionLimitsHoldTransfersInTheQueue) {
    struct Case {
        int maxConnects;
        int perSite;
        int transfers;
        bool oneSite;
        int expectedAtOnce;
    };
    const Case cases[] = {
        {0, 10, 3, false, 1},         // below 1 counts as 1
        {500, 500, 210, false, 200},  // above 200 counts as 200
        {10, 2, 3, true, 2},          // the site limit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transfers);
        settings_.SetInt(setting::kMaxConnects, c.maxConnects);
        settings_.SetInt(setting::kMaxConnectsPerSite, c.perSite);
        script_.hold = true;
        script_.maxRunning = 0;
        std::vector<std::int32_t> ids;
        for (int i = 0; i < c.transfers; ++i)
            ids.push_back(Add(c.oneSite ? "http://one.test/f" + std::to_string(i)
                                        : "http://site" + std::to_string(i) + ".test/f"));
        ASSERT_TRUE(script_.WaitForRunning(c.expectedAtOnce));
        Manager().Pump();  // a further dispatch must not exceed the limit either
        std::this_thread::sleep_for(100ms);
        {
            std::lock_guard guard(script_.lock);
            EXPECT_EQ(script_.maxRunning, c.expectedAtOnce);
        }
        script_.Release();
        // The queued ones follow as sessions free up, without waiting for the pump.
        for (std::int32_t id : ids) {
            const TransferStatus status = WaitEnd(id);
            EXPECT_EQ(status.state, kTransferFinished);
            EXPECT_EQ(status.result, 0);
        }
        CTransferManager::Shutdown();
    }
}

TEST_F(ManagerTest, ProtocolWithoutClientEndsWith100AndItsPrefix) {
    for (const char* url : {"sftp://host.test/file", "https://host.test/file"}) {
        const std::int32_t id = Add(url);
        const TransferStatus status = WaitEnd(id);
        EXPECT_EQ(status.state, kTransferStopped);
        EXPECT_EQ(status.result, result::kNotSupported);
        const std::string prefix = std::string(url).substr(0, std::string(url).find("//") + 2);
        EXPECT_TRUE(Contains(LogOf(id),
                             "S:\tProtocol or operation is not supported or "
                             "implemented: \"" +
                                 prefix + "\".\r\n"))
            << LogOf(id);
    }
    EXPECT_EQ(script_.sessionsMade, 0);
}

TEST_F(ManagerTest, IdleSessionIsReusedByTheSameUser) {
    struct Case {
        const char* first;
        const char* second;
        int sessions;
    };
    const Case cases[] = {
        {"ftp://files.test/a", "ftp://files.test/b", 1},
        {"ftp://anonymous@files.test/a", "ftp://files.test/b", 1},
        {"ftp://bob@files.test/a", "ftp://BOB@files.test/b", 1},
        {"ftp://bob@files.test/a", "ftp://files.test/b", 2},
        {"ftp://$@files.test/a", "ftp://$@files.test/b", 2},
        {"ftp://files.test/a", "ftp://other.test/b", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " " + c.second);
        script_.sessionsMade = 0;
        EXPECT_EQ(WaitEnd(Add(c.first)).result, 0);
        EXPECT_EQ(WaitEnd(Add(c.second)).result, 0);
        EXPECT_EQ(script_.sessionsMade, c.sessions);
        EXPECT_EQ(Manager().GetSessionCounts().open, c.sessions);
        EXPECT_EQ(Manager().GetSessionCounts().inUse, 0);
        CTransferManager::Shutdown();
    }
}

TEST_F(ManagerTest, DisconnectedSessionIsNotKept) {
    script_.stayConnected = false;
    EXPECT_EQ(WaitEnd(Add("http://a.test/x")).result, 0);
    EXPECT_EQ(WaitEnd(Add("http://a.test/y")).result, 0);
    EXPECT_EQ(script_.sessionsMade, 2);
    EXPECT_EQ(Manager().GetSessionCounts().open, 0);
}

TEST_F(ManagerTest, StoppingQueuedAndRunningTransfers) {
    settings_.SetInt(setting::kMaxConnects, 1);
    script_.hold = true;
    const std::int32_t running = Add("http://a.test/1");
    ASSERT_TRUE(script_.WaitForRunning(1));
    const std::int32_t queued = Add("http://b.test/2");

    EXPECT_EQ(Manager().StopTransfer(queued), kManagerOk);
    TransferStatus status;
    EXPECT_EQ(Manager().GetStatus(queued, status), kManagerOk);
    EXPECT_EQ(status.state, kTransferStopped);
    EXPECT_EQ(status.result, result::kStopped);

    // A stop wakes the held step at once and returns once the run has ended.
    EXPECT_EQ(Manager().StopTransfer(running), kManagerOk);
    EXPECT_EQ(Manager().GetStatus(running, status), kManagerOk);
    EXPECT_EQ(status.state, kTransferStopped);
    EXPECT_EQ(status.result, result::kStopped);
    EXPECT_TRUE(Contains(LogOf(running), "S:\tConnection closed.\r\n"));
    EXPECT_EQ(script_.infoCalls, 0);
    EXPECT_EQ(Manager().StopTransfer(12345), kManagerUnknownId);
}

TEST_F(ManagerTest, OperationCodesOnKnownRunningAndUnknownIds) {
    script_.hold = true;
    const std::int32_t id = Add("http://a.test/1");
    ASSERT_TRUE(script_.WaitForRunning(1));
    TransferStatus status;
    EXPECT_EQ(Manager().StartTransfer(id), kManagerBusy);
    EXPECT_EQ(Manager().WaitTransfer(id, status, 0), kManagerBusy);
    EXPECT_EQ(Manager().WaitTransfers(std::span(&id, 1), 0), kManagerBusy);
    EXPECT_EQ(Manager().SetRequest(id, CTransferRequest()), kManagerBusy);
    script_.Release();
    EXPECT_EQ(WaitEnd(id).state, kTransferFinished);

    // A finished transfer starts again.
    EXPECT_EQ(Manager().StartTransfer(id), kManagerOk);
    EXPECT_EQ(WaitEnd(id).state, kTransferFinished);
    EXPECT_EQ(script_.infoCalls, 2);

    const std::int32_t second = Add(Request("http://a.test/2", 6), false);
    EXPECT_EQ(Manager().GetStatus(second, status), kManagerOk);
    EXPECT_EQ(status.state, kTransferNew);
    std::vector<std::int32_t> ids;
    EXPECT_EQ(Manager().ListTransfersAfter(99, ids), kManagerOk);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{id, second}));
    EXPECT_EQ(Manager().ListTransfersAfter(-1, ids), kManagerOk);
    EXPECT_TRUE(ids.empty());
    std::int32_t pseudo = kPseudoTransferId;
    std::int32_t value = 0;
    EXPECT_EQ(Manager().QueryTransfers(std::span(&pseudo, 1), kKindExists, std::span(&value, 1)),
              kManagerOk);
    EXPECT_EQ(value, second);

    std::string text = "x";
    EXPECT_EQ(Manager().GetTransferText(id, 7, text), kManagerOk);
    EXPECT_EQ(text, "");
    std::int32_t logId = 0;
    EXPECT_EQ(Manager().QueryTransfers(std::span(&id, 1), kKindLogId, std::span(&logId, 1)),
              kManagerOk);
    EXPECT_EQ(Manager().RemoveTransfer(id), kManagerOk);
    EXPECT_EQ(Manager().RemoveTransfer(id), kManagerUnknownId);
    EXPECT_EQ(Manager().TransferExists(id), kManagerUnknownId);
    EXPECT_EQ(logs_.DeleteLog(logId), 0) << "removing a transfer deletes its log";
    EXPECT_EQ(Manager().QueryTransfers(std::span(&pseudo, 1), kKindLogId, std::span(&value, 1)),
              kManagerOk);
    EXPECT_EQ(value, id);

    std::int32_t unknown[] = {second, 4444};
    std::int32_t values[] = {5, 5};
    EXPECT_EQ(Manager().SetEachTransfer(unknown, kKindWatched, values), kManagerOk);
    EXPECT_EQ(values[1], -1);
    EXPECT_EQ(Manager().WatchTransfers(unknown, true), kManagerOk);
    EXPECT_EQ(unknown[1], 0);
}

TEST_F(ManagerTest, RequestCarriesSettingsAndRunResults) {
    settings_.SetInt(setting::kConnectionRetries, 7);
    settings_.SetInt(setting::kHttpEnableCookies, 1);
    CTransferRequest request = Request("http://a.test/x", prop::kOperationFileInfo);
    request.SetInt(prop::kLogId, 4242);  // a log the caller lends
    const std::int32_t id = Add(request);
    EXPECT_EQ(WaitEnd(id).result, 0);
    CTransferRequest back;
    ASSERT_EQ(Manager().GetRequest(id, back), kManagerOk);
    EXPECT_EQ(back.Int(prop::kConnectRetries), 7);
    EXPECT_TRUE(back.TestBit(prop::kFlags, prop::kFlagCookies));
    EXPECT_EQ(back.Int64(prop::kSize), 10);
    EXPECT_EQ(back.Int(prop::kLogId), 4242);
    EXPECT_EQ(back.Address().host, "a.test");
    EXPECT_TRUE(Contains(logs_.GetLog(4242)->GetText(), "S:\tGetting file info"));
}

TEST_F(ManagerTest, ConnectionAttemptsAreRepeatedByTheSettings) {
    struct Case {
        std::vector<TransferResult> failures;
        int retries;
        TransferResult expected;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{10061, 10060},
         5,
         0,
         {"S:\tWaiting 0 seconds...", "S:\t--- Retry #1 from 5 ---",
          "S:\t--- Retry #2 from 5 ---"}},
        {{10061, 10061}, 1, 10061, {"S:\t--- Retry #1 from 1 ---", "E:\tConnection failed."}},
        {{1008}, 5, 1008, {"E:\tConnection failed."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.retries);
        settings_.SetInt(setting::kConnectionRetries, c.retries);
        script_.connectResults.assign(c.failures.begin(), c.failures.end());
        const std::int32_t id = Add("http://retry.test/x");
        EXPECT_EQ(WaitEnd(id).result, c.expected);
        const std::string log = LogOf(id);
        for (const std::string& line : c.lines)
            EXPECT_TRUE(Contains(log, line)) << log;
        if (c.expected == 1008) {
            EXPECT_FALSE(Contains(log, "Retry"));
        }
        CTransferManager::Shutdown();
        script_.connectResults.clear();
    }
}

TEST_F(ManagerTest, DesktopIsToldOfAdditionsOnceAndOfRemovalsWatchedChangesAndEachPump) {
    std::vector<std::int32_t> ids;
    for (int i = 0; i < 20; ++i)
        ids.push_back(Add(Request("http://a.test/x", 6), false));
    Manager().Pump();
    EXPECT_EQ(desktop_.Count(TransferNotice::Added), 0)
        << "held back until 200 ms after the last addition";
    std::this_thread::sleep_for(250ms);
    Manager().Pump();
    Manager().Pump();
    EXPECT_EQ(desktop_.Count(TransferNotice::Added), 1);
    EXPECT_GE(desktop_.refreshes, 3);

    EXPECT_EQ(desktop_.Count(TransferNotice::Changed), 0);
    EXPECT_EQ(Manager().SetForTransfers(std::span(ids.data(), 1), kKindWatched, 1), kManagerOk);
    EXPECT_EQ(Manager().StartTransfer(ids[0]), kManagerOk);
    WaitEnd(ids[0]);
    EXPECT_GE(desktop_.Count(TransferNotice::Changed), 2);  // queued, running, finished
    std::vector<std::int32_t> changed;
    EXPECT_EQ(Manager().ListChangedSince(changed, 0), kManagerOk);
    EXPECT_EQ(changed, std::vector<std::int32_t>{ids[0]});

    EXPECT_EQ(Manager().RemoveTransfers(ids), kManagerOk);
    EXPECT_EQ(desktop_.Count(TransferNotice::Removed), 1);
}

TEST_F(ManagerTest, InfoCacheIsLoadedAtCreationAndSavedAtShutdown) {
    TempDir dir("manager");
    const std::string added = DateTime::Now().Format(kFileTimeFormat);
    const std::string line = "URL=\"http://site.test/a.txt\" Added=\"" + added +
                             "\" Size=\"5\" Time=\"\" Type=\"TEXT\"\r\n";
    const std::string path = dir.WriteFile("InfoCache.txt", line);
    TransferManagerOptions options;
    options.settings = &settings_;
    options.logs = &logs_;
    options.infoCachePath = path;
    int entries = 0;
    CTransferManager::Create(options).InfoCache().Enumerate(
        [&](const InfoCacheEntry&) { ++entries; });
    EXPECT_EQ(entries, 1);
    CTransferManager::Get()->InfoCache().Clear();
    CTransferManager::Shutdown();
    EXPECT_EQ(dir.ReadFile("InfoCache.txt"), "");
}

TEST_F(ManagerTest, ShutdownEndsRunningTransfers) {
    script_.hold = true;
    for (int i = 0; i < 3; ++i)
        Add("http://s" + std::to_string(i) + ".test/x");
    ASSERT_TRUE(script_.WaitForRunning(3));
    CTransferManager::Shutdown();
    EXPECT_EQ(CTransferManager::Get(), nullptr);
    std::lock_guard guard(script_.lock);
    EXPECT_EQ(script_.running, 0);
}

}  // namespace
}  // namespace tellweir::testing
