// Keeping a version of a task's resource in a run: what the run hands over to be kept, and what
// keeping it found, for the task's log and its run properties.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/version_store.h"

namespace tellweir {

// Taken from the task under its lock when the run begins its comparison, so that the version
// can be kept off the engine thread.
struct VersionJob {
    std::string folder;
    VersionLimits limits;
    VersionRecord record;  // time, run, content type, name and kind; the event is set on keeping
};

struct KeptVersion {
    std::int32_t number = 0;  // 0: none kept
    std::int32_t added = -1;  // lines against the version before; -1 when not known
    std::int32_t removed = -1;
    std::string error;                 // why none was kept, for the log; empty when none wanted
    std::vector<std::string> damaged;  // version files met that could not be read
};

// Contents larger than this are not kept: their text and differences would not fit in memory
// beside the run's own work.
inline constexpr std::int64_t kMaxVersionContent = std::int64_t{256} << 20;

// Keeps `content` as the next version of `job` with `event`, its lines counted against the
// newest version kept before it. With no versions wanted it only removes those there.
KeptVersion KeepVersion(const VersionJob& job, std::string_view event, std::string_view content);

// The file-information record of a run as the text of its version, one "Name: value" line per
// field it has.
std::string InformationText(std::int64_t size, std::string_view timeModified,
                            std::string_view timeCreated, std::string_view etag,
                            std::string_view contentType);

// The version's name hint from the task's URI: a local path as it is, a URL without its
// password, query or fragment (which may hold secrets and say nothing of the content).
std::string VersionNameOf(std::string_view uri);

}  // namespace tellweir
