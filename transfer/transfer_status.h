// TransferStatus: the record a caller copies out of a transfer to follow it, with its states and
// outcomes.
#pragma once

#include <cstdint>

#include "log/transfer_result.h"

namespace tellweir {

// The state list a transfer is in.
enum TransferState : std::int32_t {
    kTransferNew = 0,       // added, never started
    kTransferStopped = 1,   // stopped, failed, or ended without success
    kTransferQueued = 2,    // waiting for dispatch
    kTransferRunning = 3,   // on a worker
    kTransferFinished = 4,  // ended with result 0
};
inline constexpr int kTransferStateCount = 5;

// What the run did with the resource.
inline constexpr std::int32_t kOutcomeNothing = 0;
inline constexpr std::int32_t kOutcomeLocalCopy = 1;  // downloaded, resumed or kept by a skip rule
inline constexpr std::int32_t kOutcomeFileInfo = 6;   // only the file information was fetched

struct TransferStatus {
    std::int32_t outcome = kOutcomeNothing;
    std::int32_t state = kTransferNew;
    TransferResult result = 0;
    std::int64_t done = 0;
    std::int64_t total = -1;      // -1 unknown
    std::int32_t speed = -1;      // bytes per second; -1 unknown
    std::int32_t elapsed = 0;     // seconds since the transfer of data began
    std::int32_t remaining = -1;  // seconds; -1 unknown
    friend bool operator==(const TransferStatus&, const TransferStatus&) = default;
};

}  // namespace tellweir
