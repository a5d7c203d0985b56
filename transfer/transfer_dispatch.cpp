// The transfer manager's placing of transfers: the pump, dispatching within the connection
// limits, the session pool, the run on a worker, and connecting with retries.
#include <algorithm>
#include <unordered_set>

#include "base/ascii_text.h"
#include "base/change_stamp.h"
#include "log/log_registry.h"
#include "log/status_message.h"
#include "store/setting_ids.h"
#include "transfer/request_props.h"
#include "transfer/session_factory.h"
#include "transfer/transfer_manager.h"
#include "transfer/transfer_operation.h"
#include "url/protocol.h"
#include "url/proxy_select.h"

namespace tellweir {

namespace {

constexpr int kMaxSessionsInUse = 200;
constexpr std::uint32_t kAdditionQuietMs = 200;

// The request has no user name, or one that a pooled session of that name may serve.
bool MayReuse(const CTransferSession& session, const CTransferRequest& request,
              const std::string& proxy) {
    if (session.CurrentTransfer() != nullptr) return false;
    if (!EqualsIgnoreAsciiCase(session.ProxyUrl(), proxy)) return false;
    const std::string& user = request.Address().user;
    if (!user.empty()) return user != "$" && EqualsIgnoreAsciiCase(user, session.UserName());
    const std::string& held = session.UserName();
    return held.empty() || EqualsIgnoreAsciiCase(held, "anonymous") ||
           EqualsIgnoreAsciiCase(held, "ftp");
}

bool IsHttpProxy(std::string_view proxy) {
    return StartsWithIgnoreAsciiCase(proxy, "http://");
}

// Whether `notBefore` has come; the tick count may wrap.
bool HasCome(std::uint32_t notBefore, std::uint32_t now) {
    return static_cast<std::int32_t>(now - notBefore) >= 0;
}

}  // namespace

void CTransferManager::Pump() {
    {
        std::lock_guard guard(hookLock_);
        for (IPeriodicHook* hook : hooks_)
            hook->OnPeriodicRefresh();
    }
    desktop_.PeriodicRefresh();
    Lock lock(lock_);
    StopOverdueLocked();
    DispatchLocked();
    // Once a second is enough: a session is checked again before it is reused, and probing
    // every idle connection at each dispatch would cost a system call per session per transfer.
    CleanUpIdleSessionsLocked(settings_.Int(setting::kSessionIdleTime));
}

void CTransferManager::StopOverdueLocked() {
    const std::int64_t now = MonotonicMs();
    for (CTransfer* transfer : lists_[kTransferRunning]) {
        CTransfer::Placement& placement = transfer->placement();
        if (placement.deadlineMs == 0 || now < placement.deadlineMs) continue;
        placement.deadlineMs = 0;
        CTransferSession* session = placement.session;
        // A run stopped by somebody else meanwhile ends as stopped.
        if (session == nullptr || session->IsAborted()) continue;
        transfer->SetTimeLimitReached(true);
        session->Stop();
    }
}

void CTransferManager::DispatchLocked() {
    if (stopping_) return;
    const int limit = std::clamp(settings_.Int(setting::kMaxConnects), 1, kMaxSessionsInUse);
    std::vector<CTransfer*> aside;
    // Sites found at their limit in this pass stay full until it ends: the lock is held.
    std::unordered_set<std::string> fullSites;
    std::list<CTransfer*>& queued = lists_[kTransferQueued];
    for (auto next = queued.begin(); next != queued.end() && sessionsInUse_ < limit;) {
        CTransfer* transfer = *next++;  // moving the transfer leaves `next` valid
        if (!HasCome(transfer->placement().notBefore, TickCountMs())) continue;
        if (fullSites.contains(transfer->SiteAndUser())) continue;
        const TransferResult acquired = AcquireSessionLocked(*transfer);
        if (acquired == result::kNotSupported) {
            if (LogPtr log = logs_.GetLog(transfer->Int(prop::kLogId)))
                log->WriteMessage(kLevelStatus, msg::kNotSupported,
                                  ProtocolPrefix(transfer->Protocol()));
            aside.push_back(transfer);
            continue;
        }
        if (acquired != result::kOk) {
            fullSites.insert(transfer->SiteAndUser());
            continue;
        }
        const std::thread::id worker =
            pool_.RunOnWorker(&CTransferManager::RunThunk, transfer->Id());
        if (worker == std::thread::id()) {
            ReleaseSessionLocked(*transfer);
            QueueLocked(*transfer, settings_.Int(setting::kTimeoutThreading));
            break;
        }
        transfer->placement().worker = worker;
        // The worker takes the manager lock before it runs, so it sees both.
        const std::int32_t timeLimit = settings_.Int(setting::kTransferTimeLimit);
        transfer->placement().deadlineMs =
            timeLimit > 0 ? MonotonicMs() + std::int64_t{timeLimit} * 1000 : 0;
        transfer->SetTimeLimitReached(false);
        MoveToListLocked(*transfer, kTransferRunning);
    }
    for (CTransfer* transfer : aside) {
        transfer->UpdateStatus(
            [](TransferStatus& status) { status.result = result::kNotSupported; });
        MoveToListLocked(*transfer, kTransferStopped);
    }
    if (additions_ > 0 && TickCountMs() - lastAdditionMs_ >= kAdditionQuietMs) {
        additions_ = 0;
        desktop_.TransfersChanged(TransferNotice::Added);
    }
}

TransferResult CTransferManager::AcquireSessionLocked(CTransfer& transfer) {
    CopySettingsIntoRequest(settings_, transfer);
    const std::string proxy = SelectProxy(transfer, transfer.Address(), settings_);
    const ProtocolId protocol = transfer.Protocol();
    if (protocol != ProtocolId::Http && protocol != ProtocolId::Https &&
        protocol != ProtocolId::Ftp)
        return result::kNotSupported;
    const std::string siteKey = transfer.SiteKey();
    auto site = sites_.find(siteKey);
    if (site != sites_.end()) {
        for (const SessionPtr& session : site->second.sessions) {
            if (!MayReuse(*session, transfer, proxy)) continue;
            session->SetCurrentTransfer(&transfer);
            session->SetIdleSince(TickCountMs());
            transfer.placement().session = session.get();
            ++site->second.inUse;
            ++sessionsInUse_;
            return result::kOk;
        }
        const int siteLimit = std::max(transfer.Int(prop::kSiteLimit), 1);
        if (site->second.inUse >= siteLimit) return result::kNoMoreHandles;
        if (site->second.inUse > 0 && transfer.TestBit(prop::kFlags, prop::kFlagSiteExclusive))
            return result::kNoMoreHandles;
    }
    const bool viaHttpProxy = protocol == ProtocolId::Ftp && IsHttpProxy(proxy);
    const SessionFactory factory = FindSessionFactory(viaHttpProxy ? ProtocolId::Http : protocol);
    if (!factory) return result::kNotSupported;
    SessionPtr session = factory(SessionParams{siteKey, transfer.Address().user, proxy});
    if (!session) return result::kNotSupported;
    session->SetLogId(logs_.CreateLog());
    session->SetCurrentTransfer(&transfer);
    session->SetIdleSince(TickCountMs());
    transfer.placement().session = session.get();
    SiteEntry& entry = sites_[siteKey];
    entry.sessions.push_back(std::move(session));
    ++entry.inUse;
    ++sessionsOpen_;
    ++sessionsInUse_;
    return result::kOk;
}

void CTransferManager::ReleaseSessionLocked(CTransfer& transfer) {
    CTransferSession* session = transfer.placement().session;
    if (session == nullptr) return;
    session->SetCurrentTransfer(nullptr);
    transfer.placement().session = nullptr;
    auto site = sites_.find(session->SiteKey());
    if (site == sites_.end()) return;
    --site->second.inUse;
    --sessionsInUse_;
    if (session->IsConnected()) {
        session->ClearAbort();
        session->SetIdleSince(TickCountMs());
        return;
    }
    for (const SessionPtr& pooled : site->second.sessions)
        if (pooled.get() == session) {
            DestroySessionLocked(pooled);
            break;
        }
}

void CTransferManager::DestroySessionLocked(const SessionPtr& session) {
    const SessionPtr keep = session;  // `session` may refer into the array it is erased from
    auto site = sites_.find(keep->SiteKey());
    if (site != sites_.end()) {
        std::erase_if(site->second.sessions,
                      [&keep](const SessionPtr& s) { return s.get() == keep.get(); });
        if (site->second.sessions.empty()) sites_.erase(site);
    }
    --sessionsOpen_;
    keep->Close();
    logs_.DeleteLog(keep->LogId());
}

void CTransferManager::CleanUpIdleSessionsLocked(std::int32_t idleSeconds) {
    std::vector<SessionPtr> doomed;
    const std::uint32_t now = TickCountMs();
    for (auto& [key, site] : sites_) {
        for (const SessionPtr& session : site.sessions) {
            if (session->CurrentTransfer() != nullptr) continue;
            session->CheckAlive();
            // The setting counts in seconds here, as stored.
            const std::int64_t idle = (now - session->IdleSince()) / 1000;
            if (!session->IsConnected() || idle >= idleSeconds) doomed.push_back(session);
        }
    }
    for (const SessionPtr& session : doomed)
        DestroySessionLocked(session);
}

void CTransferManager::RunThunk(std::int32_t transferId) {
    if (CTransferManager* manager = Get()) manager->RunOnWorker(transferId);
}

void CTransferManager::RunOnWorker(std::int32_t transferId) {
    CTransfer* transfer;
    CTransferSession* session;
    {
        Lock lock(lock_);
        transfer = FindLocked(transferId);
        if (transfer == nullptr || transfer->placement().list != kTransferRunning) return;
        session = transfer->placement().session;
    }
    // Removing a running transfer waits for this run, so both stay alive without the lock.
    const TransferState next = RunTransfer(*transfer, *session, *this);
    Lock lock(lock_);
    transfer->placement().worker = std::thread::id();
    ReleaseSessionLocked(*transfer);
    MoveToListLocked(*transfer, next);
    if (transfer->GetStatus().result != result::kStopped) DispatchLocked();
}

TransferResult ConnectWithRetries(CTransferSession& session, CTransfer& transfer, ILog* log) {
    const std::int32_t retries = transfer.Int(prop::kConnectRetries);
    for (std::int32_t attempt = 0;; ++attempt) {
        if (attempt > 0 && log) log->WriteMessage(kLevelStatus, msg::kRetryFrom, attempt, retries);
        TransferResult connected = session.Connect(transfer, log);
        if (session.IsAborted()) connected = result::kStopped;
        if (IsRetryableResult(connected) && attempt + 1 <= retries) {
            const std::int32_t delay = transfer.Int(prop::kConnectDelay);
            if (log) log->WriteMessage(kLevelStatus, msg::kWaitingSeconds, delay);
            if (!session.WaitUnlessAborted(delay)) return result::kStopped;
            continue;
        }
        if (connected != result::kOk && connected != result::kStopped && log)
            log->WriteMessage(kLevelError, msg::kConnectionFailed);
        return connected;
    }
}

}  // namespace tellweir
