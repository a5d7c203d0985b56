// The transfer link to a transfer manager.
#include "core/transfer_link.h"

#include "transfer/request_props.h"
#include "transfer/transfer_manager.h"

namespace tellweir {

bool CManagerLink::StartTransfer(const CTransferRequest& request, std::int32_t logId,
                                 std::int32_t& id) {
    CTransferManager* manager = manager_.load();
    id = 0;
    if (manager == nullptr) return false;
    // The transfer is added with the run's log already set: a request without one would get a
    // log of its own, which nothing deletes once the run moves the transfer onto its log.
    CTransferRequest withLog(request);
    withLog.SetInt(prop::kLogId, logId);
    if (manager->AddTransfer(withLog, id, false) != kManagerOk) return false;
    // It cannot fail for the transfer just added; what happens to it the polls report.
    (void)manager->StartTransfer(id);
    return true;
}

bool CManagerLink::GetStatus(std::int32_t id, TransferStatus& status) {
    CTransferManager* manager = manager_.load();
    return manager != nullptr && id != 0 && manager->GetStatus(id, status) == kManagerOk;
}

bool CManagerLink::GetRequest(std::int32_t id, CTransferRequest& request) {
    CTransferManager* manager = manager_.load();
    return manager != nullptr && manager->GetRequest(id, request) == kManagerOk;
}

void CManagerLink::SetTransfersLog(std::span<const std::int32_t> ids, std::int32_t logId) {
    if (CTransferManager* manager = manager_.load())
        (void)manager->SetForTransfers(ids, kKindLogId, logId);  // gone ones need no log
}

void CManagerLink::RemoveTransfers(std::span<const std::int32_t> ids) {
    // Ids already gone are what removal wants; the batch itself always succeeds.
    if (CTransferManager* manager = manager_.load()) (void)manager->RemoveTransfers(ids);
}

}  // namespace tellweir
