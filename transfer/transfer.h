// CTransfer: one transfer of the transfer manager — a thread-safe copy of the caller's request,
// its status record and the bookkeeping the manager keeps for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "base/ref_ptr.h"
#include "transfer/transfer_request.h"
#include "transfer/transfer_status.h"

namespace tellweir {

class CTransfer;
class CTransferSession;

// Told of every status change of a watched transfer, on the thread that made it, with no lock
// of the transfer held.
class ITransferWatcher {
  public:
    virtual void OnWatchedTransferChanged(CTransfer& transfer) = 0;

  protected:
    ~ITransferWatcher() = default;
};

class CTransfer final : public CTransferRequest {
  public:
    CTransfer(std::int32_t id, const CTransferRequest& request, ITransferWatcher* watcher);
    CTransfer(const CTransfer&) = delete;
    CTransfer& operator=(const CTransfer&) = delete;

    std::int32_t Id() const { return id_; }
    // The site key and user name, kept from the last time the address was set, so that a
    // dispatch can tell transfers of a full site apart without composing URLs.
    const std::string& SiteAndUser() const { return siteAndUser_; }
    void RefreshSiteAndUser();

    // The status, copied under the transfer's lock.
    TransferStatus GetStatus() const;
    std::uint32_t GetChangeStamp() const;
    // Changes the status under the transfer's lock, moves the change stamp on, and tells the
    // watcher when the transfer is watched.
    void UpdateStatus(const std::function<void(TransferStatus&)>& change);

    // The manager's bookkeeping, guarded by the manager's lock (the watched flag is also read
    // by workers, hence atomic).
    struct Placement {
        TransferState list = kTransferNew;
        std::list<CTransfer*>::iterator position;
        std::uint32_t notBefore = 0;  // process milliseconds
        CTransferSession* session = nullptr;
        std::thread::id worker;
        // When the running run is stopped for "Connections/Transfer Time Limit" (MonotonicMs);
        // 0 none.
        std::int64_t deadlineMs = 0;
    };
    Placement& placement() { return placement_; }
    const Placement& placement() const { return placement_; }
    bool IsWatched() const { return watched_.load(); }
    void SetWatched(bool watched) { watched_.store(watched); }
    // Set by the manager when it stops a run that outlasted the transfer time limit, so that
    // the run ends with the time-out result rather than as stopped; cleared as a run starts.
    bool TimeLimitReached() const { return timeLimitReached_.load(); }
    void SetTimeLimitReached(bool reached) { timeLimitReached_.store(reached); }

  private:
    const std::int32_t id_;
    ITransferWatcher* const watcher_;
    mutable std::mutex statusLock_;
    TransferStatus status_;
    std::uint32_t changeStamp_ = 0;
    std::atomic<bool> watched_{false};
    std::atomic<bool> timeLimitReached_{false};
    Placement placement_;
    std::string siteAndUser_;
};

}  // namespace tellweir
