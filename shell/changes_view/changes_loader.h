// What the View Changes window loads off the GUI thread: the versions of a task and the
// differences of the pair shown. Plain C++: it runs on a worker and in the benchmarks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "diff/text_diff.h"
#include "history/version_compare.h"
#include "history/version_store.h"

namespace tellweir {

struct ChangesRequest {
    std::string folder;     // the task's versions folder
    bool list = false;      // list the versions (and choose the pair when from and to are 0)
    std::int32_t from = 0;  // 0 with a `to`: the text of `to` against nothing
    std::int32_t to = 0;
    std::int32_t viewed = 0;  // the newest version the user had viewed, for the default pair
};

struct ChangesResult {
    bool listed = false;
    std::vector<VersionRecord> versions;
    std::vector<std::string> damaged;  // version files that could not be listed
    std::int32_t from = 0;
    std::int32_t to = 0;
    VersionCompare code = VersionCompare::Ok;
    std::shared_ptr<const CTextDiff> diff;  // null when nothing was compared
    VersionRecord fromRecord, toRecord;
};

// The pair a window opens on: what is new since the version last viewed, so that several
// changes in a row show together; else the newest against the one before it; a lone version
// against nothing. {0, 0} without versions.
std::pair<std::int32_t, std::int32_t> DefaultPair(const std::vector<VersionRecord>& versions,
                                                  std::int32_t viewed);

ChangesResult LoadChanges(const ChangesRequest& request);

}  // namespace tellweir
