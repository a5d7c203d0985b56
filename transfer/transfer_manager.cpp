// The transfer manager: creation and shutdown, and the operations callers use on transfers.
#include "transfer/transfer_manager.h"

#include <algorithm>
#include <atomic>
#include <ctime>

#include "base/change_stamp.h"
#include "base/id_counter.h"
#include "log/log_registry.h"
#include "store/app_identity.h"
#include "store/app_settings.h"
#include "transfer/prompt_broker.h"
#include "transfer/request_props.h"

namespace tellweir {

namespace {

std::atomic<CTransferManager*> g_manager{nullptr};

std::mutex g_lifecycle;

constexpr std::chrono::milliseconds kWaitStep{100};
constexpr std::chrono::milliseconds kPollStep{25};

bool IsBusyState(TransferState state) {
    return state == kTransferQueued || state == kTransferRunning;
}

}  // namespace

std::string DefaultInfoCachePath() {
    std::string path;
    if (!CAppIdentity::Instance().GetDataFilePath("InfoCache.txt", false, path)) return {};
    return path;
}

CTransferManager* CTransferManager::Get() {
    return g_manager.load();
}

CTransferManager& CTransferManager::Create(const TransferManagerOptions& options) {
    std::lock_guard guard(g_lifecycle);
    if (CTransferManager* existing = g_manager.load()) return *existing;
    auto* manager = new CTransferManager(options);
    g_manager.store(manager);
    manager->Start();
    return *manager;
}

void CTransferManager::Shutdown() {
    std::lock_guard guard(g_lifecycle);
    CTransferManager* manager = g_manager.load();
    if (manager == nullptr) return;
    manager->Stop();
    g_manager.store(nullptr);
    delete manager;
}

CTransferManager::CTransferManager(const TransferManagerOptions& options)
    : settings_(options.settings ? *options.settings : AppSettings()),
      logs_(options.logs ? *options.logs : CLogRegistry::Instance()),
      infoCachePath_(options.infoCachePath),
      pool_(options.workerIdleTime),
      desktop_(options.desktop ? *options.desktop : NoDesktop()) {}

CTransferManager::~CTransferManager() {
    // Stop() has ended every run; what is left only needs closing.
    Lock lock(lock_);
    for (auto& [id, transfer] : transfers_)
        logs_.DeleteLog(transfer->Int(prop::kLogId));
    transfers_.clear();
    for (auto& list : lists_)
        list.clear();
    std::vector<SessionPtr> sessions;
    for (auto& [key, site] : sites_)
        sessions.insert(sessions.end(), site.sessions.begin(), site.sessions.end());
    sites_.clear();
    for (const SessionPtr& session : sessions) {
        session->Close();
        logs_.DeleteLog(session->LogId());
    }
}

void CTransferManager::Start() {
    if (pumpEntry_ != 0) return;
    if (!infoCachePath_.empty()) infoCache_.Load(infoCachePath_);
    // A worker that asks for credentials reaches the windows through the broker.
    if (&desktop_ != &NoDesktop()) CPromptBroker::Instance().SetListener(&desktop_);
    pool_.Start();
    scheduler_.Start();
    auto* pump = new CCVoidFuncTask(&CTransferManager::PumpThunk, 0, true);
    pumpEntry_ = scheduler_.Add(pump, std::time(nullptr) + 1, -1, 1, kUnitPlainSeconds);
}

void CTransferManager::Stop() {
    if (pumpEntry_ == 0) return;
    // Runs end normally before the pool stops, so that no assigned run is dropped and left
    // marked as running.
    {
        Lock lock(lock_);
        stopping_ = true;
    }
    scheduler_.Stop();
    pumpEntry_ = 0;
    {
        Lock lock(lock_);
        for (TransferState state : {kTransferQueued, kTransferRunning}) {
            const std::list<CTransfer*> list = lists_[state];
            for (CTransfer* transfer : list)
                StopOneLocked(*transfer);
        }
        while (!lists_[kTransferRunning].empty())
            runEnded_.wait_for(lock, kWaitStep);
    }
    pool_.StopAndWait();
    if (&desktop_ != &NoDesktop()) CPromptBroker::Instance().SetListener(nullptr);
    if (!infoCachePath_.empty()) infoCache_.Save(infoCachePath_);
}

std::int32_t CTransferManager::PumpThunk(std::int32_t) {
    if (CTransferManager* manager = Get()) manager->Pump();
    return 0;
}

CTransfer* CTransferManager::FindLocked(std::int32_t id) const {
    const auto found = transfers_.find(id);
    return found == transfers_.end() ? nullptr : found->second.get();
}

void CTransferManager::MoveToListLocked(CTransfer& transfer, TransferState list) {
    CTransfer::Placement& placement = transfer.placement();
    lists_[placement.list].erase(placement.position);
    lists_[list].push_back(&transfer);
    placement.list = list;
    placement.position = std::prev(lists_[list].end());
    transfer.UpdateStatus([list](TransferStatus& status) { status.state = list; });
    runEnded_.notify_all();
}

bool CTransferManager::QueueLocked(CTransfer& transfer, std::uint32_t delayMs) {
    if (transfer.placement().list == kTransferRunning) return false;
    transfer.placement().notBefore = TickCountMs() + delayMs;
    MoveToListLocked(transfer, kTransferQueued);
    return true;
}

void CTransferManager::StopOneLocked(CTransfer& transfer) {
    switch (transfer.placement().list) {
        case kTransferRunning:
            if (transfer.placement().session) transfer.placement().session->Stop();
            break;
        case kTransferQueued:
            transfer.UpdateStatus([](TransferStatus& status) { status.result = result::kStopped; });
            MoveToListLocked(transfer, kTransferStopped);
            break;
        case kTransferStopped:
            if (transfer.GetStatus().result == result::kOk)
                transfer.UpdateStatus(
                    [](TransferStatus& status) { status.result = result::kStopped; });
            break;
        default:
            break;
    }
}

void CTransferManager::WaitWhileRunning(Lock& lock, std::int32_t id) {
    for (;;) {
        CTransfer* transfer = FindLocked(id);
        if (transfer == nullptr || transfer->placement().list != kTransferRunning) return;
        runEnded_.wait_for(lock, kWaitStep);
    }
}

void CTransferManager::DeleteTransferLocked(CTransfer& transfer) {
    transfer.SetWatched(false);
    lists_[transfer.placement().list].erase(transfer.placement().position);
    logs_.DeleteLog(transfer.Int(prop::kLogId));
    lastRemoved_ = transfer.Id();
    transfers_.erase(transfer.Id());
}

bool CTransferManager::IsBusyLocked(std::int32_t id) const {
    const CTransfer* transfer = FindLocked(id);
    return transfer != nullptr && IsBusyState(transfer->placement().list);
}

void CTransferManager::OnWatchedTransferChanged(CTransfer&) {
    desktop_.TransfersChanged(TransferNotice::Changed);
}

ManagerCode CTransferManager::AddTransfer(const CTransferRequest& request, std::int32_t& id,
                                          bool start) {
    Lock lock(lock_);
    id = TransferIds().Next();
    auto owned = std::make_unique<CTransfer>(id, request, static_cast<ITransferWatcher*>(this));
    CTransfer& transfer = *owned;
    const std::int32_t logId = transfer.Int(prop::kLogId);
    if (logId != 0 && logId != -1)
        logs_.GetLog(logId);  // makes the log when none has that id
    else
        transfer.SetInt(prop::kLogId, logs_.CreateLog());
    lists_[kTransferNew].push_back(&transfer);
    transfer.placement().position = std::prev(lists_[kTransferNew].end());
    transfers_.emplace(id, std::move(owned));
    lastAdded_ = id;
    if (start && QueueLocked(transfer, 0)) DispatchLocked();
    ++additions_;
    lastAdditionMs_ = TickCountMs();
    return kManagerOk;
}

ManagerCode CTransferManager::RemoveTransfer(std::int32_t id) {
    int result = kManagerUnknownId;
    (void)RemoveTransfers(std::span(&id, 1), std::span(&result, 1));  // the batch is always Ok
    return static_cast<ManagerCode>(result);
}

ManagerCode CTransferManager::StopTransfer(std::int32_t id) {
    int result = kManagerUnknownId;
    (void)StopTransfers(std::span(&id, 1), std::span(&result, 1));  // the batch is always Ok
    return static_cast<ManagerCode>(result);
}

ManagerCode CTransferManager::StartTransfer(std::int32_t id) {
    int result = kManagerUnknownId;
    (void)StartTransfers(std::span(&id, 1), std::span(&result, 1));  // the batch is always Ok
    return result == kManagerRunning ? kManagerBusy : static_cast<ManagerCode>(result);
}

ManagerCode CTransferManager::StopTransfers(std::span<const std::int32_t> ids,
                                            std::span<int> results) {
    Lock lock(lock_);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        CTransfer* transfer = FindLocked(ids[i]);
        if (transfer) StopOneLocked(*transfer);
        if (i < results.size()) results[i] = transfer ? kManagerOk : kManagerUnknownId;
    }
    for (std::int32_t id : ids)
        WaitWhileRunning(lock, id);
    return kManagerOk;
}

