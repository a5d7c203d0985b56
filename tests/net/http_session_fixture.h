// The fixture of the HTTP session tests: a session made directly (no transfer manager) over the
// test's own settings, cookie store and password store, and the two operations the transfer
// operation calls on it — file information and a download into a file from an offset.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "net/cookie/cookie_store.h"
#include "net/http/http_session.h"
#include "net/net_startup.h"
#include "store/password_store.h"
#include "store/setting_ids.h"
#include "tests/support/recording_log.h"
#include "tests/support/temp_dir.h"
#include "transfer/local_file.h"
#include "transfer/progress_meter.h"
#include "transfer/request_props.h"
#include "transfer/transfer.h"

namespace tellweir::testing {

class HttpSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Startup(true));
        settings_.SetInt(setting::kConnectionTimeout, 5);
    }
    void TearDown() override { Startup(false); }

    RefPtr<CHttpSession> NewSession(const std::string& proxy = {}) {
        return RefPtr<CHttpSession>::Adopt(
            new CHttpSession(SessionParams{"site", "", proxy}, settings_, cookies_, passwords_));
    }

    // A transfer with the default HTTP settings: HTTP/1.1, Keep-Alive, and the Accept,
    // Connection and Cookie headers on.
    std::unique_ptr<CTransfer> NewTransfer(const std::string& url) {
        CTransferRequest request;
        EXPECT_TRUE(request.SetUrl(url, true)) << url;
        request.SetInt(prop::kHttpVersion, 1);
        request.SetInt(prop::kConnection, 0);
        for (int bit : {prop::kFlagCookies, prop::kFlagSendConnection, prop::kFlagSendAccept})
            request.SetBit(prop::kFlags, bit, true);
        return std::make_unique<CTransfer>(100, request, nullptr);
    }

    // Receives the resource into `name` in the temp folder, appending from its current length.
    TransferResult Download(CHttpSession& session, CTransfer& transfer, const std::string& name) {
        CLocalFile file;
        const TransferResult opened = file.Open(dir_ / name, O_WRONLY | O_CREAT);
        if (opened != 0) return opened;
        const std::int64_t offset = file.Length();
        file.Seek(offset, SEEK_SET);
        CProgressMeter meter(transfer, CProgressMeter::Direction::Download);
        meter.Begin(offset, -1);
        return session.ReceiveFile(transfer, file, offset, &log_, meter);
    }

    CPropertySet settings_;
    CCookieStore cookies_;
    CPasswordStore passwords_;
    RecordingLog log_;
    TempDir dir_{"http"};
};

}  // namespace tellweir::testing
