// End to end: monitor tasks on pages of a real nginx, driven by engine passes, through the
// transfer manager and the registered HTTP session. The events each run raises follow what
// happens to the file on the server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <chrono>

#include "core/monitor_engine.h"
#include "core/transfer_link.h"
#include "log/log_registry.h"
#include "net/net_clients.h"
#include "net/net_startup.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "tests/support/core_fakes.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/nginx_server.h"
#include "tests/support/task_run_support.h"
#include "tests/support/wait_until.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"

namespace tellweir::testing {
namespace {

using Events = std::vector<std::string>;

class HttpMonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Startup(true));
        ::mkdir((site_ / "www").c_str(), 0755);
        NginxOptions options;
        options.serverDirectives =
            "        gzip on;\n        gzip_types text/plain;\n        gzip_min_length 1;\n"
            "        if (-f $document_root/forbidden.flag) { return 403; }\n";
        ASSERT_TRUE(StartNginx(nginx_, site_, options)) << nginx_.error;
        settings_ = AppSettings();
        settings_.SetInt(setting::kConnectionRetries, 0);
        settings_.SetInt(setting::kTransferRetries, 0);
        settings_.SetInt(setting::kConnectionDelay, 0);
        settings_.SetInt(setting::kConnectionTimeout, 10);
        // The HTTP defaults a fresh installation has (HTTP/1.1, so nginx may gzip).
        for (PropertyId id : {setting::kHttpVersion, setting::kHttpEnableConnection,
                              setting::kHttpEnableCookies, setting::kHttpEnableAccept})
            settings_.SetInt(id, 1);
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
        RegisterSessionFactory(ProtocolId::Http, nullptr);
        RegisterSessionFactory(ProtocolId::Https, nullptr);
        RegisterSessionFactory(ProtocolId::Ftp, nullptr);
        Startup(false);
    }

    MonitorTaskPtr AddTask(const std::string& name, const std::string& path, int download) {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, "http://127.0.0.1:" + std::to_string(nginx_.port) + path);
        task->SetInt(task::kDownload, download);
        task->SetInt(task::kSchedule, task::kScheduleManual);
        EXPECT_TRUE(engine_.AddTask(*task));
        tasks_.push_back(task);
        return task;
    }

    // Starts the task, runs engine passes until its run has ended, and gives the events raised.
    Events Run(const MonitorTaskPtr& task) {
        task->GetLog()->Clear();
        engine_.ResumeTasks({task});
        bool started = false;
        WaitUntil(
            [&] {
                engine_.RunPass();
                const bool working = task->GetState() == TaskState::Working;
                started |= working;
                return started && !working;
            },
            std::chrono::seconds(20), std::chrono::milliseconds(10));
        EXPECT_TRUE(started) << TaskLogText(*task);
        return RaisedEvents(TaskLogText(*task));
    }

    // Writes a file of the site with a chosen modification time (nginx's E-Tag is built from
    // the time and the size).
    void Put(const std::string& name, const std::string& content, std::time_t modified) {
        const std::string path = site_.WriteFile("www/" + name, content);
        const utimbuf times{modified, modified};
        ::utime(path.c_str(), &times);
    }

    FixedClock clock_{MakeTime(2004, 3, 3, 14, 5, 9)};
    ScopedCacheFolder cache_;
    RecordingSound sound_;
    TempDir site_{"monitor-site"};
    RealServer nginx_;
    CPropertySet settings_;
    ScopedSetting maxLines_{setting::kMaxLogLines, PropertyValue::Int(2000)};
    CManagerLink link_;
    CMonitorEngine engine_{{.transfers = &link_}};
    std::vector<MonitorTaskPtr> tasks_;
};

bool Has(const Events& events, const std::string& event) {
    return std::find(events.begin(), events.end(), event) != events.end();
}

TEST_F(HttpMonitorTest, FileInformationRunsFollowTheServer) {
    Put("page.txt", "version 1", 1000000000);
    MonitorTaskPtr task = AddTask("Info", "/page.txt", 0);
    const std::string flag = site_ / "www/forbidden.flag";
    struct Round {
        const char* what;
        std::function<void()> change;
        Events expected;
        Events absent;
    } const rounds[] = {
        {"first run", [] {}, {"OK", "First Time"}, {}},
        {"unchanged", [] {}, {"OK"}, {"First Time", "Content Changed"}},
        {"same size, new time: the E-Tag changes",
         [&] { Put("page.txt", "version 2", 1000000100); },
         {"E-Tag Changed", "Content Changed"},
         {"Size Changed"}},
        {"size changed",
         [&] { Put("page.txt", "version 3 longer", 1000000100); },
         {"Size Changed", "Content Changed"},
         {}},
        {"forbidden",
         [&] { site_.WriteFile("www/forbidden.flag", ""); },
         {"HTTP Error", "HTTP 4xx Error"},
         {"OK"}},
        {"allowed again", [&] { ::unlink(flag.c_str()); }, {"UP", "OK"}, {"Content Changed"}},
        {"deleted", [&] { ::unlink((site_ / "www/page.txt").c_str()); }, {"Not Exists"}, {"OK"}},
        {"back", [&] { Put("page.txt", "version 3 longer", 1000000100); }, {"UP", "OK"}, {}},
    };
    for (const Round& round : rounds) {
        SCOPED_TRACE(round.what);
        round.change();
        const Events events = Run(task);
        for (const std::string& event : round.expected)
            EXPECT_TRUE(Has(events, event)) << event << "\n" << TaskLogText(*task);
        for (const std::string& event : round.absent)
            EXPECT_FALSE(Has(events, event)) << event << "\n" << TaskLogText(*task);
    }
}

TEST_F(HttpMonitorTest, DownloadRunsCompareTheContent) {
    // Same size and time in every round: only the content tells the versions apart. nginx sends
    // the text gzip-encoded; the download is unpacked before it is compared.
    const std::string first(5000, 'a');
    std::string second = first;
    second[2500] = 'b';
    MonitorTaskPtr task = AddTask("Download", "/file.txt", 1);
    struct Round {
        const char* what;
        const std::string* content;
        Events expected;
        Events absent;
    } const rounds[] = {
        {"first run", &first, {"OK"}, {"Content Changed"}},
        {"same content", &first, {"OK"}, {"Content Changed"}},
        {"one byte different", &second, {"OK", "Content Changed"}, {}},
    };
    for (const Round& round : rounds) {
        SCOPED_TRACE(round.what);
        Put("file.txt", *round.content, 1000000000);
        const Events events = Run(task);
        for (const std::string& event : round.expected)
            EXPECT_TRUE(Has(events, event)) << event << "\n" << TaskLogText(*task);
        for (const std::string& event : round.absent)
            EXPECT_FALSE(Has(events, event)) << event << "\n" << TaskLogText(*task);
        EXPECT_EQ(ReadAll(task->GetSamplePath()), *round.content);
        EXPECT_TRUE(Contains(TaskLogText(*task), "Decompressing file")) << TaskLogText(*task);
    }
}

}  // namespace
}  // namespace tellweir::testing
