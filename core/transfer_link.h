// ITransferLink: the transfer-manager calls that task runs and stopped or deleted tasks make.
// The engine is given one when it is created and hands it to its tasks, so that task tests can
// see the calls without running a manager.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "transfer/transfer_request.h"
#include "transfer/transfer_status.h"

namespace tellweir {

class CTransferManager;

class ITransferLink {
  public:
    virtual ~ITransferLink() = default;
    // Adds the request as a transfer that writes into log `logId` and starts it; false, with
    // `id` 0, when no manager took it.
    virtual bool StartTransfer(const CTransferRequest& request, std::int32_t logId,
                               std::int32_t& id) = 0;
    // False when the transfer is not (or no longer) known.
    virtual bool GetStatus(std::int32_t id, TransferStatus& status) = 0;
    virtual bool GetRequest(std::int32_t id, CTransferRequest& request) = 0;
    // Sets the log of the transfers to `logId` (0: none).
    virtual void SetTransfersLog(std::span<const std::int32_t> ids, std::int32_t logId) = 0;
    // Stops each transfer, then removes it.
    virtual void RemoveTransfers(std::span<const std::int32_t> ids) = 0;
};

// The link to a transfer manager; without one every call fails or does nothing, so a run ends
// at its next poll as a transfer that went away.
class CManagerLink final : public ITransferLink {
  public:
    explicit CManagerLink(CTransferManager* manager = nullptr) : manager_(manager) {}
    // For owners made before their manager: attach it before the first run starts.
    void Attach(CTransferManager* manager) { manager_.store(manager); }

    bool StartTransfer(const CTransferRequest& request, std::int32_t logId,
                       std::int32_t& id) override;
    bool GetStatus(std::int32_t id, TransferStatus& status) override;
    bool GetRequest(std::int32_t id, CTransferRequest& request) override;
    void SetTransfersLog(std::span<const std::int32_t> ids, std::int32_t logId) override;
    void RemoveTransfers(std::span<const std::int32_t> ids) override;

  private:
    std::atomic<CTransferManager*> manager_;
};

}  // namespace tellweir
