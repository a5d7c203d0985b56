// The transfer operation: what a transfer does on its worker once it has a session — fetch the
// remote file information, or download the resource into its local target, deciding whether an
// existing local copy is kept, resumed or replaced, and repeating failed attempts.
#pragma once

#include "log/log.h"
#include "transfer/transfer.h"
#include "transfer/transfer_session.h"
#include "transfer/transfer_status.h"

namespace tellweir {

class CTransferManager;

// Everything a step of the operation works on; `log` is the transfer's own log (may be null).
struct TransferContext {
    CTransfer& transfer;
    CTransferSession& session;
    CTransferManager& manager;
    ILog* log = nullptr;
};

// Runs the transfer's operation (property 55) and returns the list it moves to: finished after
// result 0, else stopped. A run the manager stopped at the transfer time limit ends with 110.
TransferState RunTransfer(CTransfer& transfer, CTransferSession& session,
                          CTransferManager& manager);

// Gets the remote file information; without `force`, fresh information of a known type already
// in the request is kept.
[[nodiscard]] TransferResult FetchFileInfo(TransferContext& context, bool force,
                                           bool notFoundIsError, ILog* log);

// Downloads the resource into the local target (property 51).
[[nodiscard]] TransferResult Download(TransferContext& context, ILog* log);

// With option bit 18: keeps an existing target, or copies the file of that name from the
// check folder. Returns kFolderSkipGoOn, kFolderSkipDone, or a failure result.
inline constexpr TransferResult kFolderSkipGoOn = 0;
inline constexpr TransferResult kFolderSkipDone = 1;
[[nodiscard]] TransferResult CheckFolderSkip(TransferContext& context, ILog* log,
                                             TransferResult localResult);

}  // namespace tellweir
