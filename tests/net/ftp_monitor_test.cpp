// Monitor tasks on ftp URLs end to end: the engine's passes start the runs, the transfer manager
// places them on the FTP sessions the network layer registers, and a real FTP server answers;
// the events follow what changes on the server.
#include <gtest/gtest.h>
#include <utime.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "core/monitor_engine.h"
#include "core/transfer_link.h"
#include "net/net_clients.h"
#include "tests/support/core_fakes.h"
#include "tests/support/ftp_server.h"
#include "tests/support/task_run_support.h"
#include "tests/support/wait_until.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"

namespace tellweir::testing {
namespace {

using Events = std::vector<std::string>;

// Sets an application setting for its lifetime.
class ScopedAppSetting {
  public:
    ScopedAppSetting(PropertyId id, const PropertyValue& value)
        : id_(id), previous_(AppSettings().GetValue(id)) {
        AppSettings().SetValue(id, value);
    }
    ~ScopedAppSetting() {
        if (previous_) {
            AppSettings().SetValue(id_, *previous_);
        } else {
            AppSettings().Remove(id_);
        }
    }
    ScopedAppSetting(const ScopedAppSetting&) = delete;
    ScopedAppSetting& operator=(const ScopedAppSetting&) = delete;

  private:
    PropertyId id_;
    std::optional<PropertyValue> previous_;
};

class FtpMonitorTest : public ::testing::Test {
  protected:
    FtpMonitorTest() {
        settings_.SetInt(setting::kMaxConnects, 10);
        settings_.SetInt(setting::kMaxConnectsPerSite, 10);
        settings_.SetInt(setting::kConnectionRetries, 0);
        settings_.SetInt(setting::kTransferRetries, 0);
        settings_.SetInt(setting::kConnectionDelay, 0);
        settings_.SetInt(setting::kSessionIdleTime, 60000);
        settings_.SetInt(setting::kTimeoutThreading, 100);
        settings_.SetInt(setting::kMaxLogLines, 2000);
        settings_.SetInt(setting::kConnectionTimeout, 10);
        settings_.SetInt(setting::kFtpDataConnectionType, 1);
        TransferManagerOptions options;
        options.settings = &settings_;
        CTransferManager& created = CTransferManager::Create(options);
        RegisterNetworkClients(created);
        link_.Attach(&created);
    }
    ~FtpMonitorTest() override {
        engine_.DeleteTasks(tasks_);
        CTransferManager::Shutdown();
        for (ProtocolId protocol : {ProtocolId::Ftp, ProtocolId::Http, ProtocolId::Https})
            RegisterSessionFactory(protocol, nullptr);
    }

    void SetUp() override { ASSERT_TRUE(StartFtpServer(ftp_, dir_)) << ftp_.server.error; }

    MonitorTaskPtr AddTask(const std::string& name, const std::string& url) {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, url);
        task->SetInt(task::kDownload, 0);
        EXPECT_TRUE(engine_.AddTask(*task)) << url;
        tasks_.push_back(task);
        return task;
    }

    // Moves the clock on so the task is due, and runs engine passes until its run has ended
    // (bounded); the events the run raised.
    Events RunOnce(CMonitorTask& task) {
        task.GetLog()->Clear();
        now_.days += 60.0 / 86400;
        clock_.Set(now_);
        engine_.RunPass();
        EXPECT_EQ(task.GetState(), TaskState::Working);
        WaitUntil(
            [&] {
                engine_.RunPass();
                return task.GetState() != TaskState::Working;
            },
            std::chrono::seconds(10), std::chrono::milliseconds(20));
        EXPECT_EQ(task.GetState(), TaskState::Waiting);
        return RaisedEvents(TaskLogText(task));
    }

    std::string Url(std::string_view path, std::string_view credentials = "") const {
        return "ftp://" + std::string(credentials) + "127.0.0.1:" + std::to_string(ftp_.Port()) +
               std::string(path);
    }

    static bool Has(const Events& events, std::string_view event) {
        return std::find(events.begin(), events.end(), event) != events.end();
    }

    DateTime now_ = MakeTime(2004, 3, 3, 14, 5, 9);
    FixedClock clock_{now_};
    TempDir dir_{"ftp-monitor"};
    ScopedCacheFolder cache_;
    ScopedAppSetting queueFile_{setting::kMonitorQueueFile,
                                PropertyValue::String(dir_ / "1.1/m.xml")};
    ScopedAppSetting maxLines_{setting::kMaxLogLines, PropertyValue::Int(2000)};
    RecordingSound sound_;
    CPropertySet settings_;
    FtpServer ftp_;
    CManagerLink link_;
    CMonitorEngine engine_{{.transfers = &link_}};
    std::vector<MonitorTaskPtr> tasks_;
};

TEST_F(FtpMonitorTest, EventsFollowTheFileOnTheServer) {
    const std::string file = ftp_.anonymousRoot + "/watched.txt";
    std::ofstream(file) << "first";
    MonitorTaskPtr task = AddTask("Watched", Url("/watched.txt"));

    Events events = RunOnce(*task);
    EXPECT_TRUE(Has(events, "OK") && Has(events, "First Time")) << TaskLogText(*task);
    EXPECT_EQ(task->GetLastResult(), 0);

    events = RunOnce(*task);
    EXPECT_EQ(events, Events{"OK"}) << TaskLogText(*task);

    std::ofstream(file, std::ios::app) << " and more";
    events = RunOnce(*task);
    EXPECT_TRUE(Has(events, "Size Changed")) << TaskLogText(*task);
    EXPECT_TRUE(Has(events, "Content Changed")) << TaskLogText(*task);
    EXPECT_EQ(task->Int64(task::kSize), 14);

    std::remove(file.c_str());
    events = RunOnce(*task);
    EXPECT_EQ(events, (Events{"Error", "Not Exists"})) << TaskLogText(*task);
    EXPECT_EQ(task->GetLastResult(), result::kRemoteNotFound);
}

TEST_F(FtpMonitorTest, RefusedLoginRaisesFtp5xxError) {
    std::ofstream(ftp_.userRoot + "/private.txt") << "secret things";
    MonitorTaskPtr task = AddTask("Refused", Url("/private.txt", "alice:wrong@"));
    EXPECT_EQ(RunOnce(*task), (Events{"Error", "FTP Error", "FTP 5xx Error"}))
        << TaskLogText(*task);
    EXPECT_EQ(task->GetLastResult(), result::kFtp5xx);
}

}  // namespace
}  // namespace tellweir::testing
