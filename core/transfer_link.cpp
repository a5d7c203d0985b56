// The transfer link to the process's transfer manager.
#include "core/transfer_link.h"

#include <atomic>

#include "transfer/transfer_manager.h"

namespace tellweir {
namespace {

class CManagerLink final : public ITransferLink {
  public:
    void SetTransfersLog(std::span<const std::int32_t> ids, std::int32_t logId) override {
        if (CTransferManager* manager = CTransferManager::Get())
            manager->SetForTransfers(ids, kKindLogId, logId);
    }
    void RemoveTransfers(std::span<const std::int32_t> ids) override {
        if (CTransferManager* manager = CTransferManager::Get()) manager->RemoveTransfers(ids);
    }
};

std::atomic<ITransferLink*> g_installed{nullptr};

}  // namespace

ITransferLink& TransferLink() {
    if (ITransferLink* installed = g_installed.load(std::memory_order_acquire)) return *installed;
    static CManagerLink managerLink;
    return managerLink;
}

void SetTransferLink(ITransferLink* link) {
    g_installed.store(link, std::memory_order_release);
}

}  // namespace tellweir
