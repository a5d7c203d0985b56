// The result a reader of received bytes gives while what it reads has not fully arrived yet.
#pragma once

#include "log/transfer_result.h"

namespace tellweir {

// Not a code of the result table: it never leaves a protocol client. The caller receives more
// bytes and asks again.
inline constexpr TransferResult kMoreNeeded = -1;

}  // namespace tellweir
