// The session base: the flags every protocol session shares, the credential prompt and the
// local steps.
#include "transfer/transfer_session.h"

#include <chrono>
#include <thread>

#include "base/id_counter.h"
#include "log/status_message.h"
#include "transfer/local_steps.h"
#include "transfer/prompt_broker.h"
#include "transfer/transfer.h"

namespace tellweir {

namespace {

CIdCounter& SessionIds() {
    static CIdCounter counter(1);
    return counter;
}

}  // namespace

CTransferSession::CTransferSession(const SessionParams& params)
    : id_(SessionIds().Next()), params_(params) {}

CTransferSession::~CTransferSession() = default;

void CTransferSession::Close() {
    CancelPrompt();
}

void CTransferSession::Stop() {
    aborted_.store(true);
    CancelPrompt();
    Interrupt();
}

void CTransferSession::CancelPrompt() {
    const std::int32_t id = pendingPrompt_.load();
    if (id != 0) CPromptBroker::Instance().Cancel(id);
}

TransferResult CTransferSession::PrepareTargetDir(std::string_view targetPath, ILog* log) {
    return tellweir::PrepareTargetDir(targetPath, log);
}

TransferResult CTransferSession::LocalFileInfo(CTransfer& transfer, ILog* log) {
    return tellweir::LocalFileInfo(transfer, log);
}

TransferResult CTransferSession::PromptCredentials(std::string_view text, std::string& userName,
                                                   std::string& password, ILog* log) {
    if (log) log->Write(kLevelStatus, "Need user/pass - prompting...");
    // A stop that came before the prompt was registered would not cancel it.
    const bool answered =
        !IsAborted() && CPromptBroker::Instance().Ask(pendingPrompt_, userName, password, text);
    if (answered) {
        if (log) log->WriteFormat(kLevelStatus, "Prompt complete: user:%s, pass:****.", userName);
        return result::kOk;
    }
    if (log) log->Write(kLevelStatus, "Prompt canceled.");
    return result::kStopped;
}

bool CTransferSession::WaitUnlessAborted(std::int32_t seconds) {
    for (std::int64_t step = 0; step < std::int64_t{seconds} * 10; ++step) {
        if (IsAborted()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return !IsAborted();
}

}  // namespace tellweir
