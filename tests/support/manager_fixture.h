// The fixture of the transfer manager's tests: a manager over its own settings and log
// registry, with the scripted session registered for HTTP, HTTPS and FTP.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "log/item_log.h"
#include "log/log_registry.h"
#include "store/setting_ids.h"
#include "tests/support/scripted_session.h"
#include "transfer/request_props.h"
#include "transfer/transfer_manager.h"

namespace tellweir::testing {

// Counts what the manager tells the windows.
struct CountingDesktop final : IDesktopPort {
    void TransfersChanged(TransferNotice what) override { ++changes[static_cast<int>(what)]; }
    void PeriodicRefresh() override { ++refreshes; }
    int Count(TransferNotice what) const { return changes[static_cast<int>(what)]; }
    std::atomic<int> changes[3] = {0, 0, 0};
    std::atomic<int> refreshes{0};
};

class ManagerTest : public ::testing::Test {
  protected:
    ManagerTest() {
        settings_.SetInt(setting::kMaxConnects, 10);
        settings_.SetInt(setting::kMaxConnectsPerSite, 10);
        settings_.SetInt(setting::kConnectionRetries, 0);
        settings_.SetInt(setting::kTransferRetries, 10);
        settings_.SetInt(setting::kConnectionDelay, 0);
        settings_.SetInt(setting::kSessionIdleTime, 60000);
        settings_.SetInt(setting::kTimeoutThreading, 100);
        settings_.SetInt(setting::kMaxLogLines, 2000);
    }
    ~ManagerTest() override {
        script_.Release();
        CTransferManager::Shutdown();
    }

    CTransferManager& Manager() {
        TransferManagerOptions options;
        options.settings = &settings_;
        options.logs = &logs_;
        options.desktop = &desktop_;
        return CTransferManager::Create(options);
    }

    CTransferRequest Request(std::string_view url, int operation) {
        CTransferRequest request;
        EXPECT_TRUE(request.SetUrl(url, true)) << url;
        request.SetInt(prop::kOperation, operation);
        return request;
    }

    std::int32_t Add(const CTransferRequest& request, bool start = true) {
        std::int32_t id = 0;
        EXPECT_EQ(Manager().AddTransfer(request, id, start), kManagerOk);
        return id;
    }

    std::int32_t Add(std::string_view url, int operation = prop::kOperationFileInfo) {
        return Add(Request(url, operation));
    }

    // Waits (bounded) until the transfer has ended and returns its status.
    TransferStatus WaitEnd(std::int32_t id) {
        TransferStatus status;
        EXPECT_EQ(Manager().WaitTransfer(id, status, 10000), kManagerOk);
        return status;
    }

    std::string LogOf(std::int32_t id) {
        std::int32_t logId = 0;
        EXPECT_EQ(Manager().QueryTransfers(std::span(&id, 1), kKindLogId, std::span(&logId, 1)),
                  kManagerOk);
        const ItemLogPtr log = logs_.GetLog(logId);
        return log ? log->GetText() : std::string();
    }

    CPropertySet settings_;
    CLogRegistry logs_;
    CountingDesktop desktop_;
    SessionScript script_;
    ScopedScriptedFactory http_{ProtocolId::Http, script_};
    ScopedScriptedFactory ftp_{ProtocolId::Ftp, script_};
};

}  // namespace tellweir::testing