ManagerCode CTransferManager::RemoveTransfers(std::span<const std::int32_t> ids,
                                              std::span<int> results) {
    (void)StopTransfers(ids);  // per-transfer codes come from the removal below
    {
        Lock lock(lock_);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            CTransfer* transfer = FindLocked(ids[i]);
            // A transfer started again by another thread meanwhile is stopped once more.
            if (transfer && transfer->placement().list == kTransferRunning) {
                StopOneLocked(*transfer);
                WaitWhileRunning(lock, ids[i]);
                transfer = FindLocked(ids[i]);
            }
            if (transfer) DeleteTransferLocked(*transfer);
            if (i < results.size()) results[i] = transfer ? kManagerOk : kManagerUnknownId;
        }
    }
    desktop_.TransfersChanged(TransferNotice::Removed);
    return kManagerOk;
}

ManagerCode CTransferManager::StartTransfers(std::span<const std::int32_t> ids,
                                             std::span<int> results) {
    Lock lock(lock_);
    bool queued = false;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        CTransfer* transfer = FindLocked(ids[i]);
        int outcome = kManagerUnknownId;
        if (transfer && transfer->placement().list == kTransferRunning) {
            outcome = kManagerRunning;
        } else if (transfer) {
            if (transfer->placement().list == kTransferFinished)
                MoveToListLocked(*transfer, kTransferStopped);
            QueueLocked(*transfer, 0);
            queued = true;
            outcome = kManagerOk;
        }
        if (i < results.size()) results[i] = outcome;
    }
    if (queued) DispatchLocked();
    return kManagerOk;
}

