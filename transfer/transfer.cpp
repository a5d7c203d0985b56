// The transfer record: status changes under the transfer's own lock, with change stamps.
#include "transfer/transfer.h"

#include "base/change_stamp.h"

namespace tellweir {

CTransfer::CTransfer(std::int32_t id, const CTransferRequest& request, ITransferWatcher* watcher)
    : CTransferRequest(Locking::ThreadSafe), id_(id), watcher_(watcher) {
    Assign(request);
    RefreshSiteAndUser();
}

void CTransfer::RefreshSiteAndUser() {
    siteAndUser_ = SiteKey() + '\n' + Address().user;
}

TransferStatus CTransfer::GetStatus() const {
    std::lock_guard guard(statusLock_);
    return status_;
}

std::uint32_t CTransfer::GetChangeStamp() const {
    std::lock_guard guard(statusLock_);
    return changeStamp_;
}

void CTransfer::UpdateStatus(const std::function<void(TransferStatus&)>& change) {
    {
        std::lock_guard guard(statusLock_);
        change(status_);
        changeStamp_ = NextChangeStamp(changeStamp_);
    }
    if (watcher_ != nullptr && IsWatched()) watcher_->OnWatchedTransferChanged(*this);
}

}  // namespace tellweir
