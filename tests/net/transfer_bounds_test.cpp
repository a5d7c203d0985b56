// The bounds of a monitor task's transfer, end to end through the engine, the transfer manager
// and the HTTP and FTP clients against scripted servers: a download past the size limit ends
// without a file or a sample, a run past the time limit ends with the time-out, an FTP server
// that fails after a little data each time is given up after the retries, and a run hanging in
// name resolution can be stopped or deleted at once.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/monitor_engine.h"
#include "core/transfer_link.h"
#include "log/log_registry.h"
#include "net/net_clients.h"
#include "net/net_startup.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "tests/net/hanging_resolver.h"
#include "tests/support/core_fakes.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/scripted_server.h"
#include "tests/support/task_run_support.h"
#include "tests/support/wait_until.h"
#include "transfer/local_fs.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"

namespace tellweir::testing {
namespace {

using Steps = std::vector<ScriptStep>;
using namespace std::chrono_literals;

// `text` gzip-encoded in memory.
std::string Gzip(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A reply head and body to any one request, then `after`.
Steps Reply(std::string head, std::string body = {}, const Steps& after = {}) {
    Steps steps = {script::ReadUntil("\r\n\r\n"), script::Send(std::move(head) + "\r\n")};
    if (!body.empty()) steps.push_back(script::Send(std::move(body)));
    steps.insert(steps.end(), after.begin(), after.end());
    return steps;
}

class TransferBoundsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Startup(true));
        settings_ = AppSettings();
        settings_.SetInt(setting::kConnectionRetries, 0);
        settings_.SetInt(setting::kTransferRetries, 0);
        settings_.SetInt(setting::kConnectionDelay, 0);
        settings_.SetInt(setting::kConnectionTimeout, 10);
        settings_.SetInt(setting::kFtpDataConnectionType, 1);
        settings_.SetInt(setting::kTransferTimeLimit, 0);
        settings_.SetInt(setting::kMaxDownloadSize, 0);
        TransferManagerOptions manager;
        manager.settings = &settings_;
        manager.logs = &CLogRegistry::Instance();  // the tasks' logs, as in the application
        CTransferManager& created = CTransferManager::Create(manager);
        RegisterNetworkClients(created);
        link_.Attach(&created);
    }
    void TearDown() override {
        for (const MonitorTaskPtr& task : tasks_)
            task->ReleaseLog();
        engine_.DeleteAllTasks();
        CTransferManager::Shutdown();
        for (ProtocolId protocol : {ProtocolId::Http, ProtocolId::Https, ProtocolId::Ftp})
            RegisterSessionFactory(protocol, nullptr);
        Startup(false);
    }

    MonitorTaskPtr AddTask(const std::string& name, const std::string& url, int download) {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, url);
        task->SetInt(task::kDownload, download);
        task->SetInt(task::kSchedule, task::kScheduleManual);
        EXPECT_TRUE(engine_.AddTask(*task)) << url;
        tasks_.push_back(task);
        return task;
    }

    // Starts the task and runs engine passes until its run has ended (bounded).
    void Run(const MonitorTaskPtr& task) {
        engine_.ResumeTasks({task});
        bool started = false;
        const bool ended = WaitUntil(
            [&] {
                engine_.RunPass();
                const bool working = task->GetState() == TaskState::Working;
                started |= working;
                return started && !working;
            },
            30s, 10ms);
        EXPECT_TRUE(ended) << TaskLogText(*task);
    }

    static std::string HttpUrl(const ScriptedServer& server, std::string_view path) {
        return "http://127.0.0.1:" + std::to_string(server.Port()) + std::string(path);
    }

    FixedClock clock_{MakeTime(2004, 3, 3, 14, 5, 9)};
    ScopedCacheFolder cache_;
    RecordingSound sound_;
    CPropertySet settings_;
    ScopedSetting maxLines_{setting::kMaxLogLines, PropertyValue::Int(2000)};
    CManagerLink link_;
    CMonitorEngine engine_{{.transfers = &link_}};
    std::vector<MonitorTaskPtr> tasks_;
};