ManagerCode CTransferManager::WaitTransfer(std::int32_t id, TransferStatus& status,
                                           std::int32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Lock lock(lock_);
    for (;;) {
        CTransfer* transfer = FindLocked(id);
        if (transfer == nullptr) return kManagerUnknownId;
        status = transfer->GetStatus();
        if (!IsBusyState(transfer->placement().list)) return kManagerOk;
        if (timeoutMs == 0 || (timeoutMs > 0 && std::chrono::steady_clock::now() >= deadline))
            return kManagerBusy;
        runEnded_.wait_for(lock, kPollStep);
    }
}

ManagerCode CTransferManager::WaitTransfers(std::span<const std::int32_t> ids,
                                            std::int32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Lock lock(lock_);
    for (;;) {
        const auto busy = std::count_if(ids.begin(), ids.end(),
                                        [this](std::int32_t id) { return IsBusyLocked(id); });
        if (busy == 0) return kManagerOk;
        if (timeoutMs == -2 && static_cast<std::size_t>(busy) < ids.size()) return kManagerOk;
        if (timeoutMs == 0 || (timeoutMs > 0 && std::chrono::steady_clock::now() >= deadline))
            return kManagerBusy;
        runEnded_.wait_for(lock, kPollStep);
    }
}

ManagerCode CTransferManager::GetStatus(std::int32_t id, TransferStatus& status) {
    Lock lock(lock_);
    const CTransfer* transfer = FindLocked(id);
    if (transfer == nullptr) return kManagerUnknownId;
    status = transfer->GetStatus();
    return kManagerOk;
}

ManagerCode CTransferManager::GetRequest(std::int32_t id, CTransferRequest& request) {
    Lock lock(lock_);
    const CTransfer* transfer = FindLocked(id);
    if (transfer == nullptr) return kManagerUnknownId;
    request.Assign(*transfer);
    return kManagerOk;
}

ManagerCode CTransferManager::GetRequestAndStatus(std::int32_t id, CTransferRequest& request,
                                                  TransferStatus& status) {
    Lock lock(lock_);
    const CTransfer* transfer = FindLocked(id);
    if (transfer == nullptr) return kManagerUnknownId;
    request.Assign(*transfer);
    status = transfer->GetStatus();
    return kManagerOk;
}

