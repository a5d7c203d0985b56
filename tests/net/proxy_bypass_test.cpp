// "Do not use proxy for local addresses" end to end: transfers through the manager and the HTTP
// client with a real tinyproxy configured as the HTTP proxy. tinyproxy adds a Via header to what
// it forwards, so the origin tells whether a request came through it.
#include <gtest/gtest.h>

#include <string>

#include "log/log_registry.h"
#include "net/net_clients.h"
#include "net/net_startup.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "tests/support/real_servers.h"
#include "tests/support/scripted_server.h"
#include "transfer/file_info.h"
#include "transfer/request_props.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"

namespace tellweir::testing {
namespace {

class ProxyBypassTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Startup(true));
        ASSERT_TRUE(StartTinyproxy(proxy_, dir_)) << proxy_.error;
        settings_ = AppSettings();
        settings_.SetInt(setting::kConnectionRetries, 0);
        settings_.SetInt(setting::kTransferRetries, 0);
        settings_.SetInt(setting::kConnectionDelay, 0);
        settings_.SetInt(setting::kConnectionTimeout, 10);
        settings_.SetString(setting::kProxyHttp, "http://127.0.0.1:" + std::to_string(proxy_.port));
        settings_.SetInt(setting::kProxyHttpEnabled, 1);
        settings_.SetInt(setting::kProxySkipListEnabled, 0);
    }
    void TearDown() override {
        CTransferManager::Shutdown();
        RegisterSessionFactory(ProtocolId::Http, nullptr);
        RegisterSessionFactory(ProtocolId::Https, nullptr);
        RegisterSessionFactory(ProtocolId::Ftp, nullptr);
        Startup(false);
    }

    // Gets the file information of `host`'s page from `origin` under the settings as they are
    // now (each run has a manager of its own, so the settings never change under a running one)
    // and gives the request the origin received.
    std::string Fetch(const std::string& host, ScriptedServer& origin) {
        TransferManagerOptions options;
        options.settings = &settings_;
        options.logs = &logs_;
        CTransferManager& manager = CTransferManager::Create(options);
        RegisterNetworkClients(manager);
        CTransferRequest request;
        EXPECT_TRUE(
            request.SetUrl("http://" + host + ":" + std::to_string(origin.Port()) + "/page", true));
        request.SetInt(prop::kOperation, prop::kOperationFileInfo);
        std::int32_t id = 0;
        EXPECT_EQ(manager.AddTransfer(request, id, true), kManagerOk);
        TransferStatus status;
        EXPECT_EQ(manager.WaitTransfer(id, status, 20000), kManagerOk);
        EXPECT_EQ(status.result, 0) << host;
        CTransferManager::Shutdown();
        EXPECT_TRUE(origin.Wait());
        return origin.Received();
    }

    TempDir dir_{"tinyproxy"};
    RealServer proxy_;
    CPropertySet settings_;
    CLogRegistry logs_;
};

TEST_F(ProxyBypassTest, LoopbackHostsSkipTheProxyOnlyWhenAsked) {
    struct Case {
        const char* host;
        bool skipLocal;
        bool viaProxy;
    };
    const Case cases[] = {
        {"127.0.0.1", false, true},  // the proxy is real and in use
        {"127.0.0.1", true, false},
        {"localhost", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.host) + (c.skipLocal ? ", skip local" : ""));
        settings_.SetInt(setting::kProxySkipLocalEnabled, c.skipLocal ? 1 : 0);
        ScriptedServer origin({script::ReadUntil("\r\n\r\n"),
                               script::Send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n"),
                               script::Close()});
        const std::string received = Fetch(c.host, origin);
        EXPECT_EQ(received.find("\r\nVia: ") != std::string::npos, c.viaProxy) << received;
    }
}

}  // namespace
}  // namespace tellweir::testing
