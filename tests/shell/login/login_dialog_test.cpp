// Logins that need a user name and password, answered in the window: a wrong stored password
// makes the real FTP server refuse, the login dialog asks, the right password lets the login
// succeed and "Remember" keeps it; Cancel refuses, a stopped transfer closes its dialog, and
// several requests wait their turn.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <atomic>
#include <fstream>
#include <span>
#include <string>
#include <thread>

#include "log/log_registry.h"
#include "net/net_clients.h"
#include "shell/login/credential_prompter.h"
#include "shell/login/login_dialog.h"
#include "store/password_store.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/ftp_server.h"
#include "transfer/file_info.h"
#include "transfer/request_props.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"

namespace tellweir::testing {
namespace {

class LoginDialogTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(StartFtpServer(ftp_, ftpDir_)) << ftp_.server.error;
        std::ofstream(ftp_.userRoot + "/f") << "12345";
        transferSettings_.SetInt(setting::kMaxConnects, 10);
        transferSettings_.SetInt(setting::kMaxConnectsPerSite, 10);
        transferSettings_.SetInt(setting::kConnectionRetries, 0);
        transferSettings_.SetInt(setting::kTransferRetries, 0);
        transferSettings_.SetInt(setting::kConnectionDelay, 0);
        transferSettings_.SetInt(setting::kConnectionTimeout, 10);
        transferSettings_.SetInt(setting::kMaxLogLines, 2000);
        transferSettings_.SetInt(setting::kFtpDataConnectionType, 1);
        TransferManagerOptions options;
        options.settings = &transferSettings_;
        options.desktop = &port_;
        RegisterNetworkClients(CTransferManager::Create(options));
    }
    void TearDown() override {
        frame_.reset();  // refuses a request still on show
        CTransferManager::Shutdown();
        for (ProtocolId protocol : {ProtocolId::Ftp, ProtocolId::Http, ProtocolId::Https})
            RegisterSessionFactory(protocol, nullptr);
        CPasswordStore::Instance().Remove(StoreKey());
        ShellTest::TearDown();
    }

    static CTransferManager& Manager() { return *CTransferManager::Get(); }

    std::string Site() const { return "127.0.0.1:" + std::to_string(ftp_.Port()); }
    // Where the FTP client looks for alice's password on this server.
    std::string StoreKey() const { return std::string("ftp://") + kFtpTestUser + "@" + Site(); }

    std::int32_t StartFileInfo(const std::string& credentials) {
        CTransferRequest request;
        EXPECT_TRUE(request.SetUrl("ftp://" + credentials + Site() + "/f", true));
        request.SetInt(prop::kOperation, prop::kOperationFileInfo);
        std::int32_t id = 0;
        EXPECT_EQ(Manager().AddTransfer(request, id, true), kManagerOk);
        return id;
    }

    // Runs the event loop until the transfer has ended; its status.
    TransferStatus WaitEnd(std::int32_t id,
                           std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        TransferStatus status;
        EXPECT_TRUE(WaitFor(
            [&] {
                (void)Manager().GetStatus(id, status);
                return status.state == kTransferStopped || status.state == kTransferFinished;
            },
            limit));
        return status;
    }

    static std::string LogOf(std::int32_t id) {
        std::int32_t logId = 0;
        (void)Manager().QueryTransfers(std::span(&id, 1), kKindLogId, std::span(&logId, 1));
        const ItemLogPtr log = CLogRegistry::Instance().GetLog(logId);
        return log ? log->GetText() : std::string();
    }

    CLoginDialog* WaitForDialog() {
        CCredentialPrompter& prompter = *Frame().Prompter();
        EXPECT_TRUE(WaitFor([&] { return prompter.Dialog() && prompter.Dialog()->isVisible(); }));
        return prompter.Dialog();
    }

    // Types the password and answers as a user would, from the keyboard.
    static void Answer(CLoginDialog& dialog, const char* password, bool remember) {
        dialog.activateWindow();
        dialog.PasswordEdit()->setFocus();
        QTest::keyClicks(dialog.PasswordEdit(), QString::fromLatin1(password));
        if (remember) QTest::keyClick(dialog.RememberBox(), Qt::Key_Space);
        QTest::keyClick(dialog.PasswordEdit(), Qt::Key_Return);
    }

    TempDir ftpDir_{"login-ftp"};
    FtpServer ftp_;
    CPropertySet transferSettings_;
};

