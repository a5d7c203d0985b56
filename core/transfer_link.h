// The two transfer-manager calls a stopped or deleted task needs: detach its log from its
// transfers and remove them. Behind an interface so that task tests can see the calls without
// running a manager.
#pragma once

#include <cstdint>
#include <span>

namespace tellweir {

class ITransferLink {
  public:
    virtual ~ITransferLink() = default;
    // Sets the log of the transfers to `logId` (0: none).
    virtual void SetTransfersLog(std::span<const std::int32_t> ids, std::int32_t logId) = 0;
    // Stops each transfer, then removes it.
    virtual void RemoveTransfers(std::span<const std::int32_t> ids) = 0;
};

// The installed link, else the one that talks to the running transfer manager (and does nothing
// while none runs).
ITransferLink& TransferLink();
// Installs `link` (null: back to the default). The caller keeps it alive while installed.
void SetTransferLink(ITransferLink* link);

}  // namespace tellweir