ManagerCode CTransferManager::SetRequest(std::int32_t id, const CTransferRequest& request) {
    Lock lock(lock_);
    CTransfer* transfer = FindLocked(id);
    if (transfer == nullptr) return kManagerUnknownId;
    if (transfer->placement().list == kTransferRunning) return kManagerBusy;
    const std::int32_t logId = transfer->Int(prop::kLogId);
    transfer->Assign(request);
    transfer->SetInt(prop::kLogId, logId);
    transfer->RefreshSiteAndUser();
    return kManagerOk;
}

ManagerCode CTransferManager::QueryTransfers(std::span<const std::int32_t> ids, int kind,
                                             std::span<std::int32_t> values) {
    Lock lock(lock_);
    if (ids.size() == 1 && ids[0] == kPseudoTransferId && !values.empty()) {
        values[0] = kind == kKindExists ? lastAdded_ : kind == kKindLogId ? lastRemoved_ : 0;
        return kManagerOk;
    }
    for (std::size_t i = 0; i < ids.size() && i < values.size(); ++i) {
        const CTransfer* transfer = FindLocked(ids[i]);
        if (kind == kKindExists)
            values[i] = transfer ? 1 : 0;
        else if (kind == kKindLogId)
            values[i] = transfer ? transfer->Int(prop::kLogId) : 0;
        else
            values[i] = 0;
    }
    return kManagerOk;
}

ManagerCode CTransferManager::SetForTransfers(std::span<const std::int32_t> ids, int kind,
                                              std::int32_t value) {
    std::vector<std::int32_t> values(ids.size(), value);
    return SetEachTransfer(ids, kind, values);
}

ManagerCode CTransferManager::SetEachTransfer(std::span<const std::int32_t> ids, int kind,
                                              std::span<std::int32_t> values) {
    Lock lock(lock_);
    std::size_t first = 0;
    if (!ids.empty() && ids[0] == kPseudoTransferId) {
        if (kind == kKindWatched && !values.empty())
            for (auto& [id, transfer] : transfers_)
                transfer->SetWatched(values[0] != 0);
        first = 1;
    }
    for (std::size_t i = first; i < ids.size() && i < values.size(); ++i) {
        CTransfer* transfer = FindLocked(ids[i]);
        if (transfer == nullptr) {
            values[i] = -1;
        } else if (kind == kKindLogId) {
            transfer->SetInt(prop::kLogId, values[i]);
        } else if (kind == kKindWatched) {
            transfer->SetWatched(values[i] != 0);
        }
    }
    return kManagerOk;
}

ManagerCode CTransferManager::GetTransferText(std::int32_t id, std::int32_t, std::string& text) {
    text.clear();
    return TransferExists(id);
}

ManagerCode CTransferManager::TransferExists(std::int32_t id) {
    Lock lock(lock_);
    return FindLocked(id) ? kManagerOk : kManagerUnknownId;
}

ManagerCode CTransferManager::ListTransfersAfter(std::int32_t id, std::vector<std::int32_t>& ids) {
    Lock lock(lock_);
    ids.clear();
    if (id == -1) return kManagerOk;
    for (auto it = transfers_.upper_bound(id); it != transfers_.end(); ++it)
        ids.push_back(it->first);
    return kManagerOk;
}

ManagerCode CTransferManager::ListChangedSince(std::vector<std::int32_t>& ids,
                                               std::uint32_t stamp) {
    Lock lock(lock_);
    ids.clear();
    for (const auto& [id, transfer] : transfers_)
        if (transfer->IsWatched() && transfer->GetChangeStamp() > stamp) ids.push_back(id);
    return kManagerOk;
}

ManagerCode CTransferManager::WatchTransfers(std::span<std::int32_t> ids, bool watched) {
    Lock lock(lock_);
    for (std::int32_t& id : ids) {
        CTransfer* transfer = FindLocked(id);
        if (transfer)
            transfer->SetWatched(watched);
        else
            id = 0;
    }
    return kManagerOk;
}

void CTransferManager::RegisterPeriodicHook(IPeriodicHook* hook) {
    std::lock_guard guard(hookLock_);
    hooks_.push_back(hook);
}

void CTransferManager::UnregisterPeriodicHook(IPeriodicHook* hook) {
    std::lock_guard guard(hookLock_);
    std::erase(hooks_, hook);
}

CTransferManager::SessionCounts CTransferManager::GetSessionCounts() {
    Lock lock(lock_);
    return SessionCounts{sessionsOpen_, sessionsInUse_};
}

}  // namespace tellweir
