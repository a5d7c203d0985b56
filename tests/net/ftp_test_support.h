// What the FTP session tests share: settings with a short connection time-out, sessions and
// transfers made directly (no transfer manager), downloads through the session's shared
// download step, and a stand-in for the user who answers credential prompts.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "net/ftp/ftp_session.h"
#include "net/protocol_props.h"
#include "store/setting_ids.h"
#include "tests/support/recording_log.h"
#include "tests/support/temp_dir.h"
#include "transfer/file_info.h"
#include "transfer/progress_meter.h"
#include "transfer/prompt_broker.h"
#include "transfer/request_props.h"
#include "transfer/transfer.h"
#include "url/file_type.h"

namespace tellweir::testing {

using FtpSessionPtr = RefPtr<CFtpSession>;

class FtpTest : public ::testing::Test {
  protected:
    FtpTest() {
        settings_.SetInt(setting::kConnectionTimeout, 5);
        settings_.SetString(setting::kAnonymousPassword, "");
    }

    // A transfer of `url` (parsed strictly) with the data connection type given.
    std::unique_ptr<CTransfer> NewTransfer(const std::string& url, int dataType) {
        CTransferRequest request;
        EXPECT_TRUE(request.SetUrl(url, true)) << url;
        request.SetInt(prop::kFtpDataConnection, dataType);
        return std::make_unique<CTransfer>(100, request, nullptr);
    }

    FtpSessionPtr NewSession(const CTransfer& transfer) {
        return FtpSessionPtr::Adopt(new CFtpSession(
            SessionParams{transfer.SiteKey(), transfer.Address().user, ""}, &settings_));
    }

    // Connects and downloads into `target` (appending to what is there); the result.
    TransferResult Download(CFtpSession& session, CTransfer& transfer, const std::string& target) {
        const TransferResult connected = session.Connect(transfer, log_.get());
        if (connected != result::kOk) return connected;
        transfer.SetString(prop::kLocalFile, target);
        CProgressMeter meter(transfer, CProgressMeter::Direction::Download);
        return session.DownloadToFile(transfer, log_.get(), meter);
    }

    // The commands the log shows as sent, one a line.
    std::string Sent() const {
        std::string sent;
        for (const std::string& line : log_->Lines())
            if (line.starts_with("2|")) sent += line.substr(2) + "\n";
        return sent;
    }

    // The log of the current case; a new one for each case of a table.
    RecordingLog& log() { return *log_; }
    void NewLog() { log_ = std::make_unique<RecordingLog>(); }

    CPropertySet settings_;
    std::unique_ptr<RecordingLog> log_ = std::make_unique<RecordingLog>();
    TempDir dir_{"ftp"};
};

// Answers every credential prompt of the process's broker with a fixed user and password while
// it lives, counting the prompts.
class PromptAnswerer {
  public:
    PromptAnswerer(std::string user, std::string password)
        : user_(std::move(user)), password_(std::move(password)) {
        CPromptBroker::Instance().SetListener(&listener_);
        thread_ = std::thread([this] {
            while (!done_) {
                PromptRequest request;
                if (CPromptBroker::Instance().GetPending(request)) {
                    request.userName = user_;
                    request.password = password_;
                    // Counted before the answer wakes the asker, so the count is complete
                    // once the transfer has ended.
                    ++prompts_;
                    if (!CPromptBroker::Instance().Answer(request)) --prompts_;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~PromptAnswerer() {
        done_ = true;
        thread_.join();
        CPromptBroker::Instance().SetListener(nullptr);
    }
    PromptAnswerer(const PromptAnswerer&) = delete;
    PromptAnswerer& operator=(const PromptAnswerer&) = delete;

    int Prompts() const { return prompts_; }

  private:
    std::string user_;
    std::string password_;
    std::atomic<bool> done_{false};
    std::atomic<int> prompts_{0};
    // A window that is always there to answer.
    struct Listening final : IDesktopPort {
        bool CredentialsRequested() override { return true; }
    } listener_;
    std::thread thread_;
};

}  // namespace tellweir::testing
