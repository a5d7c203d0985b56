// CTransferManager: the one object of the process that runs transfers. It keeps every transfer
// in one of five state lists, places queued transfers on protocol sessions within the global and
// per-site connection limits (reusing idle sessions to the same site), runs each on a worker
// thread, pumps once a second, and owns the info cache.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "port/desktop_port.h"
#include "store/property_set.h"
#include "transfer/info_cache.h"
#include "transfer/periodic_hook.h"
#include "transfer/task_scheduler.h"
#include "transfer/transfer.h"
#include "transfer/transfer_session.h"
#include "transfer/worker_pool.h"

namespace tellweir {

class CLogRegistry;

struct TransferManagerOptions {
    CPropertySet* settings = nullptr;  // null: the application settings
    CLogRegistry* logs = nullptr;      // null: the process's log registry
    // Loaded at creation and saved at shutdown; empty: the cache lives in memory only.
    std::string infoCachePath;
    std::chrono::milliseconds workerIdleTime = CWorkerPool::kDefaultIdleTime;
    // Told of added, removed and changed transfers, of credentials requests and of each pump;
    // null: nobody (no window). It must outlive the manager.
    IDesktopPort* desktop = nullptr;
};

// "InfoCache.txt" in the user's data folder; empty when there is no data folder.
std::string DefaultInfoCachePath();

// Codes of the manager's operations.
// [[nodiscard]] on the type: every operation's code must be looked at or dropped on purpose.
enum [[nodiscard]] ManagerCode : int{
    kManagerOk = 0,
    kManagerUnknownId = 1,
    kManagerBusy = 2,  // running, or a wait timed out
    kManagerRunning = 3,
};

// Kinds of SetForTransfers and of QueryTransfers.
inline constexpr int kKindExists = 0;
inline constexpr int kKindLogId = 1;
inline constexpr int kKindWatched = 2;
// The pseudo id of QueryTransfers and SetForTransfers.
inline constexpr std::int32_t kPseudoTransferId = 1;

class CTransferManager final : private ITransferWatcher {
  public:
    // The running manager, or null.
    static CTransferManager* Get();
    // Makes and starts the manager unless one exists: loads the info cache, starts the worker
    // pool, the scheduler and the once-a-second pump.
    static CTransferManager& Create(const TransferManagerOptions& options = {});
    // Stops every transfer and waits for the runs to end, stops the workers and the pump, saves
    // the info cache, then deletes all transfers, sessions and the manager. Never call it from
    // a worker or from a desktop port call.
    static void Shutdown();

    ManagerCode AddTransfer(const CTransferRequest& request, std::int32_t& id, bool start);
    ManagerCode RemoveTransfer(std::int32_t id);
    ManagerCode StopTransfer(std::int32_t id);
    ManagerCode StartTransfer(std::int32_t id);
    ManagerCode RemoveTransfers(std::span<const std::int32_t> ids, std::span<int> results = {});
    ManagerCode StopTransfers(std::span<const std::int32_t> ids, std::span<int> results = {});
    ManagerCode StartTransfers(std::span<const std::int32_t> ids, std::span<int> results = {});
    // Time-outs in milliseconds: 0 one look, negative no limit.
    ManagerCode WaitTransfer(std::int32_t id, TransferStatus& status, std::int32_t timeoutMs);
    // As WaitTransfer for all the ids; -2 returns as soon as one of them has ended.
    ManagerCode WaitTransfers(std::span<const std::int32_t> ids, std::int32_t timeoutMs);
    ManagerCode GetStatus(std::int32_t id, TransferStatus& status);
    ManagerCode GetRequest(std::int32_t id, CTransferRequest& request);
    ManagerCode GetRequestAndStatus(std::int32_t id, CTransferRequest& request,
                                    TransferStatus& status);
    ManagerCode SetRequest(std::int32_t id, const CTransferRequest& request);
    ManagerCode QueryTransfers(std::span<const std::int32_t> ids, int kind,
                               std::span<std::int32_t> values);
    ManagerCode SetForTransfers(std::span<const std::int32_t> ids, int kind, std::int32_t value);
    ManagerCode SetEachTransfer(std::span<const std::int32_t> ids, int kind,
                                std::span<std::int32_t> values);
    ManagerCode GetTransferText(std::int32_t id, std::int32_t ignored, std::string& text);
    ManagerCode TransferExists(std::int32_t id);
    ManagerCode ListTransfersAfter(std::int32_t id, std::vector<std::int32_t>& ids);
    ManagerCode ListChangedSince(std::vector<std::int32_t>& ids, std::uint32_t stamp);
    ManagerCode WatchTransfers(std::span<std::int32_t> ids, bool watched);

