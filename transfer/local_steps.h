// The two local steps every protocol session shares: making sure the target's directory exists,
// and describing the local target file in the request's file information.
#pragma once

#include <string_view>

#include "log/log.h"
#include "log/transfer_result.h"
#include "store/property_set.h"

namespace tellweir {

// Creates the directory of `targetPath` when it is missing. Returns 0; 102 (after "Invalid
// name %s.") for a path without a separator; 108 (after "Cant create local dir %s.") when the
// directory cannot be made. `log` may be null.
[[nodiscard]] TransferResult PrepareTargetDir(std::string_view targetPath, ILog* log);

// Describes the request's target file (property 51) in properties 700, 702, 703 and 704 and
// returns 0, or returns 106 when it does not exist; only an operation other than download, file
// information and automatic (property 55) also logs that. `log` may be null.
[[nodiscard]] TransferResult LocalFileInfo(CPropertySet& request, ILog* log);

}  // namespace tellweir
