// Versions kept by real runs: the engine's passes start them, the program's own HTTP and FTP
// clients fetch from nginx and an FTP server (or the task reads a local file), and each first
// content and each change becomes a version whose text shows what changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include "core/monitor_engine.h"
#include "core/transfer_link.h"
#include "history/version_compare.h"
#include "history/version_store.h"
#include "net/net_clients.h"
#include "tests/support/core_fakes.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/ftp_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/task_run_support.h"
#include "tests/support/wait_until.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"

namespace tellweir::testing {
namespace {

namespace fs = std::filesystem;
using Events = std::vector<std::string>;

std::vector<std::int32_t> Numbers(const CMonitorTask& task) {
    std::vector<std::int32_t> numbers;
    for (const VersionRecord& record : CVersionStore(task.GetVersionFolder()).List())
        numbers.push_back(record.number);
    return numbers;
}

// Bytes that do not compress.
std::string Noise(std::size_t size, unsigned seed) {
    std::string noise(size, '\0');
    for (char& c : noise)
        c = static_cast<char>((seed = seed * 1103515245U + 12345U) >> 16);
    return noise;
}

class VersionRunTest : public ::testing::Test {
  protected:
    VersionRunTest() {
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
    ~VersionRunTest() override {
        engine_.DeleteTasks(tasks_);
        engine_
            .RunPass();  // removes the transfers the deletion stopped, while the manager is there
        link_.Attach(nullptr);  // the engine, destroyed after the manager, must not reach it
        CTransferManager::Shutdown();
        for (ProtocolId protocol : {ProtocolId::Ftp, ProtocolId::Http, ProtocolId::Https})
            RegisterSessionFactory(protocol, nullptr);
    }

    MonitorTaskPtr AddTask(const std::string& name, const std::string& uri, int download) {
        MonitorTaskPtr task = CMonitorTask::Create();
        task->SetName(name);
        task->SetString(task::kUri, uri);
        task->SetInt(task::kDownload, download);
        EXPECT_TRUE(engine_.AddTask(*task)) << uri;
        tasks_.push_back(task);
        return task;
    }

    // Moves the clock on so the task is due and runs engine passes until its run has ended
    // (bounded); the run's log.
    std::string RunOnce(CMonitorTask& task) {
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
            std::chrono::seconds(20), std::chrono::milliseconds(10));
        return TaskLogText(task);
    }