    // Objects refreshed by the pump once a second. Unregistering waits for a refresh under way.
    void RegisterPeriodicHook(IPeriodicHook* hook);
    void UnregisterPeriodicHook(IPeriodicHook* hook);

    // One pass of the pump: the periodic hooks, stopping runs past the transfer time limit,
    // then a dispatch. Runs once a second on the scheduler thread; tests call it directly.
    void Pump();

    CInfoCache& InfoCache() { return infoCache_; }
    const CPropertySet& Settings() const { return settings_; }
    CLogRegistry& Logs() { return logs_; }

    struct SessionCounts {
        int open = 0;
        int inUse = 0;
    };
    SessionCounts GetSessionCounts();

  private:
    struct SiteEntry {
        std::vector<SessionPtr> sessions;
        int inUse = 0;
    };
    using Lock = std::unique_lock<std::mutex>;

    explicit CTransferManager(const TransferManagerOptions& options);
    ~CTransferManager();
    void Start();
    void Stop();

    static std::int32_t PumpThunk(std::int32_t);
    static void RunThunk(std::int32_t transferId);
    void RunOnWorker(std::int32_t transferId);
    void OnWatchedTransferChanged(CTransfer& transfer) override;

    CTransfer* FindLocked(std::int32_t id) const;
    void MoveToListLocked(CTransfer& transfer, TransferState list);
    bool QueueLocked(CTransfer& transfer, std::uint32_t delayMs);
    void StopOneLocked(CTransfer& transfer);
    void WaitWhileRunning(Lock& lock, std::int32_t id);
    void DeleteTransferLocked(CTransfer& transfer);
    void DispatchLocked();
    // Stops the runs that outlasted the transfer time limit (their deadline has come).
    void StopOverdueLocked();
    [[nodiscard]] TransferResult AcquireSessionLocked(CTransfer& transfer);
    void ReleaseSessionLocked(CTransfer& transfer);
    void DestroySessionLocked(const SessionPtr& session);
    void CleanUpIdleSessionsLocked(std::int32_t idleSeconds);
    bool IsBusyLocked(std::int32_t id) const;

    CPropertySet& settings_;
    CLogRegistry& logs_;
    const std::string infoCachePath_;
    CInfoCache infoCache_;
    CWorkerPool pool_;
    CTaskScheduler scheduler_;
    std::int32_t pumpEntry_ = 0;

    std::mutex lock_;  // the manager lock: transfers, lists, sessions
    std::condition_variable runEnded_;
    std::map<std::int32_t, std::unique_ptr<CTransfer>> transfers_;
    std::list<CTransfer*> lists_[kTransferStateCount];
    std::map<std::string, SiteEntry> sites_;
    int sessionsOpen_ = 0;
    int sessionsInUse_ = 0;
    bool stopping_ = false;
    std::int32_t lastAdded_ = 0;
    std::int32_t lastRemoved_ = 0;
    int additions_ = 0;
    std::uint32_t lastAdditionMs_ = 0;

    IDesktopPort& desktop_;

    std::mutex hookLock_;
    std::vector<IPeriodicHook*> hooks_;
};

// Connects the session for the transfer, repeating failed connection attempts as the transfer's
// retry properties say; 3 when the session is stopped.
[[nodiscard]] TransferResult ConnectWithRetries(CTransferSession& session, CTransfer& transfer,
                                                ILog* log);

}  // namespace tellweir