TEST_F(LoginDialogTest, WrongStoredPasswordIsAskedForAndRemembered) {
    CPasswordStore::Instance().Set(StoreKey(), "wrong");
    Frame();
    const std::int32_t id = StartFileInfo(std::string(kFtpTestUser) + "@");
    CLoginDialog* dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isModal());
    EXPECT_NE(dialog->SiteLabel()->text().indexOf(QString::fromStdString(Site())), -1)
        << dialog->SiteLabel()->text().toStdString();
    EXPECT_EQ(dialog->UserEdit()->text(), QString::fromLatin1(kFtpTestUser));
    EXPECT_TRUE(dialog->PasswordEdit()->text().isEmpty());
    EXPECT_TRUE(dialog->RememberBox()->isEnabled());

    Answer(*dialog, kFtpTestPassword, true);
    const TransferStatus status = WaitEnd(id);
    EXPECT_EQ(status.state, kTransferFinished);
    EXPECT_EQ(status.result, 0);
    std::string stored;
    EXPECT_TRUE(CPasswordStore::Instance().Get(StoreKey(), stored));
    EXPECT_EQ(stored, kFtpTestPassword);
    EXPECT_EQ(Frame().Prompter()->Dialog(), nullptr);
}

// Cancel refuses at once; a stopped transfer takes its dialog with it. Neither waits for the
// time limit, and nothing is remembered.
TEST_F(LoginDialogTest, CancelRefusesAndAStoppedTransferClosesItsDialog) {
    Frame();
    const std::int32_t cancelled = StartFileInfo("$@");
    CLoginDialog* dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->UserEdit()->text().isEmpty());
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_EQ(WaitEnd(cancelled, std::chrono::seconds(10)).state, kTransferStopped);

    const std::int32_t stopped = StartFileInfo("$@");
    ASSERT_NE(WaitForDialog(), nullptr);
    EXPECT_EQ(Manager().StopTransfer(stopped), kManagerOk);
    EXPECT_TRUE(WaitFor([&] { return Frame().Prompter()->Dialog() == nullptr; }));
    EXPECT_EQ(WaitEnd(stopped, std::chrono::seconds(10)).state, kTransferStopped);
    std::string stored;
    EXPECT_FALSE(CPasswordStore::Instance().Get(StoreKey(), stored));
}

// Two logins ask at once: one dialog at a time, the second once the first is answered.
TEST_F(LoginDialogTest, SeveralRequestsWaitTheirTurn) {
    Frame();
    const std::string askPassword = std::string(kFtpTestUser) + ":$@";
    const std::int32_t first = StartFileInfo(askPassword);
    CLoginDialog* dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    const std::int32_t firstRequest = Frame().Prompter()->ShownRequest();
    const std::int32_t second = StartFileInfo(askPassword);
    ASSERT_TRUE(WaitFor([&] { return LogOf(second).find("Need user/pass") != std::string::npos; }))
        << LogOf(second);
    EXPECT_EQ(Frame().Prompter()->ShownRequest(), firstRequest) << "the first keeps its dialog";

    Answer(*dialog, kFtpTestPassword, false);
    ASSERT_TRUE(WaitFor([&] {
        const CCredentialPrompter& prompter = *Frame().Prompter();
        return prompter.Dialog() && prompter.ShownRequest() != firstRequest;
    }));
    Answer(*Frame().Prompter()->Dialog(), kFtpTestPassword, false);
    EXPECT_EQ(WaitEnd(first).result, 0) << LogOf(first);
    EXPECT_EQ(WaitEnd(second).result, 0) << LogOf(second);
}

// The time limit still holds: a request left unanswered past it ends refused, and its dialog
// closes (a broker with a short limit stands for the 60 s one).
TEST_F(LoginDialogTest, ARequestPastItsTimeLimitClosesItsDialog) {
    // Long enough for the dialog to show first even in a slow (sanitizer) build.
    CPromptBroker broker(std::chrono::milliseconds(2000), std::chrono::milliseconds(20));
    broker.SetListener(&port_);
    CCredentialPrompter prompter(broker, CPasswordStore::Instance(), nullptr);
    QObject::connect(&port_, &CQtDesktopPort::credentialsChanged, &prompter,
                     &CCredentialPrompter::Sync);
    std::atomic<bool> answered{true};
    std::atomic<bool> done{false};
    std::thread asker([&] {
        std::atomic<std::int32_t> id{0};
        std::string user = kFtpTestUser;
        std::string password;
        answered = broker.Ask(id, user, password, "ftp://" + Site());
        done = true;
    });
    EXPECT_TRUE(WaitFor([&] { return prompter.Dialog() != nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return done && prompter.Dialog() == nullptr; }));
    asker.join();
    EXPECT_FALSE(answered);
    broker.SetListener(nullptr);
}

}  // namespace
}  // namespace tellweir::testing