TEST_F(TransferBoundsTest, DownloadPastTheSizeLimitLeavesNeitherFileNorSample) {
    settings_.SetInt(setting::kMaxDownloadSize, 1);
    std::string chunks;
    for (int i = 0; i < 40; ++i)  // 2.5 MiB and no last chunk
        chunks += "10000\r\n" + std::string(65536, 'x') + "\r\n";
    const std::string bomb = Gzip(std::string(3 << 20, '\0'));
    struct Case {
        const char* what;
        Steps steps;
        const char* line;
    };
    const char* const received =
        "E:\tTransfer aborted: the download is larger than 1 MiB (\"Misc/Max Download Size\").";
    const Case cases[] = {
        {"endless chunked body", Reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n", chunks),
         received},
        {"announced length",
         Reply("HTTP/1.1 200 OK\r\nContent-Length: 2000000\r\n", std::string(1000, 'x')), received},
        {"gzip bomb",
         Reply("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Encoding: gzip\r\n"
               "Content-Length: " +
                   std::to_string(bomb.size()) + "\r\n",
               bomb),
         "E:\tTransfer aborted: the unpacked download is larger than 1 MiB (\"Misc/Max "
         "Download Size\")."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server(c.steps);
        MonitorTaskPtr task = AddTask(c.what, HttpUrl(server, "/page.txt"), 1);
        Run(task);
        const std::string log = TaskLogText(*task);
        EXPECT_EQ(task->GetLastResult(), result::kTooLarge) << log;
        EXPECT_TRUE(Contains(log, c.line)) << log;
        EXPECT_TRUE(Contains(log, "HandleEvent: Error.")) << log;
        const std::string object = task->GetObjectPath();
        for (const std::string& path :
             {object, object + ".gz", object + "~.xed", task->GetSamplePath()})
            EXPECT_EQ(GetPathKind(path), PathKind::Missing) << path;
    }
}

TEST_F(TransferBoundsTest, RunPastTheTimeLimitEndsWithTheTimeout) {
    settings_.SetInt(setting::kTransferTimeLimit, 2);
    // Without the limit these would go on for hours: retries after a long delay each.
    settings_.SetInt(setting::kTransferRetries, 10);
    settings_.SetInt(setting::kConnectionDelay, 600);
    Steps trickle = Reply("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n");
    for (int i = 0; i < 100; ++i)
        trickle.insert(trickle.end(), {script::Send("x"), script::Delay(100ms)});
    struct Case {
        const char* what;
        Steps steps;
    };
    const Case cases[] = {
        {"a byte at a time", trickle},
        {"silent after the head", Reply("HTTP/1.1 200 OK\r\n", {}, {script::Drain()})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server(c.steps);
        MonitorTaskPtr task = AddTask(c.what, HttpUrl(server, "/slow.bin"), 1);
        Run(task);
        const std::string log = TaskLogText(*task);
        EXPECT_EQ(task->GetLastResult(), result::kTimeout) << log;
        EXPECT_TRUE(Contains(log,
                             "E:\tTransfer aborted: it took longer than 2 seconds "
                             "(\"Connections/Transfer Time Limit\")."))
            << log;
        EXPECT_TRUE(Contains(log, "HandleEvent: Timeout Error.")) << log;
    }
}

TEST_F(TransferBoundsTest, FtpServerFailingAfterSomeDataEachTimeIsGivenUpAfterTheRetries) {
    settings_.SetInt(setting::kTransferRetries, 2);
    constexpr int kAttempts = 3;
    ScriptedServer data({script::Send("abc"), script::Close()}, kAttempts);
    const std::string pasv = "227 Entering Passive Mode (127,0,0,1," +
                             std::to_string(data.Port() / 256) + "," +
                             std::to_string(data.Port() % 256) + ")\r\n";
    Steps control = {script::Send("220 ready\r\n"),     script::Expect("USER anonymous\r\n"),
                     script::Send("230 in\r\n"),        script::Expect("CWD /f\r\n"),
                     script::Send("550 no folder\r\n"), script::Expect("TYPE I\r\n"),
                     script::Send("200 binary\r\n"),    script::Expect("SIZE /f\r\n"),
                     script::Send("213 100\r\n"),       script::Expect("MDTM /f\r\n"),
                     script::Send("550 no time\r\n")};
    for (int attempt = 0; attempt < kAttempts; ++attempt)
        control.insert(control.end(),
                       {script::Expect("PASV\r\n"), script::Send(pasv),
                        script::Expect("REST " + std::to_string(3 * attempt) + "\r\n"),
                        script::Send("350 restarting\r\n"), script::Expect("RETR /f\r\n"),
                        script::Send("150 here it comes\r\n"),
                        script::Send("426 Connection closed; transfer aborted\r\n")});
    ScriptedServer server(control);
    MonitorTaskPtr task =
        AddTask("Cut", "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/f", 1);
    Run(task);
    const std::string log = TaskLogText(*task);
    EXPECT_EQ(task->GetLastResult(), result::kDataClosed) << log;
    EXPECT_TRUE(Contains(log, "S:\tTransfer retry #2.")) << log;
    EXPECT_FALSE(Contains(log, "Transfer retry #3.")) << log;
    EXPECT_TRUE(Contains(log, "E:\tTransfer failed.")) << log;
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    EXPECT_TRUE(data.Wait()) << "every attempt fetched its piece";
}

TEST_F(TransferBoundsTest, StopAndDeleteReturnWhileNameResolutionHangs) {
    // Far beyond the bound below: only giving the lookup up lets the run end in time.
    settings_.SetInt(setting::kConnectionTimeout, 3600);
    ScopedHangingResolver resolver;
    const std::function<void(CMonitorEngine&, const MonitorTaskPtr&)> ends[] = {
        [](CMonitorEngine& engine, const MonitorTaskPtr& task) { engine.StopTasks({task}); },
        [](CMonitorEngine& engine, const MonitorTaskPtr& task) { engine.DeleteTasks({task}); },
    };
    int lookups = 0;
    for (const auto& end : ends) {
        SCOPED_TRACE(lookups == 0 ? "stop" : "delete");
        MonitorTaskPtr task =
            AddTask("Stuck " + std::to_string(lookups), "http://stuck.test/page.html", 0);
        engine_.ResumeTasks({task});
        ASSERT_TRUE(WaitUntil([&] {
            engine_.RunPass();
            return task->GetState() == TaskState::Working;
        })) << TaskLogText(*task);
        ASSERT_TRUE(resolver->WaitForLookup(++lookups));
        std::atomic<bool> returned{false};
        std::thread caller([&] {
            end(engine_, task);
            returned = true;
        });
        const bool inTime = WaitUntil([&] { return returned.load(); }, 10s);
        // A failure lets the lookup go, so that the caller can end and be joined.
        if (!inTime) resolver->Release();
        caller.join();
        EXPECT_TRUE(inTime);
        EXPECT_GE(resolver->Held(), 1) << "the lookup still hangs";
        EXPECT_NE(task->GetState(), TaskState::Working);
    }
}

}  // namespace
}  // namespace tellweir::testing