    DateTime now_ = MakeTime(2004, 3, 3, 14, 5, 9);
    FixedClock clock_{now_};
    TempDir dir_{"version-runs"};
    ScopedCacheFolder cache_;
    ScopedSetting queueFile_{setting::kMonitorQueueFile, PropertyValue::String(dir_ / "m.xml")};
    ScopedSetting maxLines_{setting::kMaxLogLines, PropertyValue::Int(2000)};
    // The program's defaults, which a test's empty settings do not have.
    ScopedSetting versionsKept_{setting::kVersionsKept, PropertyValue::Int(10)};
    ScopedSetting versionsSize_{setting::kVersionsMaxSize, PropertyValue::Int(50)};
    RecordingSound sound_;
    CPropertySet settings_;
    CManagerLink link_;
    CMonitorEngine engine_{{.transfers = &link_}};
    std::vector<MonitorTaskPtr> tasks_;
};

// Where a case's content lives: a place to write it and the URI a task watches it at.
struct Source {
    std::function<void(std::string_view)> put;
    std::string uri;
};

TEST_F(VersionRunTest, EachChangeIsKeptAndItsTextShowsIt) {
    RealServer nginx;
    ASSERT_TRUE(
        StartNginx(nginx, dir_, {.serverDirectives = "location /latin/ { charset iso-8859-1; }"}))
        << nginx.error;
    FtpServer ftp;
    ASSERT_TRUE(StartFtpServer(ftp, dir_)) << ftp.server.error;
    fs::create_directories(dir_ / "www/latin");
    const std::string http = "http://127.0.0.1:" + std::to_string(nginx.port);
    std::time_t modified = now_.ToUnixTime();
    const auto file = [&modified](const std::string& path) {
        return [path, &modified](std::string_view content) { PutFile(path, content, ++modified); };
    };
    const std::string page =
        "<html><head><title>Shop</title>\n"
        "<style>p { color: red; }</style>\n"
        "<script>var secret = 1;</script></head>\n"
        "<body><!-- note -->\n"
        "<h1>Offers &amp; prices</h1>\n"
        "<p>Price: PRICE &euro;</p>\n"
        "<p><a href=\"/more\">More</a></p>\n"
        "</body></html>\n";
    const auto withPrice = [](std::string text, std::string_view price) {
        return text.replace(text.find("PRICE"), 5, price);
    };
    std::string big;  // over 1 MiB: checked on the check's own thread
    for (int i = 0; big.size() < 1536 * 1024; ++i)
        big += "line " + std::to_string(i) + " of a long text\n";
    const struct {
        const char* what;
        Source source;
        std::string before, after;
        std::string removedLine, addedLine;  // as the versions' texts show them
    } cases[] = {
        {"HTML page over HTTP",
         {file(dir_ / "www/shop.html"), http + "/shop.html"},
         withPrice(page, "10"),
         withPrice(page, "12"),
         "Price: 10 \u20ac",
         "Price: 12 \u20ac"},
        {"Latin-1 page, charset in the header",
         {file(dir_ / "www/latin/page.html"), http + "/latin/page.html"},
         "<html><body>\n<p>Caf\xe9: 2</p>\n<p>Th\xe9: 3</p>\n</body></html>\n",
         "<html><body>\n<p>Caf\xe9: 2</p>\n<p>Th\xe9: 4</p>\n</body></html>\n",
         "Th\u00e9: 3",
         "Th\u00e9: 4"},
        {"local text file",
         {file(dir_ / "local.txt"), dir_ / "local.txt"},
         "one\ntwo\nthree\n",
         "one\n2\nthree\n",
         "two",
         "2"},
        {"large local file",
         {file(dir_ / "large.txt"), dir_ / "large.txt"},
         big + "old tail\n",
         big + "new tail\n",
         "old tail",
         "new tail"},
        {"FTP file",
         {file(ftp.anonymousRoot + "/notes.txt"),
          "ftp://127.0.0.1:" + std::to_string(ftp.Port()) + "/notes.txt"},
         "alpha\nbeta\n",
         "alpha\nbeta\ngamma\n",
         "",
         "gamma"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.source.put(c.before);
        MonitorTaskPtr task = AddTask(c.what, c.source.uri, 1);
        std::string log = RunOnce(*task);
        EXPECT_TRUE(Contains(log, "Version 1 kept.")) << log;
        EXPECT_EQ(task->GetRunChange().version, 1);

        log = RunOnce(*task);  // unchanged: nothing kept
        EXPECT_FALSE(Contains(log, "kept")) << log;
        EXPECT_EQ(task->GetRunChange().version, 0);
        EXPECT_EQ(task->GetRunChange().summary, "");

        c.source.put(c.after);
        log = RunOnce(*task);
        const std::string summary =
            c.removedLine.empty() ? "1 line added" : "1 line added, 1 removed";
        EXPECT_TRUE(Contains(log, "Version 2 kept: " + summary + ".")) << log;
        EXPECT_EQ(RaisedEvents(log).back(), "Content Changed") << log;
        EXPECT_EQ(task->GetRunChange().version, 2);
        EXPECT_EQ(task->GetRunChange().summary, summary);
        EXPECT_EQ(task->GetNewestVersion(), 2);
        EXPECT_TRUE(task->HasUnseenChanges());

        CTextDiff diff;
        VersionRecord first, second;
        ASSERT_EQ(
            CompareVersions(CVersionStore(task->GetVersionFolder()), 1, 2, diff, &first, &second),
            VersionCompare::Ok);
        EXPECT_EQ(first.event, "First Time");
        EXPECT_EQ(first.run, 1);
        EXPECT_EQ(second.event, "Content Changed");
        EXPECT_EQ(second.run, 3);
        EXPECT_EQ(second.size, static_cast<std::int64_t>(c.after.size()));
        std::vector<std::string> removed, added;
        for (const DiffLine& line : diff.Lines()) {
            // A page is compared as its readable text: no script, style, comment or entity.
            for (std::string_view markup : {"secret", "color:", "note", "&amp;", "&euro;", "<"})
                EXPECT_FALSE(Contains(std::string(diff.Text(line)), markup)) << diff.Text(line);
            if (line.op == LineOp::Removed) removed.emplace_back(diff.Text(line));
            if (line.op == LineOp::Added) added.emplace_back(diff.Text(line));
        }
        EXPECT_EQ(removed, c.removedLine.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{c.removedLine});
        EXPECT_EQ(added, std::vector<std::string>{c.addedLine});
    }
}

TEST_F(VersionRunTest, FileInformationRecordsAreKept) {
    const std::string path = dir_ / "info.txt";
    std::time_t modified = now_.ToUnixTime();
    PutFile(path, "12345", modified);
    MonitorTaskPtr task = AddTask("Info", path, 0);
    const struct {
        const char* what;
        std::string content;
        std::time_t modified;
        const char* event;  // of the version kept; null: none
    } steps[] = {
        {"first run", "12345", modified, "First Time"},
        {"unchanged", "12345", modified, nullptr},
        {"only the time", "12345", modified + 60, "Time Modified Changed"},
        {"the size", "1234567", modified + 120, "Content Changed"},
    };
    std::int32_t number = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        PutFile(path, step.content, step.modified);
        RunOnce(*task);
        if (step.event != nullptr) ++number;
        EXPECT_EQ(task->GetRunChange().version, step.event ? number : 0);
        if (step.event == nullptr) continue;
        std::string text;
        VersionRecord record;
        ASSERT_EQ(CVersionStore(task->GetVersionFolder()).Read(number, text, &record),
                  VersionRead::Ok);
        EXPECT_EQ(record.event, step.event);
        EXPECT_TRUE(record.information);
        EXPECT_TRUE(text.starts_with("Size: " + std::to_string(step.content.size()) + "\n"))
            << text;
        EXPECT_TRUE(Contains(text, "Time modified: ")) << text;
    }
}

TEST_F(VersionRunTest, LimitsComeFromTheSettings) {
    const struct {
        const char* what;
        int kept, maxMiB;
        std::size_t size;  // of each content, which does not compress
        std::vector<std::int32_t> left;
    } cases[] = {
        {"by count", 2, 50, 100, {3, 4}},
        {"by size", 10, 1, 400 * 1024, {3, 4}},
        {"none", 0, 50, 100, {}},
    };
    const std::string path = dir_ / "bounded.bin";
    std::time_t modified = now_.ToUnixTime();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedSetting kept(setting::kVersionsKept, PropertyValue::Int(c.kept));
        ScopedSetting maxSize(setting::kVersionsMaxSize, PropertyValue::Int(c.maxMiB));
        PutFile(path, Noise(c.size, 1), ++modified);
        MonitorTaskPtr task = AddTask(c.what, path, 1);
        for (unsigned i = 2; i <= 4; ++i) {
            RunOnce(*task);
            PutFile(path, Noise(c.size, i), ++modified);
        }
        const std::string log = RunOnce(*task);
        EXPECT_EQ(Numbers(*task), c.left);
        EXPECT_FALSE(Contains(log, "E:\t")) << log;  // keeping fewer is no failure
    }
}

TEST_F(VersionRunTest, DamagedVersionIsToldOnceAndTheNextRunKeeps) {
    const std::string path = dir_ / "watched.txt";
    std::time_t modified = now_.ToUnixTime();
    PutFile(path, "one\n", modified);
    MonitorTaskPtr task = AddTask("Watched", path, 1);
    RunOnce(*task);
    const std::string damaged = task->GetVersionFolder() + "/000001.version";
    WriteAll(damaged, "not a version");

    PutFile(path, "two\n", ++modified);
    std::string log = RunOnce(*task);
    EXPECT_TRUE(Contains(log, "Version file damaged, skipped: \"" + damaged + "\".")) << log;
    EXPECT_TRUE(Contains(log, "Version 2 kept.")) << log;  // nothing to count against
    const Events events = RaisedEvents(log);
    EXPECT_EQ(std::count(events.begin(), events.end(), "Error"), 0) << log;

    PutFile(path, "three\n", ++modified);
    log = RunOnce(*task);
    EXPECT_FALSE(Contains(log, "damaged")) << log;
    EXPECT_TRUE(Contains(log, "Version 3 kept: 1 line added, 1 removed.")) << log;
}

TEST_F(VersionRunTest, AVersionNotKeptIsOneLineNotAnError) {
    const std::string path = dir_ / "blocked.txt";
    PutFile(path, "one\n", now_.ToUnixTime());
    MonitorTaskPtr task = AddTask("Blocked", path, 1);
    // A file where the versions folder would go: nothing can be kept there.
    fs::create_directories(fs::path(task->GetVersionFolder()).parent_path());
    WriteAll(task->GetVersionFolder(), "in the way");
    const std::string log = RunOnce(*task);
    EXPECT_TRUE(Contains(log, "E:\tNo version was kept: cannot open the versions folder")) << log;
    EXPECT_EQ(RaisedEvents(log), (Events{"OK", "Local File Exists"})) << log;
    EXPECT_TRUE(Contains(log, "Sample file created")) << log;  // the run went on
    EXPECT_EQ(task->GetRunChange().version, 0);
    EXPECT_EQ(task->GetNewestVersion(), 0);
}

TEST_F(VersionRunTest, RemoveAndCleanupCacheTakeOnlyTheirOwn) {
    std::time_t modified = now_.ToUnixTime();
    PutFile(dir_ / "a.txt", "a", modified);
    PutFile(dir_ / "b.txt", "b", modified);
    MonitorTaskPtr a = AddTask("A", dir_ / "a.txt", 1);
    MonitorTaskPtr b = AddTask("B", dir_ / "b.txt", 1);
    RunOnce(*a);
    RunOnce(*b);
    const std::string orphan = cache_.Path() + "/gone/page.versions";
    fs::create_directories(orphan);
    WriteAll(orphan + "/000001.version", "old");

    engine_.CleanupCache();
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_EQ(Numbers(*a), std::vector<std::int32_t>{1});
    EXPECT_EQ(Numbers(*b), std::vector<std::int32_t>{1});

    engine_.DeleteTasks({a});
    EXPECT_FALSE(fs::exists(a->GetVersionFolder()));
    EXPECT_EQ(Numbers(*b), std::vector<std::int32_t>{1});
}

TEST_F(VersionRunTest, ARestoredTaskKnowsItsVersionsAndANewOneStartsAfresh) {
    const std::string path = dir_ / "kept.txt";
    PutFile(path, "one\n", now_.ToUnixTime());
    MonitorTaskPtr task = AddTask("Kept", path, 1);
    RunOnce(*task);
    PutFile(path, "two\n", now_.ToUnixTime() + 1);
    RunOnce(*task);
    EXPECT_TRUE(task->SetViewedVersion(1));

    const auto sameFiles = [&] {
        MonitorTaskPtr copy = CMonitorTask::Create();
        copy->SetName("Copy");
        copy->SetString(task::kUri, path);
        copy->SetInt(task::kDownload, 1);
        copy->SetString(task::kSamplePath, task->GetSamplePath());
        copy->SetString(task::kInfoPath, task->GetInfoPath());
        return copy;
    };
    MonitorTaskPtr restored = sameFiles();
    ASSERT_TRUE(restored->Prepare(false));
    EXPECT_EQ(restored->GetNewestVersion(), 2);
    EXPECT_EQ(restored->GetViewedVersion(), 1);
    EXPECT_TRUE(restored->HasUnseenChanges());
    restored->ReleaseLog();

    MonitorTaskPtr created = sameFiles();
    ASSERT_TRUE(created->Prepare(true));
    EXPECT_FALSE(fs::exists(task->GetVersionFolder()));
    EXPECT_EQ(created->GetNewestVersion(), 0);
    EXPECT_EQ(created->GetViewedVersion(), 0);
    created->ReleaseLog();
}

}  // namespace
}  // namespace tellweir::testing
